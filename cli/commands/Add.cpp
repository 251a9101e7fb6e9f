#include "cli/Command.h"
#include "cli/TerminalProgress.h"
#include "cli/commands/AddPending.h"
#include "cli/ToolContext.h"
#include "editing/CurrentUploader.h"
#include "editing/DescriptionExtractor.h"
#include "editing/FileAdder.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

namespace qv {
namespace {

class AddCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "add",
            .rank = 83,
            .summary = "add files of the area's directory as entries, after the first P (default: after the last); "
                       "with --pending, every file of the areas' directories that has no entry yet",
            .arguments = { { "[AREA]", "the area's number (with --pending: the areas' numbers)" },
                { "[FILE...]", "names of files in the area's directory" } },
            .options = {
                { "uploader", "NAME", "the uploader the entries name (default: the user's name)" },
                { "no-diz", "", "store no FILE_ID.DIZ as description" },
                { "after", "P", "insert after the first P entries" },
                { "pending", "", "add every file of the areas' directories that has no entry yet" },
                { "all", "", "with --pending: every area" },
            },
        };
    }
    int run(ToolContext& c, const Arguments& a) override
    {
        if (a.has(QStringLiteral("pending")))
            return addPendingFiles(c, a);
        FileAdder::Request request;
        request.uploader = CurrentUploader::defaultName();
        if (a.has(QStringLiteral("uploader")))
            request.uploader = a.value(QStringLiteral("uploader"));
        request.extract = !a.has(QStringLiteral("no-diz"));
        if (a.has(QStringLiteral("after"))) {
            bool ok = false;
            request.after = a.value(QStringLiteral("after")).toULongLong(&ok);
            if (!ok)
                return c.usage(QStringLiteral("--after wants a number of entries"));
        }
        const auto area = a.positionals.size() >= 2 ? ToolContext::areaNumber(a.positionals[0]) : std::nullopt;
        if (!area)
            return c.usage(QStringLiteral("add wants an area number and at least one file"));
        request.names = a.positionals.mid(1);
        if (!c.requireArea(*area) || !c.requireFileBase())
            return 1;
        QTemporaryDir temp(QDir::temp().filePath(QStringLiteral("qvtool-XXXXXX")));
        DescriptionExtractor extractor(c.settings(), temp.path());
        extractor.setBlocking(true);
        TerminalProgress progress(c, QStringLiteral("adding"), uint64_t(request.names.size()));
        const auto result
            = FileAdder::add(c.board(), *area, request, &extractor, [&](const QString& name) { progress.step(name); });
        progress.finish();
        if (result.error) {
            c.fail(QStringLiteral("nothing was added: ") + QString::fromStdString(result.error->message));
            return 1;
        }
        QJsonArray added;
        QString text;
        for (qsizetype k = 0; k < result.added.size(); ++k) {
            const qint64 position = qint64(result.at) + k + 1;
            added.append(QJsonObject { { QStringLiteral("position"), QJsonValue(position) },
                { QStringLiteral("file"), QJsonValue(result.added[k]) } });
            text += QStringLiteral("%1 %2: added\n").arg(position).arg(result.added[k]);
        }
        if (c.json())
            c.printJson(QJsonObject { { QStringLiteral("added"), QJsonValue(added) },
                { QStringLiteral("not_found"), QJsonValue(QJsonArray::fromStringList(result.vanished)) } });
        else
            c.out(text);
        for (const QString& name : result.vanished)
            c.fail(QStringLiteral("no file %1 in the area's directory").arg(name));
        return result.vanished.isEmpty() ? 0 : 1;
    }
};
QV_COMMAND(AddCommand);

} // namespace
} // namespace qv
