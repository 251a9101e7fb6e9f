#include "cli/EntryJson.h"

#include "board/Board.h"
#include "storage/HeaderRecord.h"

#include <QJsonArray>

namespace qv {

QJsonObject entryJson(const Board& board, uint64_t position, const HeaderRecord& h, const std::string& longName,
    std::string_view rowText, const std::string& description)
{
    QJsonArray keywords;
    for (size_t k = 0; k < HeaderRecord::kKeywordCount; ++k)
        keywords.append(board.text(h.keyword(k)));
    return QJsonObject {
        { QStringLiteral("position"), qint64(position + 1) },
        { QStringLiteral("name"), board.text(h.name()) },
        { QStringLiteral("long_name"), board.text(longName) },
        { QStringLiteral("row_text"), board.text(rowText) },
        { QStringLiteral("comment"), h.isComment() },
        { QStringLiteral("size"), qint64(h.size()) },
        { QStringLiteral("checksum"), qint64(h.checksum()) },
        { QStringLiteral("uploader"), board.text(h.uploader()) },
        { QStringLiteral("upload_date"), QString::fromStdString(enc::dateText(h.uploadDate())) },
        { QStringLiteral("file_date"), QString::fromStdString(enc::dateText(h.fileDate())) },
        { QStringLiteral("last_download"), QString::fromStdString(enc::dateText(h.lastDownloadDate())) },
        { QStringLiteral("downloads"), h.downloads() },
        { QStringLiteral("attributes"), int(h.attributes()) },
        { QStringLiteral("password"), board.text(h.password()) },
        { QStringLiteral("keywords"), keywords },
        { QStringLiteral("cost"), h.cost() },
        { QStringLiteral("description_pointer"), qint64(h.descriptionPointer()) },
        { QStringLiteral("description"), board.text(description) },
    };
}

QString attributeLetters(uint8_t attributes)
{
    static const char kLetters[] = "DUFNLMT8";
    QString s;
    for (int bit = 0; bit < 8; ++bit)
        if (bit < 7 || (attributes & 0x80))
            s += (attributes >> bit & 1) ? QLatin1Char(kLetters[bit]) : QLatin1Char('-');
    return s;
}

} // namespace qv
