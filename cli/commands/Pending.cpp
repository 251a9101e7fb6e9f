#include "cli/Command.h"
#include "cli/ToolContext.h"
#include "editing/PendingFiles.h"
#include "storage/AreaStore.h"

#include <QJsonArray>

namespace qv {
namespace {

class PendingCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "pending",
            .rank = 82,
            .summary = "files of the area's directory that have no entry",
            .arguments = { { "AREA", "the area's number" } },
            .options = { { "mask", "MASK", "only the files that match MASK (default *.*)" } },
        };
    }
    int run(ToolContext& c, const Arguments& a) override
    {
        const QString mask = a.has(QStringLiteral("mask")) ? a.value(QStringLiteral("mask")) : QStringLiteral("*.*");
        const auto area = ToolContext::areaNumber(a.positionals[0]);
        if (!area)
            return c.usage(QStringLiteral("pending wants one area number"));
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
