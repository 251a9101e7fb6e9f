#include "cli/Command.h"
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
    QString name() const override { return QStringLiteral("add"); }
    QString arguments() const override
    {
        return QStringLiteral("AREA FILE... [--uploader NAME] [--no-diz] [--after P] | --pending (AREA... | --all) "
                              "[--uploader NAME] [--no-diz]");
    }
    QString summary() const override
    {
        return QStringLiteral(
            "add files of the area's directory as entries, after the first P (default: after the last)");
    }
    int rank() const override { return 83; }
    int run(ToolContext& c, const QStringList& args) override
    {
        if (args.contains(QLatin1String("--pending")))
            return addPendingFiles(c, args);
        FileAdder::Request request;
        request.uploader = CurrentUploader::defaultName();
        QStringList rest;
        for (qsizetype i = 0; i < args.size(); ++i) {
            const QString& a = args[i];
            if (a == QLatin1String("--uploader") && i + 1 < args.size()) {
                request.uploader = args[++i];
            } else if (a == QLatin1String("--no-diz")) {
                request.extract = false;
            } else if (a == QLatin1String("--after") && i + 1 < args.size()) {
                bool ok = false;
                request.after = args[++i].toULongLong(&ok);
                if (!ok)
                    return c.usage(QStringLiteral("--after wants a number of entries"));
            } else if (a.startsWith(QLatin1String("--"))) {
                return c.usage(QStringLiteral("unknown option %1").arg(a));
            } else {
                rest << a;
            }
        }
        const auto area = rest.size() >= 2 ? ToolContext::areaNumber(rest[0]) : std::nullopt;
        if (!area)
            return c.usage(name() + QStringLiteral(" wants an area number and at least one file"));
        request.names = rest.mid(1);
        if (!c.requireArea(*area) || !c.requireFileBase())
            return 1;
        QTemporaryDir temp(QDir::temp().filePath(QStringLiteral("qvtool-XXXXXX")));
        DescriptionExtractor extractor(c.settings(), temp.path());
        extractor.setBlocking(true);
        const auto result = FileAdder::add(c.board(), *area, request, &extractor);
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
