#include "board/Messages.h"
#include "cli/Command.h"
#include "cli/TerminalProgress.h"
#include "cli/ToolContext.h"
#include "editing/DescriptionExtraction.h"
#include "storage/AreaStore.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>

namespace qv {
namespace {

QString outcomeText(const DescriptionExtraction::RowResult& r)
{
    switch (r.outcome) {
    case DescriptionExtractor::Outcome::Extracted:
        return QStringLiteral("extracted (%1 bytes)").arg(r.bytes);
    case DescriptionExtractor::Outcome::NoArchiver:
        return QStringLiteral("no archiver");
    case DescriptionExtractor::Outcome::NoDescription:
        return QStringLiteral("no FILE_ID.DIZ");
    case DescriptionExtractor::Outcome::MissingFile:
        return QStringLiteral("missing file");
    case DescriptionExtractor::Outcome::TimedOut:
        return QStringLiteral("timed out");
    }
    return {};
}

class ExtractCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "extract",
            .rank = 81,
            .summary = "store each entry's FILE_ID.DIZ as its description (all entries when no position is given)",
            .arguments = { { "AREA", "the area's number" },
                { "[POS...]", "the entries' positions; every entry when none is given" } },
        };
    }
    int run(ToolContext& c, const Arguments& a) override
    {
        const auto area = ToolContext::areaNumber(a.positionals[0]);
        if (!area)
            return c.usage(QStringLiteral("extract wants an area number"));
        LoadOutcome loaded;
        if (!c.load(*area, loaded))
            return 1;
        std::vector<DescriptionExtraction::Row> rows;
        auto rowAt = [&](size_t i) {
            return DescriptionExtraction::Row { i, c.text(loaded.rows[i].name), loaded.rows[i].comment,
                loaded.rows[i].record };
        };
        if (a.positionals.size() == 1)
            for (size_t i = 0; i < loaded.rows.size(); ++i)
                rows.push_back(rowAt(i));
        for (const QString& text : a.positionals.mid(1)) {
            bool ok = false;
            const qulonglong p = text.toULongLong(&ok);
            if (!ok || p == 0 || p > loaded.rows.size())
                return c.usage(QStringLiteral("no entry %1 in area %2").arg(text).arg(*area));
            rows.push_back(rowAt(size_t(p - 1)));
        }
        // Each extraction gets a directory of its own inside this private one.
        QTemporaryDir temp(QDir::temp().filePath(QStringLiteral("qvtool-XXXXXX")));
        if (!temp.isValid()) {
            c.fail(QStringLiteral("cannot create a temporary directory in ") + QDir::tempPath());
            return 1;
        }
        DescriptionExtractor extractor(c.settings(), temp.path());
        extractor.setBlocking(true);
        TerminalProgress progress(c, QStringLiteral("extracting"), rows.size());
        const auto result = DescriptionExtraction::run(
            c.board(), *area, rows, extractor, [&](uint64_t, const std::string&) { progress.step(); });
        progress.finish();
        QJsonArray out;
        QString text;
        for (const auto& r : result.rows) {
            out.append(QJsonObject { { QStringLiteral("position"), qint64(r.position + 1) },
                { QStringLiteral("row_text"), r.rowText }, { QStringLiteral("result"), outcomeText(r) },
                { QStringLiteral("bytes"), qint64(r.bytes) } });
            text += QStringLiteral("%1 %2: %3\n").arg(r.position + 1).arg(r.rowText, outcomeText(r));
        }
        if (c.json())
            c.printJson(out);
        else
            c.out(text);
        if (result.error) {
            c.fail(result.error->code == kRowsChanged
                    ? messages::rowsChanged(*area, false)
                    : QStringLiteral("no description was stored: ") + QString::fromStdString(result.error->message));
            return 1;
        }
        return 0;
    }
};
QV_COMMAND(ExtractCommand);

} // namespace
} // namespace qv
