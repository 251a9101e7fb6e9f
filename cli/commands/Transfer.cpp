#include "board/Board.h"
#include "board/Messages.h"
#include "cli/Command.h"
#include "cli/PositionArguments.h"
#include "cli/TerminalProgress.h"
#include "cli/ToolContext.h"
#include "transfer/EntryTransfer.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>

#include <algorithm>

namespace qv {
namespace {

QString statusText(FileCopier::Status s)
{
    switch (s) {
    case FileCopier::Status::Copied:
        return QStringLiteral("copied");
    case FileCopier::Status::Declined:
        return QStringLiteral("kept existing");
    case FileCopier::Status::SameFile:
        return QStringLiteral("same file");
    case FileCopier::Status::Cancelled:
        return QStringLiteral("cancelled");
    case FileCopier::Status::Failed:
        break;
    }
    return QStringLiteral("failed");
}

// Direct Copy and Direct Move of entries, to the end of another area or, files only, into a
// directory.
class TransferCommand : public Command {
public:
    explicit TransferCommand(bool move)
        : m_move(move)
    {
    }
    CommandDeclaration declaration() const override
    {
        return {
            .name = m_move ? "move" : "copy",
            .rank = m_move ? 131 : 130,
            .summary = m_move ? "move entries and their files behind the last entry of another area, or their files "
                                "into a directory (the entries leave the area)"
                              : "copy entries and their files behind the last entry of another area, or their files "
                                "into a directory",
            .arguments = {
                { "AREA", "the area's number" },
                { "POS...", "the entries' positions, 1 for the first" },
            },
            .options = {
                { "to", "AREA", "behind the last entry of this area" },
                { "to-dir", "DIR", "only the files, into this directory" },
                { "overwrite", "", "replace a file of the same name there (default: keep it)" },
            },
        };
    }
    int run(ToolContext& c, const Arguments& a) override
    {
        const QString name = m_move ? QStringLiteral("move") : QStringLiteral("copy");
        const QStringList positions = a.positionals.mid(1);
        std::optional<int> toArea;
        if (a.has(QStringLiteral("to"))) {
            toArea = ToolContext::areaNumber(a.value(QStringLiteral("to")));
            if (!toArea)
                return c.usage(QStringLiteral("--to wants an area number"));
        }
        const QString toDir = a.value(QStringLiteral("to-dir"));
        const bool overwrite = a.has(QStringLiteral("overwrite"));
        const auto area = ToolContext::areaNumber(a.positionals[0]);
        if (!area || (toArea.has_value() == a.has(QStringLiteral("to-dir"))))
            return c.usage(name + QStringLiteral(" wants an area, entry numbers and either --to or --to-dir"));
        if (toArea && !c.requireArea(*toArea))
            return 1;
        if (toArea == area) {
            c.fail(QStringLiteral("Source and destination area are equal!"));
            return 1;
        }
        if (a.has(QStringLiteral("to-dir")) && !QFileInfo(toDir).isDir()) {
            c.fail(QStringLiteral("no directory %1").arg(toDir));
            return 1;
        }
        LoadOutcome loaded;
        if (!c.load(*area, loaded))
            return 1;
        QString problem;
        auto rows = rowsOfPositions(positions, loaded.rows.size(), problem);
        if (!rows) {
            c.fail(problem);
            return 1;
        }
        std::sort(rows->begin(), rows->end());
        rows->erase(std::unique(rows->begin(), rows->end()), rows->end());

        EntryTransfer::Request request;
        request.source = *area;
        for (int p : *rows)
            request.entries.push_back({ uint64_t(p), loaded.rows[size_t(p)] });
        request.move = m_move;
        request.to = toArea ? EntryTransfer::To::Area : EntryTransfer::To::Directory;
        request.area = toArea.value_or(0);
        request.directory = toDir.isEmpty() ? QString() : QFileInfo(toDir).absoluteFilePath();
        request.useLongNames = c.settings().useLongNames;
        EntryTransfer::Callbacks callbacks;
        callbacks.copy.overwrite = [overwrite](const QString&) { return overwrite; };
        TerminalProgress progress(c, m_move ? QStringLiteral("moving") : QStringLiteral("copying"), rows->size());
        callbacks.copying = [&](const QString& shown) { progress.step(shown); };
        const EntryTransfer::Outcome outcome = EntryTransfer(c.board()).run(request, callbacks);
        progress.finish();

        if (outcome.error && outcome.failedAt != EntryTransfer::Stage::Source) {
            c.fail(outcome.stale || outcome.error->code == kChangedMeanwhile
                    ? messages::changeFailed(*area, name, outcome.error->code, outcome.error->message, false).text
                    : messages::transferFailed().text + QStringLiteral(" (")
                        + QString::fromStdString(outcome.error->message) + QStringLiteral(")"));
            return 1;
        }
        QJsonArray files;
        QString text;
        bool allCopied = true;
        for (const FileCopier::Copy& f : outcome.files) {
            const QString status = statusText(f.status);
            allCopied = allCopied && f.status != FileCopier::Status::Failed;
            files.append(QJsonObject { { QStringLiteral("from"), f.source }, { QStringLiteral("to"), f.destination },
                { QStringLiteral("result"), status } });
            text += QStringLiteral("%1 %2 -> %3%4\n")
                        .arg(status, f.source, f.destination,
                            f.status == FileCopier::Status::Failed ? QStringLiteral(" (") + f.error + QLatin1Char(')')
                                                                   : QString());
        }
        QJsonArray entries;
        for (size_t k = 0; k < outcome.inserted.size(); ++k) {
            const qint64 position = qint64(outcome.insertedAt + k) + 1;
            entries.append(QJsonObject { { QStringLiteral("area"), *toArea }, { QStringLiteral("position"), position },
                { QStringLiteral("row_text"), c.text(outcome.inserted[k].name) } });
            text += QStringLiteral("entry %1 -> area %2 entry %3\n")
                        .arg(c.text(outcome.inserted[k].name))
                        .arg(*toArea)
                        .arg(position);
        }
        for (uint64_t p : outcome.removed)
            text += QStringLiteral("removed %1 %2 from area %3\n")
                        .arg(p + 1)
                        .arg(c.text(loaded.rows[p].name))
                        .arg(*area);
        for (const QString& path : outcome.deleted)
            text += (outcome.trashed.contains(path) ? QStringLiteral("moved to the trash %1\n")
                                                    : QStringLiteral("deleted %1\n"))
                        .arg(path);
        for (const QString& path : outcome.keptShared)
            text += QStringLiteral("kept %1: another entry names it\n").arg(path);
        if (c.json()) {
            QJsonArray removed;
            for (uint64_t p : outcome.removed)
                removed.append(qint64(p + 1));
            c.printJson(QJsonObject { { QStringLiteral("files"), files }, { QStringLiteral("entries"), entries },
                { QStringLiteral("removed"), removed },
                { QStringLiteral("deleted"), QJsonArray::fromStringList(outcome.deleted) },
                { QStringLiteral("trashed"), QJsonArray::fromStringList(outcome.trashed) } });
        } else {
            c.out(text);
        }
        if (outcome.failedAt == EntryTransfer::Stage::Source) {
            c.fail(messages::moveLeftSource(*area, outcome.error->code, outcome.error->message).text);
            return 1;
        }
        return allCopied ? 0 : 1;
    }

private:
    bool m_move;
};

class CopyCommand : public TransferCommand {
public:
    CopyCommand()
        : TransferCommand(false)
    {
    }
};
class MoveCommand : public TransferCommand {
public:
    MoveCommand()
        : TransferCommand(true)
    {
    }
};
QV_COMMAND(CopyCommand);
QV_COMMAND(MoveCommand);

} // namespace
} // namespace qv
