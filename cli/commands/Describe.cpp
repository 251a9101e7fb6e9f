#include "board/Messages.h"
#include "cli/Command.h"
#include "cli/ToolContext.h"
#include "cli/commands/EntryPosition.h"
#include "editing/Descriptions.h"
#include "editing/EntryProperties.h"

#include <QFile>
#include <QJsonObject>

namespace qv {
namespace {

class DescribeCommand : public Command {
public:
    CommandDeclaration declaration() const override
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
                { "raw", "", "with --file: the file's bytes are the board's (a FILE_ID.DIZ in its code page)" },
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
        // --raw: the file holds board bytes (a FILE_ID.DIZ text, say), not UTF-8.
        const bool raw = a.has(QStringLiteral("raw"));
        if (raw && (!a.has(QStringLiteral("file")) || a.has(QStringLiteral("text")) || a.has(QStringLiteral("stdin"))))
            return c.usage(QStringLiteral("--raw goes with --file alone"));
        bool usageError = false;
        QByteArray rawBytes;
        std::optional<QString> text;
        if (raw) {
            QFile in(a.value(QStringLiteral("file")));
            if (in.open(QIODevice::ReadOnly))
                rawBytes = in.readAll();
            else
                problem = QStringLiteral("cannot read %1: %2").arg(in.fileName(), in.errorString());
            if (problem.isEmpty())
                text = QString();
        } else {
            text = a.textInput(&problem, &usageError);
        }
        if (!text) {
            if (usageError)
                return c.usage(problem);
            c.fail(problem);
            return 1;
        }
        if (!c.requireArea(*area) || !c.requireFileBase())
            return 1;
        if (raw)
            text = c.board().text(std::string_view(rawBytes.constData(), size_t(rawBytes.size())));
        std::sort(records.begin(), records.end());
        records.erase(std::unique(records.begin(), records.end()), records.end());
        std::vector<RowIdentity> shown;
        for (uint64_t r : records) {
            auto entry = readEntry(c, *area, r);
            if (!entry)
                return 1;
            shown.push_back(*entry);
        }
        QString line;
        int appended = 0;
        int overwritten = 0;
        if (records.size() == 1) {
            // One entry: what the Properties dialog writes for its description box.
            PropertyChanges changes;
            changes.description = *text;
            const PropertiesResult r = EntryProperties(c.board(), *area).apply(shown[0], changes);
            if (r.outcome == PropertiesResult::Outcome::NothingToWrite) {
                c.out(QStringLiteral("Area %1, entry %2: description unchanged\n").arg(*area).arg(records[0] + 1));
                return 0;
            }
            if (r.outcome != PropertiesResult::Outcome::Written) {
                c.fail(r.rowsChanged ? messages::rowsChanged(*area, false) : r.message);
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
            const DescriptionsResult r = Descriptions(c.board(), *area).giveAll(shown, *text);
            if (r.outcome != DescriptionsResult::Outcome::Written) {
                c.fail(r.rowsChanged ? messages::rowsChanged(*area, false) : r.message);
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
