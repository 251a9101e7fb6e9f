#include "cli/Command.h"
#include "cli/EntryJson.h"
#include "cli/TextTable.h"
#include "cli/ToolContext.h"
#include "storage/HeaderRecord.h"
#include "tools/FileSearch.h"

#include <QJsonArray>
#include <QJsonObject>

namespace qv {
namespace {

class FindCommand : public Command {
public:
    QString name() const override { return QStringLiteral("find"); }
    QString arguments() const override
    {
        return QStringLiteral("TEXT [--keyword | --name] [--from N] [--to M] [--short-names]");
    }
    QString summary() const override
    {
        return QStringLiteral("entries whose description holds TEXT, or whose name matches the pattern TEXT");
    }
    int rank() const override { return 70; }
    int run(ToolContext& c, const QStringList& args) override
    {
        SearchQuery query;
        std::optional<int> from;
        std::optional<int> to;
        QStringList texts;
        for (qsizetype i = 0; i < args.size(); ++i) {
            const QString& a = args[i];
            auto number = [&](const QString& option, std::optional<int>& into) {
                QString v;
                if (a.startsWith(option + QLatin1Char('=')))
                    v = a.mid(option.size() + 1);
                else if (a == option && i + 1 < args.size())
                    v = args[++i];
                else
                    return false;
                into = ToolContext::areaNumber(v);
                if (!into)
                    into = -1;
                return true;
            };
            if (a == QLatin1String("--name"))
                query.mode = SearchQuery::Mode::FileName;
            else if (a == QLatin1String("--keyword"))
                query.mode = SearchQuery::Mode::Keyword;
            else if (a == QLatin1String("--short-names"))
                query.useLongNames = false;
            else if (number(QStringLiteral("--from"), from) || number(QStringLiteral("--to"), to))
                continue;
            else if (a.startsWith(QLatin1String("--")))
                return c.usage(QStringLiteral("find: unknown option %1").arg(a));
            else
                texts.append(a);
        }
        if (texts.size() != 1 || texts[0].trimmed().isEmpty())
            return c.usage(QStringLiteral("find wants one search text"));
        if ((from && *from < 1) || (to && *to < 1))
            return c.usage(QStringLiteral("find: --from and --to want an area number from 1"));
        if (!c.requireConfiguration() || !c.requireFileBase())
            return 1;
        const Board& b = c.board();
        FileSearch search(b);
        query.text = texts[0];
        query.firstArea = from.value_or(1);
        // A last area above the highest one is lowered to it, as the find window does.
        query.lastArea = std::min(to.value_or(search.highestArea()), search.highestArea());
        if (query.lastArea < query.firstArea) {
            c.fail(QStringLiteral("Invalid range specified!"));
            return 1;
        }

        QJsonArray hits;
        TextTable table({ QStringLiteral("Area"), QStringLiteral("#"), QStringLiteral("Name") }, { true, true, false });
        const std::atomic<bool> never { false };
        search.run(query, never,
            { {}, [&](const SearchHit& hit) {
                 const QString shown = b.text(hit.row.name);
                 if (!c.json()) {
                     if (hit.firstOfArea)
                         table.addRow({ QString::number(hit.area), QString(),
                             QString::number(hit.area) + QStringLiteral(" - ") + b.areaName(hit.area) });
                     table.addRow({ QString::number(hit.area), QString::number(hit.position + 1), shown });
                     return;
                 }
                 AreaStore& store = b.store();
                 const auto header = store.readHeader(hit.area, hit.position);
                 const auto longName = store.readLongName(hit.area, hit.position);
                 const QJsonObject entry = entryJson(b, hit.position, header.valueOr(HeaderRecord()),
                     longName ? longName->name() : std::string(), hit.row.name,
                     store.readDescription(hit.area, hit.position));
                 hits.append(QJsonObject { { QStringLiteral("area"), hit.area },
                     { QStringLiteral("position"), qint64(hit.position + 1) }, { QStringLiteral("name"), shown },
                     { QStringLiteral("entry"), entry } });
             } });
        if (c.json())
            c.printJson(hits);
        else
            c.out(table.render());
        return 0;
    }
};
QV_COMMAND(FindCommand);

} // namespace
} // namespace qv
