#include "tools/FileList.h"

#include "board/Board.h"
#include "storage/AreaFiles.h"
#include "storage/Encoding.h"
#include "storage/Text.h"
#include "tools/DescriptionTexts.h"
#include "tools/FilesBbsExport.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>

namespace qv {

namespace {
constexpr size_t kRecordsPerRead = 4096;
constexpr size_t kOutputChunk = size_t(1) << 20;
const std::string kRule(79, '=');

// Text as UTF-8 with the five markup characters escaped; control characters other than tab and
// line feed are dropped (a page may not hold them), CR LF and CR become one line feed.
void appendHtml(std::string& out, const QString& text)
{
    const char16_t* s = reinterpret_cast<const char16_t*>(text.utf16());
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        char32_t c = s[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < n && s[i + 1] >= 0xDC00 && s[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (s[++i] - 0xDC00);
        switch (c) {
        case '<':
            out += "&lt;";
            continue;
        case '>':
            out += "&gt;";
            continue;
        case '&':
            out += "&amp;";
            continue;
        case '"':
            out += "&quot;";
            continue;
        case '\'':
            out += "&#39;";
            continue;
        case '\r':
            if (i + 1 < n && s[i + 1] == '\n')
                continue;
            out += '\n';
            continue;
        default:
            break;
        }
        if ((c < 0x20 && c != '\t' && c != '\n') || c == 0x7F || (c >= 0xD800 && c < 0xE000) || c == 0xFFFE
            || c == 0xFFFF)
            continue;
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
}

std::string dateText(int32_t packed)
{
    char date[16] = "Invalid";
    if (const auto d = enc::decodeDate(packed))
        std::snprintf(date, sizeof date, "%02d/%02d/%02d", d->month % 100, d->day % 100, d->year % 100);
    return date;
}

std::string countsText(uint64_t files, uint64_t bytes)
{
    return std::to_string(files) + (files == 1 ? " file, " : " files, ") + std::to_string(bytes) + " bytes";
}

// One area's files, opened for the two passes of the list.
struct AreaPass {
    std::optional<ScopedHandle> header;
    std::optional<ScopedHandle> text;
    uint64_t count = 0;
};
} // namespace

FileList::FileList(const Board& board)
    : m_board(board)
{
}

FileList::Outcome FileList::write(const Options& options, const std::function<bool(std::string_view)>& out,
    const std::function<void(int)>& started) const
{
    Outcome outcome;
    FileIo& io = m_board.io();
    const std::string& base = m_board.store().fileBaseDir();
    const CodePage& page = m_board.codePage();
    std::optional<int32_t> since;
    if (options.days) {
        const QDate d = options.today.addDays(-*options.days);
        since = enc::encodeDate({ d.year(), d.month(), d.day() });
    }
    // Packed dates compare as their unsigned values, day field 0 (no date) never listed as new.
    auto nameOf = [](const uint8_t* rec) {
        const uint8_t* field = rec + HeaderRecord::kNameOffset;
        return text::trim(std::string_view(
            reinterpret_cast<const char*>(field) + 1, std::min<size_t>(field[0], HeaderRecord::kNameWidth)));
    };
    auto listedNow = [&](const uint8_t* rec) {
        if (rec[HeaderRecord::kAttributesOffset] & FilesBbsExport::kHiddenAttributes)
            return false;
        if (!since)
            return true;
        const int32_t uploaded = enc::getLong(rec + HeaderRecord::kUploadDateOffset);
        return enc::decodeDate(uploaded) && !nameOf(rec).empty() && uint32_t(uploaded) >= uint32_t(*since);
    };
    auto fail = [&](QString problem) {
        outcome.ok = false;
        outcome.problem = std::move(problem);
        return outcome;
    };

    std::string pending;
    auto flush = [&](bool always) {
        if (pending.empty() || (!always && pending.size() < kOutputChunk))
            return true;
        const bool ok = out(pending);
        pending.clear();
        return ok;
    };
    const bool html = options.html;
    if (html) {
        pending += "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\"/>\n<title>";
        pending += options.days ? "New files" : "All files";
        pending += "</title>\n</head>\n<body>\n";
        if (!options.banner.isEmpty()) {
            pending += "<pre class=\"banner\">";
            appendHtml(pending, page.decode(std::string_view(options.banner.constData(), options.banner.size())));
            pending += "</pre>\n";
        }
    } else {
        pending.append(options.banner.constData(), size_t(options.banner.size()));
    }

    // Pass one: what each area lists, for its heading and the table of contents.
    struct Section {
        int area;
        uint64_t files = 0, bytes = 0;
    };
    std::vector<Section> sections;
    std::vector<uint8_t> records(kRecordsPerRead * HeaderRecord::kSize);
    auto eachRecord = [&](ScopedHandle& header, uint64_t count, const std::function<bool(const uint8_t*)>& f) {
        for (uint64_t first = 0; first < count; first += kRecordsPerRead) {
            const uint64_t n = std::min<uint64_t>(kRecordsPerRead, count - first);
            auto got = io.readAt(header.get(), first * HeaderRecord::kSize, records.data(), n * HeaderRecord::kSize);
            if (!got)
                return false;
            const uint64_t have = *got / HeaderRecord::kSize;
            for (uint64_t i = 0; i < have; ++i)
                if (!f(records.data() + i * HeaderRecord::kSize))
                    return false;
            if (have < n)
                break;
        }
        return true;
    };
    auto open = [&](int area, AreaPass& pass) {
        auto h = io.open(areaFilePath(io, base, area, AreaFileKind::Header), FileIo::Mode::Read);
        if (!h)
            return h.error().code == ENOENT;
        pass.header.emplace(io, *h);
        auto t = io.open(areaFilePath(io, base, area, AreaFileKind::Description), FileIo::Mode::Read);
        if (t)
            pass.text.emplace(io, *t);
        else if (t.error().code != ENOENT)
            return false;
        auto length = io.size(pass.header->get());
        if (!length)
            return false;
        pass.count = recordCount(*length, AreaFileKind::Header);
        return true;
    };
    for (int area : options.areas) {
        AreaPass pass;
        if (!open(area, pass))
            return fail(QStringLiteral("could not read area %1").arg(area));
        Section s { area };
        bool any = false;
        if (pass.header && !eachRecord(*pass.header, pass.count, [&](const uint8_t* rec) {
                if (!listedNow(rec))
                    return true;
                any = true;
                if (!nameOf(rec).empty()) {
                    ++s.files;
                    s.bytes += uint32_t(enc::getLong(rec + HeaderRecord::kSizeOffset));
                }
                return true;
            }))
            return fail(QStringLiteral("could not read area %1").arg(area));
        // A new-files list leaves out the areas without new files.
        if (options.days && !any)
            continue;
        sections.push_back(s);
    }

    auto areaName = [&](int area) {
        const AreaInfo* info = m_board.config().area(area);
        return info ? std::string(text::trim(info->name)) : std::string();
    };
    auto heading = [&](const Section& s) {
        const std::string name = areaName(s.area);
        if (html) {
            pending += "<li><a href=\"#area" + std::to_string(s.area) + "\">" + std::to_string(s.area) + ": ";
            appendHtml(pending, page.decode(name));
            pending += "</a> (" + countsText(s.files, s.bytes) + ")</li>\n";
        } else {
            pending += "\r\n" + kRule + "\r\n Area " + std::to_string(s.area) + ": " + name + "\r\n "
                + countsText(s.files, s.bytes) + "\r\n" + kRule + "\r\n";
        }
    };
    if (html) {
        pending += "<h1>";
        pending += options.days ? "New files" : "All files";
        pending += "</h1>\n<ul class=\"contents\">\n";
        for (const Section& s : sections)
            heading(s);
        pending += "</ul>\n";
    }

    // Pass two: the entries.
    const ExportOptions lines { .counters = true, .shortDescriptions = false, .comments = !options.days };
    for (const Section& s : sections) {
        if (started)
            started(s.area);
        AreaPass pass;
        if (!open(s.area, pass))
            return fail(QStringLiteral("could not read area %1").arg(s.area));
        if (html) {
            const std::string name = areaName(s.area);
            pending += "<section id=\"area" + std::to_string(s.area) + "\">\n<h2>" + std::to_string(s.area) + ": ";
            appendHtml(pending, page.decode(name));
            pending += "</h2>\n<p>" + countsText(s.files, s.bytes)
                + "</p>\n<table>\n<tr><th>Name</th><th>Size</th><th>Date</th><th>Downloads</th>"
                  "<th>Description</th></tr>\n";
        } else {
            heading(s);
        }
        if (pass.header) {
            DescriptionTexts texts(io, pass.text);
            const bool ok = eachRecord(*pass.header, pass.count, [&](const uint8_t* rec) {
                if (!listedNow(rec))
                    return true;
                std::string_view description;
                if (!texts.read(enc::getLong(rec + HeaderRecord::kDescriptionPointerOffset), description))
                    return false;
                if (!html) {
                    FilesBbsExport::appendEntryLines(pending, rec, description, lines);
                    return flush(false);
                }
                const auto h
                    = HeaderRecord::decode(std::span<const uint8_t, HeaderRecord::kSize>(rec, HeaderRecord::kSize));
                while (!description.empty() && (description.back() == '\r' || description.back() == '\n'))
                    description.remove_suffix(1);
                const std::string name(text::trim(h.name()));
                if (name.empty()) {
                    if (!lines.comments)
                        return true;
                    pending += "<tr class=\"comment\"><td colspan=\"5\"><pre>";
                } else {
                    pending += "<tr><td>";
                    appendHtml(pending, page.decode(name));
                    pending += "</td><td>" + std::to_string(uint32_t(h.size())) + "</td><td>" + dateText(h.fileDate())
                        + "</td><td>" + std::to_string(h.downloads()) + "</td><td><pre>";
                }
                appendHtml(pending, page.decode(description));
                pending += "</pre></td></tr>\n";
                return flush(false);
            });
            if (!ok)
                return fail(QStringLiteral("could not read area %1").arg(s.area));
        }
        if (html)
            pending += "</table>\n</section>\n";
        outcome.totals.files += s.files;
        outcome.totals.bytes += s.bytes;
        ++outcome.totals.areas;
    }

    const std::string total = "Total: " + countsText(outcome.totals.files, outcome.totals.bytes) + " in "
        + std::to_string(outcome.totals.areas) + (outcome.totals.areas == 1 ? " area" : " areas");
    if (html) {
        pending += "<p class=\"totals\">" + total + "</p>\n";
        if (!options.footer.isEmpty()) {
            pending += "<pre class=\"footer\">";
            appendHtml(pending, page.decode(std::string_view(options.footer.constData(), options.footer.size())));
            pending += "</pre>\n";
        }
        pending += "</body>\n</html>\n";
    } else {
        pending += "\r\n" + kRule + "\r\n " + total + "\r\n" + kRule + "\r\n";
        pending.append(options.footer.constData(), size_t(options.footer.size()));
    }
    if (!flush(true))
        return fail(QStringLiteral("could not write the list"));
    return outcome;
}

FileList::Outcome FileList::writeFile(
    const QString& path, const Options& options, const std::function<void(int)>& started) const
{
    FileIo& io = m_board.io();
    const std::string target = QFile::encodeName(path).toStdString();
    const std::string temporary = target + ".q$$";
    auto opened = io.open(temporary, FileIo::Mode::CreateTruncate);
    if (!opened) {
        Outcome o;
        o.ok = false;
        o.problem = QStringLiteral("could not create %1: %2")
                        .arg(QString::fromStdString(temporary), QString::fromStdString(opened.error().message));
        return o;
    }
    Outcome outcome;
    bool ok;
    {
        ScopedHandle file(io, *opened);
        uint64_t offset = 0;
        outcome = write(
            options,
            [&](std::string_view bytes) {
                if (!io.writeAt(file.get(), offset, bytes.data(), bytes.size()))
                    return false;
                offset += bytes.size();
                return true;
            },
            started);
        ok = outcome.ok && io.sync(file.get()).ok();
        ok = file.close().ok() && ok;
    }
    // The list keeps the mode the old one had (a web server's group may read it).
    if (ok && QFileInfo::exists(path))
        ok = QFile::setPermissions(QFile::decodeName(QByteArray::fromStdString(temporary)), QFile::permissions(path));
    ok = ok && io.rename(temporary, target).ok();
    if (!ok) {
        (void)io.remove(temporary);
        outcome.ok = false;
        if (outcome.problem.isEmpty())
            outcome.problem = QStringLiteral("could not write %1").arg(path);
        return outcome;
    }
    (void)io.syncDirectory(directoryOf(target));
    return outcome;
}

} // namespace qv
