#include "cli/Command.h"
#include "cli/ToolContext.h"
#include "storage/Encoding.h"
#include "tools/DuplicateSearch.h"
#include "tools/FileSearch.h"

#include <QJsonArray>
#include <QJsonObject>

namespace qv {
namespace {

class DupesCommand : public Command {
public:
    QString name() const override { return QStringLiteral("dupes"); }
    QString arguments() const override { return QStringLiteral("[--from N] [--to M] [--by name|content]"); }
    QString summary() const override
    {
        return QStringLiteral("entries with the same name, or files with the same bytes, across areas");
    }
    int rank() const override { return 71; }
    int run(ToolContext& c, const QStringList& args) override
    {
        int from = 1, to = 65535;
        auto by = DuplicateSearch::By::Name;
        for (qsizetype i = 0; i < args.size(); ++i) {
            const QString& a = args[i];
            const bool hasValue = i + 1 < args.size();
            bool ok = true;
            if (a == QLatin1String("--from") && hasValue) {
                from = args[++i].toInt(&ok);
            } else if (a == QLatin1String("--to") && hasValue) {
                to = args[++i].toInt(&ok);
            } else if (a == QLatin1String("--by") && hasValue) {
                const QString v = args[++i];
                ok = v == QLatin1String("name") || v == QLatin1String("content");
                by = v == QLatin1String("content") ? DuplicateSearch::By::Content : DuplicateSearch::By::Name;
            } else {
                return c.usage(QStringLiteral("dupes: unknown option %1").arg(a));
            }
            if (!ok)
                return c.usage(QStringLiteral("dupes: bad value for %1").arg(a));
        }
        if (to < from)
            return c.usage(QStringLiteral("dupes: --to is below --from"));
        if (!c.requireConfiguration() || !c.requireFileBase())
            return 1;
        const Board& b = c.board();
        const auto outcome = DuplicateSearch(b).find(FileSearch(b).areasInRange(from, to), by);
        if (outcome.error) {
            c.fail(QString::fromStdString(outcome.error->message));
            return 1;
        }
        QJsonArray groups;
        QString text;
        for (const auto& g : outcome.groups) {
            QJsonArray entries;
            for (const auto& e : g.entries) {
                const auto d = enc::decodeDate(e.fileDate);
                const QString date = d ? QStringLiteral("%1-%2-%3")
                                             .arg(d->year, 4, 10, QLatin1Char('0'))
                                             .arg(d->month, 2, 10, QLatin1Char('0'))
                                             .arg(d->day, 2, 10, QLatin1Char('0'))
                                       : QStringLiteral("Invalid");
                entries.append(QJsonObject { { QStringLiteral("area"), e.area },
                    { QStringLiteral("position"), qint64(e.position + 1) }, { QStringLiteral("name"), c.text(e.name) },
                    { QStringLiteral("size"), qint64(e.size) }, { QStringLiteral("date"), date },
                    { QStringLiteral("uploader"), c.text(e.uploader) } });
                text += QStringLiteral("%1 %2 %3 %4 %5 %6\n")
                            .arg(e.area)
                            .arg(e.position + 1)
                            .arg(c.text(e.name))
                            .arg(e.size)
                            .arg(date, c.text(e.uploader));
            }
            groups.append(entries);
            text += QLatin1Char('\n');
        }
        if (c.json())
            c.printJson(groups);
        else
            c.out(text);
        return 0;
    }
};
QV_COMMAND(DupesCommand);

} // namespace
} // namespace qv
