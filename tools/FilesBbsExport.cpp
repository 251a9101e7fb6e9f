#include "tools/FilesBbsExport.h"

#include "board/Board.h"
#include "storage/AreaFiles.h"
#include "storage/Text.h"
#include "tools/DescriptionTexts.h"

#include <algorithm>
#include <charconv>
#include <cerrno>
#include <optional>

namespace qv {

namespace {
constexpr size_t kRecordsPerRead = 4096;
constexpr size_t kOutputChunk = size_t(1) << 20;
constexpr size_t kNameColumn = 13;
constexpr size_t kSizeColumn = 8;
constexpr size_t kDateColumn = 9;

bool isBreak(char c)
{
    return c == '\r' || c == '\n';
}

void padRight(std::string& out, std::string_view s, size_t width)
{
    out += s;
    if (s.size() < width)
        out.append(width - s.size(), ' ');
}

// The description with every line break (CR LF, LF or CR) written as CR LF, then `spaces`
// blanks and mark. The text between breaks goes in whole: a list of 100,000 entries is tens of
// megabytes of it.
void appendWithBreaks(std::string& out, std::string_view text, size_t spaces, std::string_view mark)
{
    for (size_t i = 0;;) {
        const size_t at = size_t(std::find_if(text.begin() + std::ptrdiff_t(i), text.end(), isBreak) - text.begin());
        out.append(text.data() + i, at - i);
        if (at == text.size())
            return;
        i = at + 1;
        if (text[at] == '\r' && i < text.size() && text[i] == '\n')
            ++i;
        out += "\r\n";
        out.append(spaces, ' ');
        out += mark;
    }
}

} // namespace

FilesBbsExport::FilesBbsExport(const Board& board)
    : m_board(board)
{
}

std::string FilesBbsExport::entryLines(
    const HeaderRecord& header, std::string_view description, const ExportOptions& options)
{
    std::string out;
    appendEntryLines(out, header.encode().data(), description, options);
    return out;
}

void FilesBbsExport::appendEntryLines(
    std::string& out, const uint8_t* record, std::string_view description, const ExportOptions& options)
{
    if (record[HeaderRecord::kAttributesOffset] & kHiddenAttributes)
        return;
    std::string_view text = description;
    if (options.shortDescriptions) {
        const auto cut = std::find_if(text.begin(), text.end(), isBreak);
        text = text.substr(0, size_t(cut - text.begin()));
    } else {
        while (!text.empty() && isBreak(text.back()))
            text.remove_suffix(1);
    }

    const uint8_t* nameField = record + HeaderRecord::kNameOffset;
    const std::string_view name = text::trim(std::string_view(
        reinterpret_cast<const char*>(nameField) + 1, std::min<size_t>(nameField[0], HeaderRecord::kNameWidth)));
    if (name.empty()) {
        if (!options.comments)
            return;
        appendWithBreaks(out, text, 0, {});
        out += "\r\n";
        return;
    }
    const size_t lineStart = out.size();
    padRight(out, name, kNameColumn);
    // A size or count too wide for its column is written whole; the line then shifts.
    char number[16];
    const auto sized
        = std::to_chars(number, number + sizeof number, uint32_t(enc::getLong(record + HeaderRecord::kSizeOffset)));
    const size_t digits = size_t(sized.ptr - number);
    if (digits < kSizeColumn)
        out.append(kSizeColumn - digits, ' ');
    out.append(number, digits);
    out += ' ';
    if (const auto d = enc::decodeDate(enc::getLong(record + HeaderRecord::kFileDateOffset))) {
        const int parts[3] = { d->month % 100, d->day % 100, d->year % 100 };
        char date[8] = { char('0' + parts[0] / 10), char('0' + parts[0] % 10), '/', char('0' + parts[1] / 10),
            char('0' + parts[1] % 10), '/', char('0' + parts[2] / 10), char('0' + parts[2] % 10) };
        padRight(out, std::string_view(date, sizeof date), kDateColumn);
    } else {
        padRight(out, "Invalid", kDateColumn);
    }
    if (options.counters) {
        char count[8];
        const auto counted
            = std::to_chars(count, count + sizeof count, unsigned(enc::getWord(record + HeaderRecord::kDownloadsOffset)));
        const size_t width = size_t(counted.ptr - count);
        if (width < 4)
            out.append(4 - width, '0');
        out.append(count, width);
        out += ' ';
    }
    out += ' ';
    // Continuation lines start under the description, marked "| ".
    appendWithBreaks(out, text, out.size() - lineStart - 1, "| ");
    out += "\r\n";
}

bool FilesBbsExport::writeList(int area, const ExportOptions& options, const std::function<bool(std::string_view)>& out,
    const std::function<void(uint64_t)>& started) const
{
    FileIo& io = m_board.io();
    const std::string& base = m_board.store().fileBaseDir();
    // A missing file is an empty area or an area without descriptions; any other failure to
    // open one would write a wrong list.
    auto openIfThere = [&](AreaFileKind kind, std::optional<ScopedHandle>& slot) {
        auto h = io.open(areaFilePath(io, base, area, kind), FileIo::Mode::Read);
        if (h)
            slot.emplace(io, *h);
        return h.ok() || h.error().code == ENOENT;
    };
    std::optional<ScopedHandle> header;
    std::optional<ScopedHandle> text;
    if (!openIfThere(AreaFileKind::Header, header) || (header && !openIfThere(AreaFileKind::Description, text)))
        return false;
    uint64_t count = 0;
    if (header) {
        auto length = io.size(header->get());
        if (!length)
            return false;
        count = recordCount(*length, AreaFileKind::Header);
    }
    if (started)
        started(count);

    DescriptionTexts descriptions(io, text);
    std::vector<uint8_t> records(kRecordsPerRead * HeaderRecord::kSize);
    std::string pending;
    pending.reserve(kOutputChunk + 4096);
    for (uint64_t first = 0; first < count; first += kRecordsPerRead) {
        const uint64_t n = std::min<uint64_t>(kRecordsPerRead, count - first);
        auto got = io.readAt(header->get(), first * HeaderRecord::kSize, records.data(), n * HeaderRecord::kSize);
        if (!got)
            return false;
        const uint64_t have = *got / HeaderRecord::kSize;
        for (uint64_t i = 0; i < have; ++i) {
            const uint8_t* rec = records.data() + i * HeaderRecord::kSize;
            if (constexpr uint64_t kAhead = 8; i + kAhead < have)
                descriptions.prefetch(enc::getLong(
                    records.data() + (i + kAhead) * HeaderRecord::kSize + HeaderRecord::kDescriptionPointerOffset));
            if (rec[HeaderRecord::kAttributesOffset] & kHiddenAttributes)
                continue;
            std::string_view description;
            if (!descriptions.read(enc::getLong(rec + HeaderRecord::kDescriptionPointerOffset), description))
                return false;
            appendEntryLines(pending, rec, description, options);
            if (pending.size() >= kOutputChunk) {
                if (!out(pending))
                    return false;
                pending.clear();
            }
        }
        if (have < n)
            break;
    }
    return pending.empty() || out(pending);
}

FilesBbsExport::AreaResult FilesBbsExport::exportArea(
    int area, const ExportOptions& options, const std::function<void(uint64_t)>& started) const
{
    const Board::AreaDirectory dir = m_board.areaDirectory(area);
    AreaResult result;
    result.listPath = dir.stored + QStringLiteral("\\Files.bbs");
    auto failed = [&result] {
        result.ok = false;
        return result;
    };
    // Without the file base every list would come out empty: keep the old ones.
    if (!dir.ok() || m_board.fileBaseDirectory().isEmpty())
        return failed();
    FileIo& io = m_board.io();
    const std::string hostDir = dir.host.toStdString();
    // A list the board already keeps as FILES.BBS is replaced under that name.
    const std::string target = resolveCaseInsensitive(io, hostDir + "/files.bbs");
    result.hostPath = QString::fromStdString(target);
    const std::string temporary = resolveCaseInsensitive(io, hostDir) + "/" + kTemporaryName;

    auto opened = io.open(temporary, FileIo::Mode::CreateTruncate);
    if (!opened)
        return failed();
    bool ok;
    {
        ScopedHandle file(io, *opened);
        // The new list keeps the old one's permissions and, where we may, its owner and group.
        ok = !io.exists(target) || io.takeModeAndOwner(file.get(), target).ok();
        uint64_t offset = 0;
        ok = ok
            && writeList(
                area, options,
                [&](std::string_view bytes) {
                    if (!io.writeAt(file.get(), offset, bytes.data(), bytes.size()))
                        return false;
                    offset += bytes.size();
                    return true;
                },
                started);
        ok = ok && io.sync(file.get()).ok();
        ok = file.close().ok() && ok;
    }
    ok = ok && io.rename(temporary, target).ok();
    if (!ok) {
        (void)io.remove(temporary);
        return failed();
    }
    (void)io.syncDirectory(directoryOf(target));
    return result;
}

} // namespace qv
