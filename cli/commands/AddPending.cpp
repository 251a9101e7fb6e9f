#include "cli/commands/AddPending.h"

#include "cli/Command.h"
#include "cli/TerminalProgress.h"
#include "cli/ToolContext.h"
#include "editing/CurrentUploader.h"
#include "editing/DescriptionExtractor.h"
#include "editing/PendingUpload.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

namespace qv {

int addPendingFiles(ToolContext& c, const Arguments& a)
{
    const QString uploader
        = a.has(QStringLiteral("uploader")) ? a.value(QStringLiteral("uploader")) : CurrentUploader::defaultName();
    const bool extract = !a.has(QStringLiteral("no-diz"));
    const bool all = a.has(QStringLiteral("all"));
    int code = 0;
    const auto chosen = c.chosenAreas(a.positionals, all, QStringLiteral("add --pending"), code);
    if (!chosen)
        return code;
    const std::vector<int>& areas = *chosen;
    QTemporaryDir temp(QDir::temp().filePath(QStringLiteral("qvtool-XXXXXX")));
    DescriptionExtractor extractor(c.settings(), temp.path());
    extractor.setBlocking(true);

    QJsonArray results;
    QString text;
    bool problems = false;
    for (int area : areas) {
        TerminalProgress progress(c, QStringLiteral("area %1: adding").arg(area), 0);
        const auto r = PendingUpload::addPending(c.board(), area, uploader, extract ? &extractor : nullptr,
            QDate::currentDate(), [&](const QString& name) { progress.step(name); });
        progress.finish();
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
