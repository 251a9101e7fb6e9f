#include "board/Messages.h"
#include "cli/Command.h"
#include "cli/ToolContext.h"
#include "cli/commands/EntryPosition.h"
#include "editing/Descriptions.h"

#include <QJsonObject>

#include <limits>

namespace qv {
namespace {

class CommentCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "comment",
            .rank = 45,
            .summary = "insert a comment line after the first P entries (default: after the last)",
            .arguments = { { "AREA", "the area's number" } },
            .options = {
                { "text", "TEXT", "the text itself" },
                { "file", "FILE", "the text of FILE (UTF-8)" },
                { "stdin", "", "the text of standard input (UTF-8)" },
                { "after", "P", "insert after the first P entries (default: after the last)" },
                { "uploader", "NAME", "the uploader the comment line names" },
            },
        };
    }
    int run(ToolContext& c, const Arguments& a) override
    {
        QString problem;
        const auto area = ToolContext::areaNumber(a.positionals[0]);
        if (!area)
            return c.usage(QStringLiteral("comment wants one area number"));
        uint64_t after = std::numeric_limits<uint64_t>::max();
        if (a.has(QStringLiteral("after"))) {
            bool ok = false;
            const qlonglong p = a.value(QStringLiteral("after")).toLongLong(&ok);
            if (!ok || p < 0)
                return c.usage(QStringLiteral("--after wants a number of entries from 0"));
            after = uint64_t(p);
        }
        bool usageError = false;
        const auto text = a.textInput(&problem, &usageError);
        if (!text) {
            if (usageError)
                return c.usage(problem);
            c.fail(problem);
            return 1;
        }
        if (!c.requireArea(*area) || !c.requireFileBase())
            return 1;
        // Behind the entry read at P, refused when another program moved it before the commit.
        std::optional<RowIdentity> behind;
        if (after != std::numeric_limits<uint64_t>::max() && after > 0) {
            behind = readEntry(c, *area, after - 1);
            if (!behind)
                return 1;
        }
        const DescriptionsResult r
            = Descriptions(c.board(), *area).insertComment(after, *text, a.value(QStringLiteral("uploader")), behind);
        if (r.outcome != DescriptionsResult::Outcome::Written) {
            c.fail(r.rowsChanged ? messages::rowsChanged(*area, false) : r.message);
            return 1;
        }
        if (c.json())
            c.printJson(QJsonObject {
                { QStringLiteral("area"), *area }, { QStringLiteral("position"), qint64(r.position + 1) } });
        else
            c.out(QStringLiteral("Area %1: comment line inserted as entry %2\n").arg(*area).arg(r.position + 1));
        return 0;
    }
};
QV_COMMAND(CommentCommand);

} // namespace
} // namespace qv
