#include "cli/Command.h"
#include "cli/EntryJson.h"
#include "cli/TextTable.h"
#include "cli/TerminalProgress.h"
#include "cli/ToolContext.h"
#include "storage/HeaderRecord.h"
#include "tools/FileSearch.h"

#include <QJsonArray>
#include <QJsonObject>

namespace qv {
namespace {

class FindCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "find",
            .rank = 70,
            .summary = "entries whose description holds TEXT, or whose name matches the pattern TEXT",
            .arguments = { { "TEXT", "the text to look for in descriptions, or the name pattern (* and ?)" } },
            .options = {
                { "keyword", "", "look for TEXT among the keywords" },
                { "name", "", "match the file names against the pattern TEXT" },
                { "from", "AREA", "the first area searched (default: 1)" },
                { "to", "AREA", "the last area searched (default: the highest)" },
                { "short-names", "", "match the 8.3 names, not the long ones" },
            },
        };
    }
    int run(ToolContext& c, const Arguments& a) override
    {
        SearchQuery query;
        auto number = [&](const char* option) -> std::optional<int> {
            if (!a.has(QLatin1String(option)))
                return std::nullopt;
            return ToolContext::areaNumber(a.value(QLatin1String(option))).value_or(-1);
        };
        const std::optional<int> from = number("from");
        const std::optional<int> to = number("to");
        if (a.has(QStringLiteral("name")) && a.has(QStringLiteral("keyword")))
            return c.usage(QStringLiteral("find: --keyword and --name exclude each other"));
        if (a.has(QStringLiteral("name")))
            query.mode = SearchQuery::Mode::FileName;
        else if (a.has(QStringLiteral("keyword")))
            query.mode = SearchQuery::Mode::Keyword;
        query.useLongNames = !a.has(QStringLiteral("short-names"));
        const QStringList& texts = a.positionals;
        if (texts[0].trimmed().isEmpty())
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
        TerminalProgress progress(
            c, QStringLiteral("searching"), search.areasInRange(query.firstArea, query.lastArea).size());
        search.run(query, never,
            { [&](int area) { progress.step(QStringLiteral("area %1").arg(area)); },
                [&](const SearchHit& hit) {
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
        progress.finish();
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
