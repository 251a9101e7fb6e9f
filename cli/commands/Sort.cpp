#include "board/Messages.h"
#include "cli/Command.h"
#include "cli/PositionArguments.h"
#include "cli/ToolContext.h"
#include "editing/AreaSorter.h"

#include <QJsonObject>

#include <cstdio>

namespace qv {
namespace {

class SortCommand : public Command {
public:
    QString name() const override { return QStringLiteral("sort"); }
    QString arguments() const override
    {
        return QStringLiteral("AREA [--by] KEY [--descending] [--only POS...] [--short-names]");
    }
    QString summary() const override
    {
        return QStringLiteral("put the area (or, with --only, those entries among their places) in order of KEY: "
                              "name, size, file-date, upload-date, last-download, downloads, uploader");
    }
    int rank() const override { return 130; }
    int run(ToolContext& c, const QStringList& args) override
    {
        std::optional<SortKey> key;
        bool descending = false;
        bool shortNames = false;
        std::optional<QStringList> only;
        for (int i = 1; i < args.size(); ++i) {
            const QString& a = args[i];
            if (a == QLatin1String("--descending"))
                descending = true;
            else if (a == QLatin1String("--short-names"))
                shortNames = true;
            else if (a == QLatin1String("--only") || a == QLatin1String("--positions"))
                only.emplace();
            else if (a == QLatin1String("--by") && i + 1 < args.size() && !key)
                key = AreaSorter::keyOf(args[++i]);
            else if (a.startsWith(QLatin1String("--")))
                return c.usage(QStringLiteral("sort does not know ") + a);
            else if (only)
                only->append(a);
            else if (!key && AreaSorter::keyOf(a))
                key = AreaSorter::keyOf(a);
            else
                return c.usage(QStringLiteral("sort does not know the key ") + a);
        }
        const auto area = args.isEmpty() ? std::nullopt : ToolContext::areaNumber(args[0]);
        if (!area || !key)
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
        const AreaSorter::Outcome outcome = AreaSorter(c.board()).sort(*area, loaded.rows, request);
        if (outcome.error) {
            c.fail(messages::changeFailed(*area, name(), outcome.error->code, outcome.error->message, false).text);
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
