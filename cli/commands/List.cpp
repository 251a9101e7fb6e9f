#include "board/Messages.h"
#include "cli/Command.h"
#include "cli/EntryJson.h"
#include "cli/TextTable.h"
#include "cli/ToolContext.h"
#include "storage/AreaFiles.h"
#include "storage/Description.h"
#include "storage/HeaderRecord.h"
#include "storage/IndexRecord.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

namespace qv {
namespace {

constexpr uint64_t kAreaFileLimit = uint64_t(1) << 31;

class ListCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "list",
            .rank = 40,
            .summary = "every entry of an area",
            .arguments = { { "AREA", "the area's number" } },
        };
    }
    int run(ToolContext& c, const Arguments& a) override
    {
        const auto area = ToolContext::areaNumber(a.positionals[0]);
        if (!area)
            return c.usage(QStringLiteral("list wants one area number"));
        LoadOutcome loaded;
        if (!c.load(*area, loaded))
            return 1;
        const Board& b = c.board();
        FileIo& io = b.io();
        const std::string base = b.store().fileBaseDir();
        // The loader gives the row texts; the fields it leaves out come from the records themselves.
        auto hdr = readWholeFile(io, areaFilePath(io, base, *area, AreaFileKind::Header), kAreaFileLimit);
        if (!hdr) {
            c.fail(messages::loadFailed(LoadError { LoadError::Kind::Unexpected, hdr.error().code, {} }, {}).text);
            return 1;
        }
        std::vector<uint8_t> lfn;
        const std::string lfnPath = areaFilePath(io, base, *area, AreaFileKind::LongName);
        if (io.exists(lfnPath))
            if (auto bytes = readWholeFile(io, lfnPath, kAreaFileLimit))
                lfn = std::move(*bytes);
        const std::string txtPath = areaFilePath(io, base, *area, AreaFileKind::Description);

        QJsonArray entries;
        TextTable t({ QStringLiteral("#"), QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("FLDate"),
                        QStringLiteral("ULDate"), QStringLiteral("DLDate"), QStringLiteral("TD"),
                        QStringLiteral("Attr"), QStringLiteral("Uploader") },
            { true, false, true, false, false, false, true, false, false });
        const size_t count = std::min(hdr->size() / HeaderRecord::kSize, loaded.rows.size());
        for (size_t i = 0; i < count; ++i) {
            const auto h = HeaderRecord::decode(std::span<const uint8_t, HeaderRecord::kSize>(
                hdr->data() + i * HeaderRecord::kSize, HeaderRecord::kSize));
            std::string longName;
            if ((i + 1) * LongNameRecord::kSize <= lfn.size())
                longName = LongNameRecord::decode(std::span<const uint8_t, LongNameRecord::kSize>(
                                                      lfn.data() + i * LongNameRecord::kSize, LongNameRecord::kSize))
                               .name();
            const std::string description = readDescription(io, txtPath, h.descriptionPointer());
            const QJsonObject entry = entryJson(b, i, h, longName, loaded.rows[i].name, description);
            entries.append(entry);
            const QString rowText = entry[QStringLiteral("row_text")].toString();
            // As the file list shows it: a comment line has only its text.
            if (h.isComment())
                t.addRow({ QString::number(i + 1), rowText });
            else
                t.addRow({ QString::number(i + 1), rowText, QString::number(uint32_t(h.size())),
                    entry[QStringLiteral("file_date")].toString(), entry[QStringLiteral("upload_date")].toString(),
                    entry[QStringLiteral("last_download")].toString(), QString::number(h.downloads()),
                    attributeLetters(h.attributes()), messages::uploaderText(h.uploader(), b.codePage()) });
            QStringList lines = b.text(description).split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
            while (!lines.isEmpty() && lines.back().trimmed().isEmpty())
                lines.removeLast();
            for (const QString& line : lines)
                t.addNote(line.trimmed().isEmpty() ? QString() : QStringLiteral("      ") + line);
        }
        if (c.json())
            c.printJson(QJsonObject { { QStringLiteral("area"), *area }, { QStringLiteral("entries"), entries } });
        else
            c.out(t.render());
        return 0;
    }
};
QV_COMMAND(ListCommand);

} // namespace
} // namespace qv
