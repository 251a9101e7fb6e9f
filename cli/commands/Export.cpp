#include "board/Messages.h"
#include "cli/Command.h"
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
    QString name() const override { return QStringLiteral("export"); }
    QString arguments() const override
    {
        return QStringLiteral("(AREA... | --all) [--counters] [--short] [--comments] [--stdout]");
    }
    QString summary() const override { return QStringLiteral("write files.bbs into each area's directory"); }
    int rank() const override { return 75; }
    int run(ToolContext& c, const QStringList& args) override
    {
        ExportOptions options;
        bool all = false;
        bool toStdout = false;
        std::vector<int> areas;
        for (const QString& a : args) {
            if (a == QLatin1String("--counters"))
                options.counters = true;
            else if (a == QLatin1String("--short"))
                options.shortDescriptions = true;
            else if (a == QLatin1String("--comments"))
                options.comments = true;
            else if (a == QLatin1String("--all"))
                all = true;
            else if (a == QLatin1String("--stdout"))
                toStdout = true;
            else if (const auto area = ToolContext::areaNumber(a))
                areas.push_back(*area);
            else
                return c.usage(QStringLiteral("export: %1 is no area number or option").arg(a));
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
        for (int area : areas) {
            uint64_t records = 0;
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
