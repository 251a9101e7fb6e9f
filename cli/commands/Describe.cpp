#include "cli/Command.h"
#include "cli/ToolContext.h"
#include "cli/commands/EntryPosition.h"
#include "editing/Descriptions.h"
#include "editing/EntryProperties.h"

#include <QJsonObject>

namespace qv {
namespace {

class DescribeCommand : public Command {
public:
    CommandSpec spec() const override
    {
        return {
            .name = "describe",
            .rank = 44,
            .summary = "give one entry, or several at once, a description",
            .arguments = { { "AREA", "the area's number" }, { "POS...", "the entries' positions, 1 for the first" } },
            .options = {
                { "text", "TEXT", "the text itself" },
                { "file", "FILE", "the text of FILE (UTF-8)" },
                { "stdin", "", "the text of standard input (UTF-8)" },
            },
        };
    }
    int run(ToolContext& c, const Arguments& a) override
    {
        QString problem;
        const auto area = ToolContext::areaNumber(a.positionals[0]);
        std::vector<uint64_t> records;
        for (qsizetype i = 1; i < a.positionals.size(); ++i)
            if (auto r = parsePosition(a.positionals[i]))
                records.push_back(*r);
        if (!area || records.empty() || qsizetype(records.size()) != a.positionals.size() - 1)
            return c.usage(QStringLiteral("describe wants an area number and entry positions from 1"));
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
        for (uint64_t r : records)
            if (!entryExists(c, *area, r))
                return 1;

        std::sort(records.begin(), records.end());
        records.erase(std::unique(records.begin(), records.end()), records.end());
        QString line;
        int appended = 0;
        int overwritten = 0;
        if (records.size() == 1) {
            // One entry: what the Properties dialog writes for its description box.
            PropertyChanges changes;
            changes.description = *text;
            const PropertiesResult r = EntryProperties(c.board(), *area).apply(records[0], changes);
            if (r.outcome != PropertiesResult::Outcome::Written) {
                c.fail(r.message);
                return 1;
            }
            (r.descriptionAppended ? appended : overwritten) = 1;
            line = r.descriptionAppended
                ? QStringLiteral("Area %1, entry %2: description appended at offset %3\n")
                      .arg(*area)
                      .arg(records[0] + 1)
                      .arg(r.descriptionPointer)
                : QStringLiteral("Area %1, entry %2: description overwritten in place at offset %3\n")
                      .arg(*area)
                      .arg(records[0] + 1)
                      .arg(r.descriptionPointer);
        } else {
            const DescriptionsResult r = Descriptions(c.board(), *area).giveAll(records, *text);
            if (r.outcome != DescriptionsResult::Outcome::Written) {
                c.fail(r.message);
                return 1;
            }
            appended = r.appended;
            overwritten = r.overwritten;
            line = QStringLiteral("Area %1: description given to %2 entries (%3 overwritten in place, %4 appended)\n")
                       .arg(*area)
                       .arg(records.size())
                       .arg(overwritten)
                       .arg(appended);
        }
        if (c.json())
            c.printJson(
                QJsonObject { { QStringLiteral("area"), *area }, { QStringLiteral("entries"), qint64(records.size()) },
                    { QStringLiteral("overwritten"), overwritten }, { QStringLiteral("appended"), appended } });
        else
            c.out(line);
        return 0;
    }
};
QV_COMMAND(DescribeCommand);

} // namespace
} // namespace qv
