#include "cli/Command.h"
#include "cli/TerminalProgress.h"
#include "cli/ToolContext.h"
#include "tools/AreaRepairer.h"

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
        int code = 0;
        const auto chosen = c.chosenAreas(a.positionals, all, QStringLiteral("repair"), code);
        if (!chosen)
            return code;
        const std::vector<int>& areas = *chosen;
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
