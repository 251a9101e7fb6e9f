#include "cli/Command.h"
#include "cli/TerminalProgress.h"
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
    CommandDeclaration declaration() const override
    {
        return {
            .name = "dupes",
            .rank = 71,
            .summary = "entries with the same name, or files with the same bytes, across areas",
            .options = {
                { "from", "N", "the first area searched (default 1)" },
                { "to", "M", "the last area searched (default 65535)" },
                { "by", "KEY", "name (default) or content", {}, { "name", "content" } },
            },
        };
    }
    int run(ToolContext& c, const Arguments& a) override
    {
        int from = 1, to = 65535;
        auto by = DuplicateSearch::By::Name;
        for (const char* name : { "from", "to" }) {
            const QString option = QString::fromLatin1(name);
            if (!a.has(option))
                continue;
            bool ok = false;
            (option == QLatin1String("from") ? from : to) = a.value(option).toInt(&ok);
            if (!ok)
                return c.usage(QStringLiteral("dupes: bad value for --%1").arg(option));
        }
        if (a.has(QStringLiteral("by"))) {
            const QString v = a.value(QStringLiteral("by"));
            if (v != QLatin1String("name") && v != QLatin1String("content"))
                return c.usage(QStringLiteral("dupes: bad value for --by"));
            by = v == QLatin1String("content") ? DuplicateSearch::By::Content : DuplicateSearch::By::Name;
        }
        if (to < from)
            return c.usage(QStringLiteral("dupes: --to is below --from"));
        if (!c.requireConfiguration() || !c.requireFileBase())
            return 1;
        const Board& b = c.board();
        const std::vector<int> areas = FileSearch(b).areasInRange(from, to);
        TerminalProgress progress(c, QStringLiteral("searching"), areas.size());
        const auto outcome = DuplicateSearch(b).find(
            areas, by, nullptr, [&](int area) { progress.step(QStringLiteral("area %1").arg(area)); });
        progress.finish();
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
