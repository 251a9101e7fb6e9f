#include "cli/commands/AddPending.h"

#include "cli/ToolContext.h"
#include "editing/CurrentUploader.h"
#include "editing/DescriptionExtractor.h"
#include "editing/PendingUpload.h"
#include "tools/FileSearch.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

namespace qv {

int addPendingFiles(ToolContext& c, const QStringList& args)
{
    QString uploader = CurrentUploader::defaultName();
    bool extract = true;
    bool all = false;
    std::vector<int> areas;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (a == QLatin1String("--pending"))
            continue;
        if (a == QLatin1String("--uploader") && i + 1 < args.size())
            uploader = args[++i];
        else if (a == QLatin1String("--no-diz"))
            extract = false;
        else if (a == QLatin1String("--all"))
            all = true;
        else if (const auto area = ToolContext::areaNumber(a))
            areas.push_back(*area);
        else
            return c.usage(QStringLiteral("add --pending: %1 is no area number or option").arg(a));
    }
    if (all == !areas.empty())
        return c.usage(QStringLiteral("add --pending wants area numbers or --all"));
    if (!c.requireConfiguration() || !c.requireFileBase())
        return 1;
    if (all)
        areas = FileSearch(c.board()).areasInRange(1, 65535);
    for (int area : areas)
        if (!c.requireArea(area))
            return 1;
    QTemporaryDir temp(QDir::temp().filePath(QStringLiteral("qvtool-XXXXXX")));
    DescriptionExtractor extractor(c.settings(), temp.path());
    extractor.setBlocking(true);

    QJsonArray results;
    QString text;
    bool problems = false;
    for (int area : areas) {
        const auto r = PendingUpload::addPending(c.board(), area, uploader, extract ? &extractor : nullptr);
        QJsonArray skipped;
        for (const auto& [name, why] : r.skipped) {
            skipped.append(QJsonObject { { QStringLiteral("file"), name }, { QStringLiteral("reason"), why } });
            c.fail(QStringLiteral("area %1: %2 not added: %3").arg(area).arg(name, why));
        }
        QJsonObject o { { QStringLiteral("area"), area },
            { QStringLiteral("added"), QJsonArray::fromStringList(r.added) }, { QStringLiteral("skipped"), skipped } };
        if (r.error) {
            o.insert(QStringLiteral("error"), QString::fromStdString(r.error->message));
            c.fail(QStringLiteral("area %1: nothing was added: %2").arg(area).arg(r.error->message.c_str()));
        }
        problems = problems || r.error || !r.skipped.isEmpty();
        results.append(o);
        for (const QString& name : r.added)
            text += QStringLiteral("%1: %2 added\n").arg(area).arg(name);
    }
    if (c.json())
        c.printJson(results);
    else
        c.out(text);
    return problems ? 1 : 0;
}

} // namespace qv
