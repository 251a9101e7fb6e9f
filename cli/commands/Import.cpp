#include "cli/Command.h"
#include "cli/TerminalProgress.h"
#include "cli/ToolContext.h"
#include "editing/CurrentUploader.h"
#include "editing/FilesBbsImport.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>

namespace qv {
namespace {

class ImportCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "import",
            .rank = 84,
            .summary = "add the files a FILES.BBS lists (default: the one in the area's directory)",
            .arguments = { { "AREA", "the area's number" }, { "[FILE]", "the list to read" } },
            .options = {
                { "missing", "", "also add listed files that are not on disk, marked missing" },
                { "uploader", "NAME", "the uploader the entries name (default: the user's name)" },
                { "update-descriptions", "", "give entries already in the area the list's description" },
                { "dry-run", "", "say what would be added and changed, change nothing" },
            },
        };
    }
    int run(ToolContext& c, const Arguments& a) override
    {
        FilesBbsImport::Request request;
        request.uploader
            = a.has(QStringLiteral("uploader")) ? a.value(QStringLiteral("uploader")) : CurrentUploader::defaultName();
        request.missing = a.has(QStringLiteral("missing"));
        request.updateDescriptions = a.has(QStringLiteral("update-descriptions"));
        const bool dryRun = a.has(QStringLiteral("dry-run"));
        const auto area = ToolContext::areaNumber(a.positionals[0]);
        if (!area)
            return c.usage(QStringLiteral("import wants an area number and at most one list file"));
        if (a.positionals.size() == 2)
            request.listFile = QDir::current().absoluteFilePath(a.positionals[1]);
        if (!c.requireArea(*area) || !c.requireFileBase())
            return 1;

        const FilesBbsImport::Plan plan = FilesBbsImport::prepare(c.board(), *area, request);
        if (plan.error) {
            c.fail(QStringLiteral("cannot import %1: %2")
                       .arg(plan.listPath.isEmpty() ? QStringLiteral("the list") : plan.listPath,
                           QString::fromStdString(plan.error->message)));
            return 1;
        }
        FilesBbsImport::Outcome outcome;
        if (!dryRun) {
            TerminalProgress progress(c, QStringLiteral("importing"), plan.items.size());
            outcome = FilesBbsImport::apply(c.board(), *area, plan, request, QDate::currentDate(),
                [&](size_t done, size_t) { progress.show(done); });
            progress.finish();
            if (outcome.error) {
                c.fail(QStringLiteral("nothing was imported: ") + QString::fromStdString(outcome.error->message));
                return 1;
            }
        }
        QJsonArray items;
        QString text;
        int refused = 0;
        for (const auto& item : plan.items) {
            using A = FilesBbsImport::Action;
            if (item.action == A::Refused)
                ++refused;
            if (item.action == A::Keep && item.name.isEmpty())
                continue;
            QJsonObject o { { QStringLiteral("line"), qint64(item.line) },
                { QStringLiteral("action"), FilesBbsImport::actionText(item.action) } };
            if (!item.name.isEmpty())
                o.insert(QStringLiteral("name"), item.name);
            if (!item.reason.isEmpty())
                o.insert(QStringLiteral("reason"), item.reason);
            items.append(o);
            text += QStringLiteral("%1: %2%3%4\n")
                        .arg(item.line)
                        .arg(FilesBbsImport::actionText(item.action),
                            item.name.isEmpty() ? QString() : QStringLiteral(" ") + item.name,
                            item.reason.isEmpty() ? QString() : QStringLiteral(" (") + item.reason + QLatin1Char(')'));
        }
        if (c.json())
            c.printJson(QJsonObject { { QStringLiteral("list"), plan.listPath }, { QStringLiteral("dry_run"), dryRun },
                { QStringLiteral("items"), items }, { QStringLiteral("added"), outcome.added },
                { QStringLiteral("described"), outcome.described },
                { QStringLiteral("vanished"), QJsonArray::fromStringList(outcome.vanished) } });
        else
            c.out(text);
        for (const QString& name : outcome.vanished)
            c.fail(QStringLiteral("%1 left the area's directory before it was added").arg(name));
        if (refused)
            c.fail(QStringLiteral("%1 listed name(s) refused").arg(refused));
        return refused || !outcome.vanished.isEmpty() ? 1 : 0;
    }
};
QV_COMMAND(ImportCommand);

} // namespace
} // namespace qv
