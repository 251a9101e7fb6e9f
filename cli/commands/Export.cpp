#include "board/Messages.h"
#include "cli/Command.h"
#include "cli/TerminalProgress.h"
#include "cli/ToolContext.h"
#include "tools/FileSearch.h"
#include "tools/FilesBbsExport.h"

#include <QJsonArray>
#include <QJsonObject>

#include <cstdio>

namespace qv {
namespace {

class ExportCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "export",
            .rank = 75,
            .summary = "write files.bbs into each area's directory",
            .arguments = { { "[AREA...]", "the areas' numbers" } },
            .options = {
                { "all", "", "every area instead of the ones named" },
                { "counters", "", "include the download counters" },
                { "short", "", "only the first line of each description" },
                { "comments", "", "keep the comment lines" },
                { "stdout", "", "write the one area's list to standard output instead" },
            },
        };
    }
    int run(ToolContext& c, const Arguments& a) override
    {
        ExportOptions options;
        options.counters = a.has(QStringLiteral("counters"));
        options.shortDescriptions = a.has(QStringLiteral("short"));
        options.comments = a.has(QStringLiteral("comments"));
        const bool all = a.has(QStringLiteral("all"));
        const bool toStdout = a.has(QStringLiteral("stdout"));
        std::vector<int> areas;
        for (const QString& text : a.positionals) {
            const auto area = ToolContext::areaNumber(text);
            if (!area)
                return c.usage(QStringLiteral("export: %1 is no area number").arg(text));
            areas.push_back(*area);
        }
        if (all == !areas.empty())
            return c.usage(QStringLiteral("export wants area numbers or --all"));
        if (toStdout && (all || areas.size() != 1))
            return c.usage(QStringLiteral("export --stdout wants one area number"));
        if (!c.requireConfiguration() || !c.requireFileBase())
            return 1;
        const Board& b = c.board();
        if (all)
            areas = FileSearch(b).areasInRange(1, 65535);
        for (int area : areas)
            if (!c.requireArea(area))
                return 1;
        const FilesBbsExport exporter(b);

        if (toStdout) {
            // The list's bytes as stored, CR LF and all: what the board would read.
            const bool ok = exporter.writeList(areas.front(), options, [](std::string_view bytes) {
                return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
            });
            std::fflush(stdout);
            if (!ok)
                c.fail(QStringLiteral("could not read area %1").arg(areas.front()));
            return ok ? 0 : 1;
        }

        QJsonArray results;
        QString text;
        int failures = 0;
        TerminalProgress progress(c, QStringLiteral("exporting"), areas.size());
        for (int area : areas) {
            uint64_t records = 0;
            progress.step(QStringLiteral("area %1").arg(area));
            const auto r = exporter.exportArea(area, options, [&](uint64_t n) { records = n; });
            results.append(QJsonObject { { QStringLiteral("area"), area }, { QStringLiteral("ok"), r.ok },
                { QStringLiteral("list"), r.listPath }, { QStringLiteral("records"), qint64(records) } });
            if (!r.ok) {
                ++failures;
                c.fail(messages::filesBbsNotWritten(r.listPath).text);
            } else {
                text += QStringLiteral("%1: %2 (%3 Files)\n").arg(area).arg(r.listPath).arg(records);
            }
        }
        progress.finish();
        if (c.json())
            c.printJson(results);
        else
            c.out(text);
        return failures ? 1 : 0;
    }
};
QV_COMMAND(ExportCommand);

} // namespace
} // namespace qv
