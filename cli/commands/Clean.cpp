#include "board/Messages.h"
#include "cli/Command.h"
#include "cli/TerminalProgress.h"
#include "cli/ToolContext.h"
#include "transfer/AreaCleaner.h"

#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>
#include <cstdio>

namespace qv {
namespace {

class CleanCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "clean",
            .rank = 115,
            .summary = "expire old entries as the areas' settings say, remove missing and deleted ones",
            .arguments = { { "[AREA...]", "the areas' numbers" } },
            .options = {
                { "all", "", "every area instead of the ones named" },
                { "expired", "", "entries past their area's kill days: to its move area, else removed with their files" },
                { "missing", "", "entries whose file is not on disk" },
                { "deleted", "", "entries marked Deleted, with their files" },
                { "dry-run", "", "only show what would go" },
            },
        };
    }

    int run(ToolContext& c, const Arguments& a) override
    {
        AreaCleaner::Request request;
        request.expired = a.has(QStringLiteral("expired"));
        request.missing = a.has(QStringLiteral("missing"));
        request.deleted = a.has(QStringLiteral("deleted"));
        const bool all = a.has(QStringLiteral("all"));
        const bool dryRun = a.has(QStringLiteral("dry-run"));
        if (!request.expired && !request.missing && !request.deleted)
            return c.usage(QStringLiteral("clean wants at least one of --expired, --missing and --deleted"));
        int code = 0;
        auto chosen = c.chosenAreas(a.positionals, all, QStringLiteral("clean"), code);
        if (!chosen)
            return code;
        request.areas = std::move(*chosen);
        Board& b = c.board();

        AreaCleaner::Plan plan;
        {
            TerminalProgress progress(c, QStringLiteral("looking at"), request.areas.size());
            plan = AreaCleaner::prepare(b, request, [&](size_t, size_t, int area) {
                progress.step(QStringLiteral("area %1").arg(area));
                return true;
            });
        }
        AreaCleaner::Outcome outcome;
        if (!dryRun) {
            TerminalProgress progress(c, QStringLiteral("cleaning"), plan.areas.size());
            outcome = AreaCleaner(b).apply(plan, [&](size_t, size_t, int area) {
                progress.step(QStringLiteral("area %1").arg(area));
                return true;
            });
        }

        int failures = 0;
        QJsonArray areas;
        QString text;
        for (size_t k = 0; k < plan.areas.size(); ++k) {
            const AreaCleaner::AreaPlan& p = plan.areas[k];
            const AreaCleaner::AreaOutcome* done = dryRun ? nullptr : &outcome.areas.at(k);
            QJsonObject json { { QStringLiteral("area"), p.area } };
            if (!p.problem.isEmpty()) {
                ++failures;
                c.fail(QStringLiteral("area %1 left alone: %2").arg(p.area).arg(p.problem));
                json.insert(QStringLiteral("problem"), p.problem);
            }
            if (!p.note.isEmpty()) {
                json.insert(QStringLiteral("note"), p.note);
                text += QStringLiteral("%1: %2\n").arg(p.area).arg(p.note);
            }
            auto has
                = [](const std::vector<uint64_t>& v, uint64_t x) { return std::binary_search(v.begin(), v.end(), x); };
            QJsonArray entries;
            for (const AreaCleaner::Item& item : p.items) {
                const QString rowText = c.text(p.rows[size_t(item.position)].name);
                QString action = AreaCleaner::actionText(item);
                if (done && done->ok() && item.action != AreaCleaner::Action::Stay) {
                    if (std::find(done->cameBack.begin(), done->cameBack.end(), item.position) != done->cameBack.end())
                        action = QStringLiteral("stays: its file is back");
                    else if (!has(done->removed, item.position))
                        action = QStringLiteral("stays: another program moved it");
                }
                QJsonObject e { { QStringLiteral("position"), qint64(item.position + 1) },
                    { QStringLiteral("row_text"), rowText },
                    { QStringLiteral("reason"), AreaCleaner::reasonText(item.reason) },
                    { QStringLiteral("action"), action } };
                if (!item.detail.isEmpty())
                    e.insert(QStringLiteral("detail"), item.detail);
                if (item.action == AreaCleaner::Action::Move)
                    e.insert(QStringLiteral("to"), item.to);
                entries.append(e);
                const QString reason = item.detail.isEmpty()
                    ? AreaCleaner::reasonText(item.reason)
                    : AreaCleaner::reasonText(item.reason) + QStringLiteral(" (") + item.detail + QLatin1Char(')');
                text += QStringLiteral("%1: %2 %3: %4: %5\n")
                            .arg(p.area)
                            .arg(item.position + 1)
                            .arg(rowText, reason, action);
            }
            json.insert(QStringLiteral("entries"), entries);
            if (done) {
                if (done->error) {
                    ++failures;
                    const QString why = done->movedButKept
                        ? messages::moveLeftSource(p.area, done->error->code, done->error->message).text
                        : messages::changeFailed(
                            p.area, QStringLiteral("clean"), done->error->code, done->error->message, false)
                              .text;
                    c.fail(why);
                    json.insert(QStringLiteral("error"), why);
                }
                json.insert(QStringLiteral("removed"), qint64(done->removed.size() - done->moved.size()));
                json.insert(QStringLiteral("moved"), qint64(done->moved.size()));
                json.insert(QStringLiteral("deleted"), QJsonArray::fromStringList(done->deleted));
                json.insert(QStringLiteral("trashed"), QJsonArray::fromStringList(done->trashed));
                json.insert(QStringLiteral("not_deleted"), QJsonArray::fromStringList(done->notDeleted));
                json.insert(QStringLiteral("kept_shared"), QJsonArray::fromStringList(done->keptShared));
                json.insert(QStringLiteral("not_copied"), QJsonArray::fromStringList(done->notCopied));
                for (const QString& path : done->deleted)
                    text += QStringLiteral("%1: %2 %3\n")
                                .arg(p.area)
                                .arg(done->trashed.contains(path) ? QStringLiteral("moved to the trash")
                                                                  : QStringLiteral("deleted"),
                                    path);
                for (const QString& path : done->notDeleted)
                    text += QStringLiteral("%1: not deleted %2\n").arg(p.area).arg(path);
                for (const QString& path : done->keptShared)
                    text += QStringLiteral("%1: kept %2: another entry names it\n").arg(p.area).arg(path);
                for (const QString& path : done->notCopied)
                    text += QStringLiteral("%1: not copied %2: it stays in the area's directory\n")
                                .arg(p.area)
                                .arg(path);
                if (const QString kept = messages::boardWritesKept(p.area, done->carried, "the clean"); !kept.isEmpty())
                    std::fputs(qPrintable(kept + QLatin1Char('\n')), stderr);
            }
            areas.append(json);
        }
        if (c.json())
            c.printJson(QJsonObject { { QStringLiteral("dry_run"), dryRun }, { QStringLiteral("areas"), areas } });
        else if (text.isEmpty())
            c.out(QStringLiteral("nothing to clean in %1 area(s)\n").arg(plan.areas.size()));
        else
            c.out(text);
        return failures ? 1 : 0;
    }
};
QV_COMMAND(CleanCommand);

} // namespace
} // namespace qv
