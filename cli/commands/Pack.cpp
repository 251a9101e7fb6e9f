#include "cli/Command.h"
#include "cli/TerminalProgress.h"
#include "cli/ToolContext.h"
#include "tools/DescriptionPacker.h"

#include <QJsonArray>
#include <QJsonObject>

namespace qv {
namespace {

class PackCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "pack",
            .rank = 76,
            .summary = "rewrite description files with only the texts entries point at",
            .arguments = { { "[AREA...]", "the areas' numbers" } },
            .options = { { "all", "", "every area instead of the ones named" } },
        };
    }
    int run(ToolContext& c, const Arguments& a) override
    {
        const bool all = a.has(QStringLiteral("all"));
        int code = 0;
        const auto chosen = c.chosenAreas(a.positionals, all, QStringLiteral("pack"), code);
        if (!chosen)
            return code;
        const std::vector<int>& areas = *chosen;
        TerminalProgress progress(c, QStringLiteral("packing"), areas.size());
        const auto results = DescriptionPacker(c.board()).pack(
            areas, [&](size_t k) { progress.show(k + 1, QStringLiteral("area %1").arg(areas[k])); });
        progress.finish();
        QJsonArray json;
        QString text;
        int failures = 0;
        for (const auto& r : results) {
            json.append(QJsonObject { { QStringLiteral("area"), r.area }, { QStringLiteral("ok"), r.error.isEmpty() },
                { QStringLiteral("written"), r.written }, { QStringLiteral("bytes_before"), qint64(r.bytesBefore) },
                { QStringLiteral("bytes_after"), qint64(r.bytesAfter) },
                { QStringLiteral("bytes_reclaimed"), qint64(r.reclaimed()) },
                { QStringLiteral("texts"), qint64(r.texts) },
                { QStringLiteral("kept_board_entries"), qint64(r.carriedOver) },
                { QStringLiteral("error"), r.error } });
            if (!r.error.isEmpty()) {
                ++failures;
                c.fail(QStringLiteral("area %1: %2").arg(r.area).arg(r.error));
            } else if (r.written) {
                text += QStringLiteral("%1: %2 -> %3 bytes, %4 reclaimed\n")
                            .arg(r.area)
                            .arg(r.bytesBefore)
                            .arg(r.bytesAfter)
                            .arg(r.reclaimed());
            } else {
                text += QStringLiteral("%1: nothing to reclaim\n").arg(r.area);
            }
        }
        if (c.json())
            c.printJson(json);
        else
            c.out(text + DescriptionPacker::summary(results, false) + QLatin1Char('\n'));
        return failures ? 1 : 0;
    }
};
QV_COMMAND(PackCommand);

} // namespace
} // namespace qv
