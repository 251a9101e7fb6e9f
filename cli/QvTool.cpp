#include "cli/QvTool.h"

#include "cli/TextTable.h"
#include "demo/DemoBoard.h"
#include "storage/AreaCheck.h"
#include "storage/AreaFiles.h"
#include "storage/AreaStore.h"
#include "storage/Description.h"
#include "storage/HeaderRecord.h"
#include "storage/IndexRecord.h"
#include "storage/StatusTexts.h"
#include "storage/Text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QStringDecoder>

#include <cstdio>
#include <set>

namespace qv {

namespace {
constexpr uint64_t kAreaFileLimit = uint64_t(1) << 31;

QString number(long long n)
{
    return QString::number(n);
}

// The attribute bits as letters in bit order (D U F N L M T), "-" for a clear bit, and 8 for the
// unnamed top bit.
QString attributeLetters(uint8_t attributes)
{
    static const char kLetters[] = "DUFNLMT8";
    QString s;
    for (int bit = 0; bit < 8; ++bit)
        if (bit < 7 || (attributes & 0x80))
            s += (attributes >> bit & 1) ? QLatin1Char(kLetters[bit]) : QLatin1Char('-');
    return s;
}

// Problem lines mix host paths (UTF-8) with board names (code page bytes).
QString problemText(const std::string& line, const CodePage& page)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(QByteArrayView(line.data(), qsizetype(line.size())));
    return utf8.hasError() ? page.decode(line) : text;
}
}

QvTool::QvTool(ToolOptions options)
    : m_options(std::move(options))
    , m_mapper(m_options.boardDir, m_options.drives)
    , m_codePage(m_options.codePage.isEmpty() ? QByteArray(CodePage::kDefaultName) : m_options.codePage.toLatin1())
{
    if (!m_codePage.isValid())
        fail(QStringLiteral("qvtool: code page %1 is not a single-byte code page; showing CP437")
                 .arg(m_options.codePage));
}

void QvTool::out(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
}

void QvTool::fail(const QString& text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}

void QvTool::printJson(const QJsonValue& value) const
{
    const QJsonDocument doc = value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    out(QString::fromUtf8(doc.toJson(QJsonDocument::Indented)));
}

bool QvTool::readConfiguration()
{
    const std::string board = m_options.boardDir.toStdString();
    m_config = AreaConfiguration::read(systemFileIo(), board);
    if (!m_config.filesRaExists()) {
        fail(QStringLiteral("Unable to read RA configuration files (FILES.RA) in ") + m_options.boardDir);
        return false;
    }
    m_fileBasePath = AreaConfiguration::readFileBasePath(systemFileIo(), board);
    return true;
}

bool QvTool::fileBaseDir(std::string& dir)
{
    const auto mapped = m_mapper.toHost(decode(m_fileBasePath));
    if (!mapped.ok()) {
        // An empty path is what a missing CONFIG.RA gives: the loader's own words fit it.
        fail(m_fileBasePath.empty() ? QStringLiteral("File database path  not found!") : mapped.error);
        return false;
    }
    dir = mapped.hostPath.toStdString();
    return true;
}

bool QvTool::requireArea(int area)
{
    if (m_config.areaExists(area))
        return true;
    fail(QStringLiteral("Area %1 does not exist").arg(area));
    return false;
}

bool QvTool::load(int area, const std::string& fileBaseDir, LoadOutcome& outcome)
{
    outcome = AreaStore(systemFileIo(), fileBaseDir).load(area, true);
    if (!outcome.error)
        return true;
    if (outcome.error->kind == LoadError::Kind::FileBasePathNotFound)
        fail(QStringLiteral("File database path ") + decode(m_fileBasePath) + QStringLiteral(" not found!"));
    else
        fail(QStringLiteral("Unexpected error (%1) in ReadArea, please contact Kestrelwick!").arg(outcome.error->code));
    return false;
}

int QvTool::info()
{
    if (!readConfiguration())
        return 1;
    const auto mapped = m_mapper.toHost(decode(m_fileBasePath));
    QJsonObject o;
    o[QStringLiteral("board_name")] = decode(m_config.boardName());
    o[QStringLiteral("file_base_path")] = decode(m_fileBasePath);
    o[QStringLiteral("file_base_dir")] = mapped.ok() ? QJsonValue(mapped.hostPath) : QJsonValue(QJsonValue::Null);
    o[QStringLiteral("areas")] = int(m_config.areas().size());
    o[QStringLiteral("groups")] = int(m_config.groups().size());
    if (m_options.json) {
        printJson(o);
        return 0;
    }
    TextTable t({ QStringLiteral("Field"), QStringLiteral("Value") });
    t.addRow({ QStringLiteral("Board name"), o[QStringLiteral("board_name")].toString() });
    t.addRow({ QStringLiteral("File base path"), o[QStringLiteral("file_base_path")].toString() });
    t.addRow({ QStringLiteral("File base dir"), mapped.ok() ? mapped.hostPath : mapped.error });
    t.addRow({ QStringLiteral("Areas"), number(o[QStringLiteral("areas")].toInt()) });
    t.addRow({ QStringLiteral("Groups"), number(o[QStringLiteral("groups")].toInt()) });
    out(t.render());
    return 0;
}

