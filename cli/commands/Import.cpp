#include "cli/Command.h"
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
    QString name() const override { return QStringLiteral("import"); }
    QString arguments() const override
    {
        return QStringLiteral("AREA [FILE] [--missing] [--uploader NAME] [--update-descriptions] [--dry-run]");
    }
    QString summary() const override
    {
        return QStringLiteral("add the files a FILES.BBS lists (default: the one in the area's directory)");
    }
    int rank() const override { return 84; }
    int run(ToolContext& c, const QStringList& args) override
    {
        FilesBbsImport::Request request;
        request.uploader = CurrentUploader::defaultName();
        bool dryRun = false;
        QStringList rest;
        for (qsizetype i = 0; i < args.size(); ++i) {
            const QString& a = args[i];
            if (a == QLatin1String("--uploader") && i + 1 < args.size())
                request.uploader = args[++i];
            else if (a == QLatin1String("--missing"))
                request.missing = true;
            else if (a == QLatin1String("--update-descriptions"))
                request.updateDescriptions = true;
            else if (a == QLatin1String("--dry-run"))
                dryRun = true;
            else if (a.startsWith(QLatin1String("--")))
                return c.usage(QStringLiteral("unknown option %1").arg(a));
            else
                rest << a;
        }
        const auto area = !rest.isEmpty() && rest.size() <= 2 ? ToolContext::areaNumber(rest[0]) : std::nullopt;
        if (!area)
            return c.usage(name() + QStringLiteral(" wants an area number and at most one list file"));
        if (rest.size() == 2)
            request.listFile = QDir::current().absoluteFilePath(rest[1]);
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
            outcome = FilesBbsImport::apply(c.board(), *area, plan, request);
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
