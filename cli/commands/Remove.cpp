#include "cli/Command.h"
#include "cli/PositionArguments.h"
#include "cli/ToolContext.h"
#include "board/Messages.h"
#include "editing/EntryRemover.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTextStream>

#include <cstdio>

namespace qv {
namespace {

// The five answers of "Confirm Deletion" typed on standard input, one line per question.
DeletionAnswer askOnTerminal(const QString& rowText)
{
    static QTextStream in(stdin);
    const messages::Message m = messages::confirmDeletion(rowText);
    std::fputs(qPrintable(ToolContext::escapeControls(m.text)), stderr);
    std::fputs("\n[y]es, yes to [a]ll, [n]o, no to a[l]l, [c]ancel: ", stderr);
    std::fflush(stderr);
    for (QString line; in.readLineInto(&line);) {
        const QString a = line.trimmed().toLower();
        if (a == QLatin1String("y"))
            return DeletionAnswer::Yes;
        if (a == QLatin1String("a"))
            return DeletionAnswer::YesToAll;
        if (a == QLatin1String("n"))
            return DeletionAnswer::No;
        if (a == QLatin1String("l"))
            return DeletionAnswer::NoToAll;
        if (a == QLatin1String("c"))
            return DeletionAnswer::Cancel;
        std::fputs("y, a, n, l or c: ", stderr);
        std::fflush(stderr);
    }
    // No more input closes the question, which is a cancel.
    return DeletionAnswer::Cancel;
}

class RemoveCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "remove",
            .rank = 110,
            .summary = "remove entries, and with --delete-files their files, never one a remaining entry names",
            .arguments = { { "AREA", "the area's number" }, { "POS...", "the entries' positions, 1 for the first" } },
            .options = {
                { "delete-files", "", "delete their files too, asking for each on standard input" },
                { "yes", "", "with --delete-files: delete without asking" },
            },
        };
    }
    int run(ToolContext& c, const Arguments& a) override
    {
        const QStringList positions = a.positionals.mid(1);
        const bool deleteFiles = a.has(QStringLiteral("delete-files"));
        const bool yes = a.has(QStringLiteral("yes"));
        const auto area = ToolContext::areaNumber(a.positionals[0]);
        if (!area)
            return c.usage(QStringLiteral("remove wants an area number and the entry numbers to remove"));
        if (yes && !deleteFiles)
            return c.usage(QStringLiteral("--yes answers the questions of --delete-files"));
        LoadOutcome loaded;
        if (!c.load(*area, loaded))
            return 1;
        QString problem;
        const auto rows = rowsOfPositions(positions, loaded.rows.size(), problem);
        if (!rows) {
            c.fail(problem);
            return 1;
        }
        EntryRemover::Ask ask;
        if (deleteFiles && yes)
            ask = [](const QString&) { return DeletionAnswer::YesToAll; };
        else if (deleteFiles)
            ask = askOnTerminal;
        const EntryRemover::Outcome outcome = EntryRemover(c.board()).remove(*area, loaded.rows, *rows, ask);
        if (outcome.cancelled) {
            c.fail(QStringLiteral("cancelled; nothing was changed"));
            return 1;
        }
        if (outcome.error) {
            c.fail(messages::changeFailed(
                *area, QStringLiteral("remove"), outcome.error->code, outcome.error->message, false)
                       .text);
            return 1;
        }
        QJsonArray removed;
        QString text;
        for (uint64_t p : outcome.removed) {
            const QString rowText = c.text(loaded.rows[p].name);
            removed.append(
                QJsonObject { { QStringLiteral("position"), qint64(p + 1) }, { QStringLiteral("row_text"), rowText } });
            text += QStringLiteral("removed %1 %2\n").arg(p + 1).arg(rowText);
        }
        for (const QString& path : outcome.deleted)
            text += (outcome.trashed.contains(path) ? QStringLiteral("moved to the trash %1\n")
                                                    : QStringLiteral("deleted %1\n"))
                        .arg(path);
        for (const QString& path : outcome.notDeleted)
            text += QStringLiteral("not deleted %1\n").arg(path);
        for (const QString& rowText : outcome.keptShared)
            text += QStringLiteral("kept %1: another entry names its file\n").arg(rowText);
        // What the board added while the files were rewritten was kept; the caller hears of it.
        if (const QString kept = messages::boardWritesKept(*area, outcome.carried, "the removal"); !kept.isEmpty())
            std::fputs(qPrintable(kept + QLatin1Char('\n')), stderr);
        if (!outcome.filesNotLookedFor.isEmpty())
            c.fail(messages::filesNotLookedFor(outcome.filesNotLookedFor).text);
        if (c.json())
            c.printJson(QJsonObject { { QStringLiteral("area"), *area }, { QStringLiteral("removed"), removed },
                { QStringLiteral("deleted"), QJsonArray::fromStringList(outcome.deleted) },
                { QStringLiteral("trashed"), QJsonArray::fromStringList(outcome.trashed) },
                { QStringLiteral("not_deleted"), QJsonArray::fromStringList(outcome.notDeleted) },
                { QStringLiteral("kept_shared"), QJsonArray::fromStringList(outcome.keptShared) } });
        else
            c.out(text);
        return 0;
    }
};
QV_COMMAND(RemoveCommand);

} // namespace
} // namespace qv