int QvTool::groups()
{
    if (!readConfiguration())
        return 1;
    QJsonArray a;
    TextTable t({ QStringLiteral("Number"), QStringLiteral("Name") }, { true, false });
    for (const GroupInfo& g : m_config.groups()) {
        a.append(QJsonObject { { QStringLiteral("number"), g.number }, { QStringLiteral("name"), decode(g.name) } });
        t.addRow({ number(g.number), decode(g.name) });
    }
    m_options.json ? printJson(a) : out(t.render());
    return 0;
}

int QvTool::areas()
{
    if (!readConfiguration())
        return 1;
    QJsonArray a;
    TextTable t({ QStringLiteral("Number"), QStringLiteral("Record"), QStringLiteral("Group"), QStringLiteral("Name"),
                    QStringLiteral("Dir") },
        { true, true, true, false, false });
    // Paths by record rather than by number, so that a duplicate number still shows its own path.
    const auto filesRa = readWholeFile(systemFileIo(),
        resolveCaseInsensitive(systemFileIo(), m_options.boardDir.toStdString() + "/files.ra"), kAreaFileLimit);
    for (const AreaInfo& info : m_config.areas()) {
        std::string stored;
        if (filesRa && filesRa->size() >= size_t(info.record) * AreaConfiguration::kAreaRecordSize)
            stored = enc::getText(filesRa->data() + size_t(info.record - 1) * AreaConfiguration::kAreaRecordSize
                    + AreaConfiguration::kAreaPathOffset,
                AreaConfiguration::kTextWidth);
        const QString path = decode(stored);
        const auto mapped = m_mapper.toHost(path);
        a.append(QJsonObject { { QStringLiteral("number"), info.number }, { QStringLiteral("record"), info.record },
            { QStringLiteral("name"), decode(info.name) }, { QStringLiteral("group"), info.group },
            { QStringLiteral("path"), path },
            { QStringLiteral("dir"), mapped.ok() ? QJsonValue(mapped.hostPath) : QJsonValue(QJsonValue::Null) } });
        t.addRow({ number(info.number), number(info.record), number(info.group), decode(info.name),
            mapped.ok() ? mapped.hostPath : QStringLiteral("-") });
    }
    m_options.json ? printJson(a) : out(t.render());
    return 0;
}

int QvTool::list(int area)
{
    std::string base;
    LoadOutcome loaded;
    if (!readConfiguration() || !requireArea(area) || !fileBaseDir(base) || !load(area, base, loaded))
        return 1;
    FileIo& io = systemFileIo();
    // The loader gives the row texts; the fields it leaves out come from the records themselves.
    auto hdr = readWholeFile(io, areaFilePath(io, base, area, AreaFileKind::Header), kAreaFileLimit);
    if (!hdr) {
        fail(QStringLiteral("Unexpected error (%1) in ReadArea, please contact Kestrelwick!").arg(hdr.error().code));
        return 1;
    }
    std::vector<uint8_t> lfn;
    const std::string lfnPath = areaFilePath(io, base, area, AreaFileKind::LongName);
    if (io.exists(lfnPath)) {
        if (auto bytes = readWholeFile(io, lfnPath, kAreaFileLimit))
            lfn = std::move(*bytes);
    }
    const std::string txtPath = areaFilePath(io, base, area, AreaFileKind::Description);

    QJsonArray entries;
    TextTable t({ QStringLiteral("#"), QStringLiteral("Name"), QStringLiteral("Size"), QStringLiteral("FLDate"),
                    QStringLiteral("ULDate"), QStringLiteral("DLDate"), QStringLiteral("TD"), QStringLiteral("Attr"),
                    QStringLiteral("Uploader") },
        { true, false, true, false, false, false, true, false, false });
    const size_t count = std::min(hdr->size() / HeaderRecord::kSize, loaded.rows.size());
    for (size_t i = 0; i < count; ++i) {
        const auto h = HeaderRecord::decode(
            std::span<const uint8_t, HeaderRecord::kSize>(hdr->data() + i * HeaderRecord::kSize, HeaderRecord::kSize));
        std::string longName;
        if ((i + 1) * LongNameRecord::kSize <= lfn.size())
            longName = LongNameRecord::decode(std::span<const uint8_t, LongNameRecord::kSize>(
                                                  lfn.data() + i * LongNameRecord::kSize, LongNameRecord::kSize))
                           .name();
        const QString rowText = decode(loaded.rows[i].name);
        QJsonArray keywords;
        for (size_t k = 0; k < HeaderRecord::kKeywordCount; ++k)
            keywords.append(decode(h.keyword(k)));
        const QString description = decode(readDescription(io, txtPath, h.descriptionPointer()));
        const QString uploadDate = QString::fromStdString(enc::dateText(h.uploadDate()));
        const QString fileDate = QString::fromStdString(enc::dateText(h.fileDate()));
        const QString lastDownload = QString::fromStdString(enc::dateText(h.lastDownloadDate()));
        entries.append(QJsonObject {
            { QStringLiteral("position"), int(i + 1) },
            { QStringLiteral("name"), decode(h.name()) },
            { QStringLiteral("long_name"), decode(longName) },
            { QStringLiteral("row_text"), rowText },
            { QStringLiteral("comment"), h.isComment() },
            { QStringLiteral("size"), qint64(h.size()) },
            { QStringLiteral("checksum"), qint64(h.checksum()) },
            { QStringLiteral("uploader"), decode(h.uploader()) },
            { QStringLiteral("upload_date"), uploadDate },
            { QStringLiteral("file_date"), fileDate },
            { QStringLiteral("last_download"), lastDownload },
            { QStringLiteral("downloads"), h.downloads() },
            { QStringLiteral("attributes"), int(h.attributes()) },
            { QStringLiteral("password"), decode(h.password()) },
            { QStringLiteral("keywords"), keywords },
            { QStringLiteral("cost"), h.cost() },
            { QStringLiteral("description_pointer"), qint64(h.descriptionPointer()) },
            { QStringLiteral("description"), description },
        });
        // As the file list shows it: a comment line has only its text.
        if (h.isComment()) {
            t.addRow({ number(qint64(i + 1)), rowText });
        } else {
            const QString uploader = decode(h.uploader());
            t.addRow({ number(qint64(i + 1)), rowText, number(uint32_t(h.size())), fileDate, uploadDate, lastDownload,
                number(h.downloads()), attributeLetters(h.attributes()),
                uploader.trimmed().isEmpty() ? QStringLiteral("(Unknown)") : uploader });
        }
        QStringList lines = description.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
        while (!lines.isEmpty() && lines.back().trimmed().isEmpty())
            lines.removeLast();
        for (const QString& line : lines)
            t.addNote(line.trimmed().isEmpty() ? QString() : QStringLiteral("      ") + line);
    }
    if (m_options.json)
        printJson(QJsonObject { { QStringLiteral("area"), area }, { QStringLiteral("entries"), entries } });
    else
        out(t.render());
    return 0;
}

