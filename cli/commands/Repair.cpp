#include "cli/Command.h"
#include "cli/TerminalProgress.h"
#include "cli/ToolContext.h"
#include "tools/AreaRepairer.h"
#include "tools/FileSearch.h"

#include <QJsonArray>
#include <QJsonObject>

namespace qv {
namespace {

class RepairCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "repair",
            .rank = 61,
            .summary = "repair what check finds, where a repair is safe",
            .arguments = { { "[AREA...]", "the areas' numbers" } },
            .options = { { "all", "", "every area instead of the ones named" },
                { "dry-run", "", "list the repairs without making them" } },
        };
    }
    int run(ToolContext& c, const Arguments& a) override
    {
        const bool all = a.has(QStringLiteral("all"));
        const bool dry = a.has(QStringLiteral("dry-run"));
        std::vector<int> areas;
        for (const QString& text : a.positionals) {
            const auto area = ToolContext::areaNumber(text);
            if (!area)
                return c.usage(QStringLiteral("repair: %1 is no area number").arg(text));
            areas.push_back(*area);
        }
        if (all == !areas.empty())
            return c.usage(QStringLiteral("repair wants area numbers or --all"));
        if (!c.requireConfiguration() || !c.requireFileBase())
            return 1;
        if (all)
            areas = FileSearch(c.board()).areasInRange(1, 65535);
        for (int area : areas)
            if (!c.requireArea(area))
                return 1;
        const AreaRepairer repairer(c.board());
        TerminalProgress progress(c, dry ? QStringLiteral("checking") : QStringLiteral("repairing"), areas.size());
        auto step = [&](size_t k) { progress.show(k + 1, QStringLiteral("area %1").arg(areas[k])); };
        const auto results = dry ? repairer.survey(areas, step) : repairer.repair(areas, step);
        progress.finish();
        QJsonArray json;
        QString text;
        bool failed = false;
        for (const auto& r : results) {
            json.append(QJsonObject { { QStringLiteral("area"), r.area }, { QStringLiteral("ok"), r.error.isEmpty() },
                { QStringLiteral("repairs"), QJsonArray::fromStringList(r.repairs) },
                { QStringLiteral("left"), QJsonArray::fromStringList(r.left) }, { QStringLiteral("error"), r.error } });
            for (const QString& line : r.repairs)
                text += QStringLiteral("Area %1: %2\n").arg(r.area).arg(line);
            for (const QString& line : r.left)
                text += QStringLiteral("Area %1: %2\n").arg(r.area).arg(line);
            if (!r.error.isEmpty()) {
                failed = true;
                c.fail(QStringLiteral("area %1: %2").arg(r.area).arg(r.error));
            }
            failed = failed || !r.left.isEmpty();
        }
        if (c.json())
            c.printJson(QJsonObject { { QStringLiteral("dry_run"), dry }, { QStringLiteral("areas"), json } });
        else
            c.out(text + AreaRepairer::summary(results, dry) + QLatin1Char('\n'));
        return failed ? 1 : 0;
    }
};
QV_COMMAND(RepairCommand);

} // namespace
} // namespace qv
