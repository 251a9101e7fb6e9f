#include "cli/Command.h"
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
    QString name() const override { return QStringLiteral("filelist"); }
    QString arguments() const override
    {
        return QStringLiteral("OUT (--all | AREA... | --group G) [--days N] [--html] [--banner FILE] [--footer FILE]");
    }
    QString summary() const override
    {
        return QStringLiteral("write one list of the files of many areas (with --days: the new files)");
    }
    int rank() const override { return 76; }
    int run(ToolContext& c, const QStringList& args) override
    {
        FileList::Options options;
        bool all = false;
        std::optional<int> group;
        QString out, banner, footer;
        std::vector<int> areas;
        for (qsizetype i = 0; i < args.size(); ++i) {
            const QString& a = args[i];
            const bool hasValue = i + 1 < args.size();
            bool ok = true;
            if (a == QLatin1String("--all")) {
                all = true;
            } else if (a == QLatin1String("--html")) {
                options.html = true;
            } else if (a == QLatin1String("--group") && hasValue) {
                group = args[++i].toInt(&ok);
            } else if (a == QLatin1String("--days") && hasValue) {
                options.days = args[++i].toInt(&ok);
                ok = ok && *options.days >= 0;
            } else if (a == QLatin1String("--banner") && hasValue) {
                banner = args[++i];
            } else if (a == QLatin1String("--footer") && hasValue) {
                footer = args[++i];
            } else if (a.startsWith(QLatin1String("--"))) {
                return c.usage(QStringLiteral("filelist: unknown option %1").arg(a));
            } else if (out.isEmpty()) {
                out = a;
            } else if (const auto area = ToolContext::areaNumber(a)) {
                areas.push_back(*area);
            } else {
                return c.usage(QStringLiteral("filelist: %1 is no area number").arg(a));
            }
            if (!ok)
                return c.usage(QStringLiteral("filelist: %1 wants a number").arg(a));
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
        const FileList::Outcome r = FileList(b).writeFile(path, options);
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
