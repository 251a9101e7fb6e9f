#include "board/Messages.h"
#include "cli/Command.h"
#include "cli/PositionArguments.h"
#include "cli/TerminalProgress.h"
#include "cli/ToolContext.h"
#include "editing/AreaSorter.h"

#include <QJsonObject>

#include <cstdio>

namespace qv {
namespace {

QStringList sortKeys()
{
    QStringList keys;
    for (int k = 0; k < kSortKeyCount; ++k)
        keys << AreaSorter::keyName(SortKey(k));
    return keys;
}

class SortCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "sort",
            .rank = 130,
            .summary = "put the area, or with --only some of its entries among their places, in order of KEY",
            .arguments = {
                { "AREA", "the area's number" },
                { "[KEY]",
                    "what to sort by: name, size, file-date, upload-date, last-download, downloads or uploader; "
                    "--by KEY names it too",
                    sortKeys() },
                { "[POS...]", "with --only: the positions of the entries to sort, 1 for the first" },
            },
            .options = {
                { "by", "KEY", "what to sort by", {}, sortKeys() },
                { "descending", "", "largest, latest or last in the alphabet first" },
                { "only", "", "sort only the entries at POS..., among the places they hold", { "positions" } },
                { "short-names", "", "sort by the 8.3 names, not the long ones" },
            },
        };
    }
    int run(ToolContext& c, const Arguments& a) override
    {
        const bool descending = a.has(QStringLiteral("descending"));
        const bool shortNames = a.has(QStringLiteral("short-names"));
        // The key is the second argument unless --by names it; the positions of --only follow it.
        const bool by = a.has(QStringLiteral("by"));
        if (!by && a.positionals.size() < 2)
            return c.usage(QStringLiteral("sort wants an area number and a key"));
        const QString keyText = by ? a.value(QStringLiteral("by")) : a.positionals[1];
        const std::optional<SortKey> key = AreaSorter::keyOf(keyText);
        if (!key)
            return c.usage(QStringLiteral("sort does not know the key ") + keyText);
        std::optional<QStringList> only;
        if (a.has(QStringLiteral("only")))
            only = a.positionals.mid(by ? 1 : 2);
        else if (a.positionals.size() > (by ? 1 : 2))
            return c.usage(QStringLiteral("sort takes entry positions only after --only"));
        const auto area = ToolContext::areaNumber(a.positionals[0]);
        if (!area)
            return c.usage(QStringLiteral("sort wants an area number and a key"));
        if (!c.requireArea(*area) || !c.requireFileBase())
            return 1;
        LoadOutcome loaded = c.board().store().load(*area, !shortNames);
        if (loaded.error) {
            c.fail(messages::loadFailed(*loaded.error, c.board().fileBasePath()).text);
            return 1;
        }
        SortRequest request { *key, descending, std::nullopt };
        if (only) {
            QString problem;
            auto rows = rowsOfPositions(*only, loaded.rows.size(), problem);
            if (!rows) {
                c.fail(problem);
                return 1;
            }
            request.only = std::move(*rows);
        }
        TerminalProgress progress(c, QStringLiteral("sorting"), 0);
        const AreaSorter::Outcome outcome
            = AreaSorter(c.board()).sort(*area, loaded.rows, request, [&](uint64_t settled, uint64_t count) {
                  progress.setTotal(count);
                  progress.show(settled);
              });
        progress.finish();
        if (outcome.error) {
            c.fail(messages::changeFailed(
                *area, QStringLiteral("sort"), outcome.error->code, outcome.error->message, false)
                       .text);
            return 1;
        }
        // What the board added while the files were rewritten was kept; the caller hears of it.
        if (const QString kept = messages::boardWritesKept(*area, outcome.carried, "the sort"); !kept.isEmpty())
            std::fputs(qPrintable(kept + QLatin1Char('\n')), stderr);
        if (c.json())
            c.printJson(QJsonObject { { QStringLiteral("area"), *area },
                { QStringLiteral("key"), AreaSorter::keyName(*key) }, { QStringLiteral("descending"), descending },
                { QStringLiteral("sorted"), qint64(outcome.sorted) }, { QStringLiteral("changed"), outcome.changed } });
        else
            c.out(outcome.changed ? QStringLiteral("sorted %1 entries of area %2 by %3\n")
                                        .arg(outcome.sorted)
                                        .arg(*area)
                                        .arg(AreaSorter::keyName(*key))
                                  : QStringLiteral("already in that order; nothing written\n"));
        return 0;
    }
};
QV_COMMAND(SortCommand);

} // namespace
} // namespace qv