int QvTool::stat(int area)
{
    std::string base;
    LoadOutcome loaded;
    if (!readConfiguration() || !requireArea(area) || !fileBaseDir(base) || !load(area, base, loaded))
        return 1;
    // Summed as the status bar sums them: every row, sizes as unsigned 32-bit values.
    uint64_t total = 0;
    for (const LoadedRow& r : loaded.rows)
        total += uint64_t(uint32_t(r.size));
    const QString objects = QString::fromStdString(objectCountText(loaded.rows.size()));
    const QString megabytes = QString::fromStdString(megabyteText(total)) + QStringLiteral(" MB");
    if (m_options.json) {
        printJson(QJsonObject { { QStringLiteral("area"), area },
            { QStringLiteral("rows"), qint64(loaded.rows.size()) }, { QStringLiteral("total_bytes"), qint64(total) },
            { QStringLiteral("objects_text"), objects }, { QStringLiteral("size_text"), megabytes } });
    } else {
        out(objects + QLatin1Char('\n') + megabytes + QLatin1Char('\n'));
    }
    return 0;
}

int QvTool::check(std::optional<int> area)
{
    std::string base;
    if (!readConfiguration() || (area && !requireArea(*area)) || !fileBaseDir(base))
        return 1;
    std::set<int> numbers;
    if (area)
        numbers.insert(*area);
    else
        for (const AreaInfo& a : m_config.areas())
            numbers.insert(a.number);
    QJsonArray problems;
    QString text;
    for (int n : numbers) {
        for (const std::string& p : AreaCheck::run(systemFileIo(), base, n)) {
            problems.append(QJsonObject {
                { QStringLiteral("area"), n }, { QStringLiteral("problem"), problemText(p, m_codePage) } });
            text += QStringLiteral("Area %1: ").arg(n) + problemText(p, m_codePage) + QLatin1Char('\n');
        }
    }
    if (m_options.json)
        printJson(QJsonObject {
            { QStringLiteral("areas_checked"), int(numbers.size()) }, { QStringLiteral("problems"), problems } });
    else if (problems.isEmpty())
        out(QStringLiteral("OK: %1 area(s) checked, no problems\n").arg(numbers.size()));
    else
        out(text);
    return problems.isEmpty() ? 0 : 1;
}

int QvTool::makeDemo(const QString& dir)
{
    std::string error;
    if (!writeDemoBoard(dir.toStdString(), error)) {
        fail(QStringLiteral("Cannot write the demo board: ") + QString::fromStdString(error));
        return 1;
    }
    out(QStringLiteral("Demo board written to %1 (board directory %1/RA)\n").arg(dir));
    return 0;
}

} // namespace qv
