#include "cli/Command.h"
#include "cli/ToolContext.h"
#include "editing/PendingFiles.h"
#include "storage/AreaStore.h"

#include <QJsonArray>

namespace qv {
namespace {

class PendingCommand : public Command {
public:
    QString name() const override { return QStringLiteral("pending"); }
    QString arguments() const override { return QStringLiteral("AREA [--mask MASK]"); }
    QString summary() const override { return QStringLiteral("files of the area's directory that have no entry"); }
    int rank() const override { return 82; }
    int run(ToolContext& c, const QStringList& args) override
    {
        QString mask = QStringLiteral("*.*");
        QStringList rest;
        for (qsizetype i = 0; i < args.size(); ++i) {
            if (args[i] == QLatin1String("--mask") && i + 1 < args.size())
                mask = args[++i];
            else if (args[i].startsWith(QLatin1String("--mask=")))
                mask = args[i].mid(7);
            else if (args[i].startsWith(QLatin1String("--")))
                return c.usage(QStringLiteral("unknown option %1").arg(args[i]));
            else
                rest << args[i];
        }
        const auto area = rest.size() == 1 ? ToolContext::areaNumber(rest[0]) : std::nullopt;
        if (!area)
            return c.usage(name() + QStringLiteral(" wants one area number"));
        LoadOutcome loaded;
        if (!c.load(*area, loaded))
            return 1;
        const Board::AreaDirectory dir = c.board().areaDirectory(*area);
        if (!dir.ok()) {
            c.fail(dir.problem.isEmpty() ? QStringLiteral("area %1 has no directory").arg(*area) : dir.problem);
            return 1;
        }
        QStringList rows;
        for (const LoadedRow& r : loaded.rows)
            rows << c.text(r.name);
        const auto listing = PendingFiles::list(dir.host, mask, rows, &c.board().codePage());
        if (c.json())
            c.printJson(QJsonArray::fromStringList(listing.notInBase));
        else
            for (const QString& name : listing.notInBase)
                c.out(name + QLatin1Char('\n'));
        for (const QString& why : listing.refused)
            c.fail(why + QStringLiteral(" It cannot be added."));
        return 0;
    }
};
QV_COMMAND(PendingCommand);

} // namespace
} // namespace qv
