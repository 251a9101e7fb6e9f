#include "board/Messages.h"
#include "cli/Command.h"
#include "cli/PositionArguments.h"
#include "cli/TerminalProgress.h"
#include "cli/ToolContext.h"
#include "editing/EntryUpdater.h"
#include "storage/Encoding.h"

#include <QJsonArray>
#include <QJsonObject>

#include <numeric>

#include <cstdio>

namespace qv {
namespace {

class UpdateCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "update",
            .rank = 120,
            .summary = "size and file date of entries from their files (all entries when none given)",
            .arguments = { { "AREA", "the area's number" },
                { "[POS...]", "the entries' positions; every entry when none is given" } },
            .options = { { "all", "", "every entry (the same as giving none)" } },
        };
    }
    int run(ToolContext& c, const Arguments& a) override
    {
        const QStringList positions = a.positionals.mid(1);
        const bool all = a.has(QStringLiteral("all"));
        const auto area = ToolContext::areaNumber(a.positionals[0]);
        if (!area || (all && !positions.isEmpty()))
            return c.usage(QStringLiteral("update wants an area number and entry numbers or --all"));
        LoadOutcome loaded;
        if (!c.load(*area, loaded))
            return 1;
        std::vector<int> rows(loaded.rows.size());
        std::iota(rows.begin(), rows.end(), 0);
        if (!positions.isEmpty()) {
            QString problem;
            auto chosen = rowsOfPositions(positions, loaded.rows.size(), problem);
            if (!chosen) {
                c.fail(problem);
                return 1;
            }
            rows = std::move(*chosen);
        }
        TerminalProgress progress(c, QStringLiteral("updating"), rows.size());
        const EntryUpdater::Outcome outcome
            = EntryUpdater(c.board()).update(*area, loaded.rows, rows, [&](size_t done, size_t total) {
                  progress.setTotal(total);
                  progress.show(done);
              });
        progress.finish();
        if (outcome.error) {
            c.fail(messages::changeFailed(
                *area, QStringLiteral("update"), outcome.error->code, outcome.error->message, false)
                       .text);
            return 1;
        }
        QJsonArray changed;
        QString text;
        for (const EntryUpdater::Changed& e : outcome.changed) {
            const QString rowText = c.text(loaded.rows[e.position].name);
            const QString date = QString::fromStdString(enc::dateText(e.fileDate));
            changed.append(QJsonObject { { QStringLiteral("position"), qint64(e.position + 1) },
                { QStringLiteral("row_text"), rowText }, { QStringLiteral("size"), e.size },
                { QStringLiteral("file_date"), date }, { QStringLiteral("missing"), e.missing } });
            text += QStringLiteral("%1 %2 %3 %4 %5\n")
                        .arg(e.missing ? QStringLiteral("missing") : QStringLiteral("updated"))
                        .arg(e.position + 1)
                        .arg(rowText)
                        .arg(e.size)
                        .arg(date);
        }
        for (const QString& rowText : outcome.skipped)
            text += QStringLiteral("skipped %1: the file cannot be read\n").arg(rowText);
        if (c.json())
            c.printJson(QJsonObject { { QStringLiteral("area"), *area }, { QStringLiteral("changed"), changed },
                { QStringLiteral("missing"), QJsonArray::fromStringList(outcome.missing) },
                { QStringLiteral("skipped"), QJsonArray::fromStringList(outcome.skipped) } });
        else
            c.out(text);
        // Files left unread are a problem the caller should see in the exit code.
        return outcome.skipped.isEmpty() ? 0 : 1;
    }
};
QV_COMMAND(UpdateCommand);

} // namespace
} // namespace qv
