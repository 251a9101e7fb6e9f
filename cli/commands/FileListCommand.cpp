#include "cli/Command.h"
#include "cli/TerminalProgress.h"
#include "cli/ToolContext.h"
#include "tools/FileList.h"
#include "tools/FileSearch.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>

namespace qv {
namespace {

class FileListCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "filelist",
            .rank = 76,
            .summary = "write one list of the files of many areas (with --days: the new files)",
            .arguments = { { "FILE", "the list to write" }, { "[AREA...]", "the areas listed" } },
            .options = {
                { "all", "", "every area" },
                { "group", "G", "the areas of group G" },
                { "days", "N", "only entries uploaded in the last N days" },
                { "html", "", "one HTML page instead of text in the board's code page" },
                { "banner", "FILE", "text put in front of the list" },
                { "footer", "FILE", "text put behind the list" },
            },
        };
    }
    int run(ToolContext& c, const Arguments& a) override
    {
        FileList::Options options;
        const bool all = a.has(QStringLiteral("all"));
        options.html = a.has(QStringLiteral("html"));
        std::optional<int> group;
        const QString out = a.positionals[0];
        const QString banner = a.value(QStringLiteral("banner"));
        const QString footer = a.value(QStringLiteral("footer"));
        std::vector<int> areas;
        if (a.has(QStringLiteral("group"))) {
            bool ok = false;
            group = a.value(QStringLiteral("group")).toInt(&ok);
            if (!ok)
                return c.usage(QStringLiteral("filelist: --group wants a number"));
        }
        if (a.has(QStringLiteral("days"))) {
            bool ok = false;
            options.days = a.value(QStringLiteral("days")).toInt(&ok);
            if (!ok || *options.days < 0)
                return c.usage(QStringLiteral("filelist: --days wants a number"));
        }
        for (const QString& text : a.positionals.mid(1)) {
            const auto area = ToolContext::areaNumber(text);
            if (!area)
                return c.usage(QStringLiteral("filelist: %1 is no area number").arg(text));
            areas.push_back(*area);
        }
        if (out.isEmpty() || int(all) + int(group.has_value()) + int(!areas.empty()) != 1)
            return c.usage(QStringLiteral("filelist wants OUT and one of --all, area numbers or --group"));
        for (const auto& [file, into] :
            { std::pair { banner, &options.banner }, std::pair { footer, &options.footer } }) {
            if (file.isEmpty())
                continue;
            QFile f(file);
            if (!f.open(QIODevice::ReadOnly)) {
                c.fail(QStringLiteral("cannot read %1: %2").arg(file, f.errorString()));
                return 1;
            }
            *into = f.readAll();
        }
        if (!c.requireConfiguration() || !c.requireFileBase())
            return 1;
        const Board& b = c.board();
        if (all || group) {
            for (int area : FileSearch(b).areasInRange(1, 65535)) {
                const AreaInfo* info = b.config().area(area);
                if (all || (info && info->group == *group))
                    areas.push_back(area);
            }
        }
        for (int area : areas)
            if (!c.requireArea(area))
                return 1;
        options.areas = areas;
        const QString path = QDir::current().absoluteFilePath(out);
        TerminalProgress progress(c, QStringLiteral("listing"), areas.size());
        const FileList::Outcome r = FileList(b).writeFile(
            path, options, [&](int area) { progress.step(QStringLiteral("area %1").arg(area)); });
        progress.finish();
        if (!r.ok) {
            c.fail(r.problem);
            return 1;
        }
        if (c.json())
            c.printJson(QJsonObject { { QStringLiteral("list"), path }, { QStringLiteral("areas"), r.totals.areas },
                { QStringLiteral("files"), qint64(r.totals.files) },
                { QStringLiteral("bytes"), qint64(r.totals.bytes) } });
        else
            c.out(QStringLiteral("%1: %2 files, %3 bytes in %4 areas\n")
                      .arg(path)
                      .arg(r.totals.files)
                      .arg(r.totals.bytes)
                      .arg(r.totals.areas));
        return 0;
    }
};
QV_COMMAND(FileListCommand);

} // namespace
} // namespace qv
