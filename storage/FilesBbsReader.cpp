#include "storage/FilesBbsReader.h"

#include "storage/Encoding.h"

#include <algorithm>
#include <cstring>

namespace qv {

namespace {
using Item = FilesBbsReader::Item;

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}
bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
bool isLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
// Letters, digits and the code page's upper half: what makes a word a name rather than a rule.
// B0..DF are the box and block characters of the DOS code pages, which frame headings.
bool isNameCore(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return isLetter(c) || isDigit(c) || (u >= 0x80 && !(u >= 0xB0 && u <= 0xDF));
}
bool isControl(char c)
{
    return static_cast<unsigned char>(c) < 0x20 || c == 0x7F;
}
// Characters a DOS file name may start with; a path start is here too, so it is refused, not
// taken for a comment.
bool startsName(char c)
{
    return isNameCore(c) || std::strchr("!#$%&'()-@^_`{}~./\\", c) != nullptr;
}

std::string_view skipBlanks(std::string_view s)
{
    while (!s.empty() && isBlank(s.front()))
        s.remove_prefix(1);
    return s;
}

bool allDigits(std::string_view s)
{
    return !s.empty() && std::all_of(s.begin(), s.end(), isDigit);
}

int number(std::string_view s)
{
    int v = 0;
    for (char c : s)
        v = std::min(v * 10 + (c - '0'), 1 << 30);
    return v;
}

// mm/dd/yy, mm-dd-yy (also with four-digit years) and dd.mm.yy; two-digit years before 80 are
// in this century.
std::optional<int32_t> parseDate(std::string_view t)
{
    if (t.size() != 8 && t.size() != 10)
        return std::nullopt;
    const char sep = t[2];
    if ((sep != '/' && sep != '-' && sep != '.') || t[5] != sep)
        return std::nullopt;
    const std::string_view a = t.substr(0, 2), b = t.substr(3, 2), y = t.substr(6);
    if (!allDigits(a) || !allDigits(b) || !allDigits(y))
        return std::nullopt;
    int month = number(a), day = number(b), year = number(y);
    if (sep == '.')
        std::swap(month, day);
    if (y.size() == 2)
        year += year < 80 ? 2000 : 1900;
    if (month < 1 || month > 12 || day < 1 || day > 31)
        return std::nullopt;
    return enc::encodeDate({ year, month, day });
}

// "[12]" or "[ 12]": a download counter of other boards' lists.
std::optional<int> parseCounter(std::string_view t)
{
    if (t.size() < 3 || t.front() != '[' || t.back() != ']')
        return std::nullopt;
    const std::string_view inner = skipBlanks(t.substr(1, t.size() - 2));
    if (!allDigits(inner))
        return std::nullopt;
    return number(inner);
}

std::string_view firstWord(std::string_view s)
{
    const auto end = std::find_if(s.begin(), s.end(), isBlank);
    return s.substr(0, size_t(end - s.begin()));
}

// A word, or a bracketed column that may hold blanks ("[ 4]").
std::string_view column(std::string_view s)
{
    if (!s.empty() && s.front() == '[')
        if (const size_t close = s.find(']'); close != std::string_view::npos)
            return s.substr(0, close + 1);
    return firstWord(s);
}

// The columns the export writes: name padded to 13, size right-aligned in 8 (or wider), a blank,
// the date padded to 9, optionally the count and a blank, a blank, then the description exactly.
bool readExportColumns(std::string_view line, std::string_view name, Item& item)
{
    constexpr size_t kName = 13, kSize = 8, kDate = 9;
    if (name.size() >= kName || line.size() < kName + kSize + 1 + kDate)
        return false;
    if (!std::all_of(line.begin() + long(name.size()), line.begin() + long(kName), isBlank))
        return false;
    size_t end = kName + kSize;
    size_t first = kName;
    while (first < end && line[first] == ' ')
        ++first;
    if (first == end) // no size
        return false;
    while (end < line.size() && isDigit(line[end]))
        ++end;
    if (!allDigits(line.substr(first, end - first)) || end >= line.size() || line[end] != ' ')
        return false;
    const size_t dateAt = end + 1;
    if (line.size() < dateAt + kDate)
        return false;
    const std::string_view dateField = line.substr(dateAt, kDate);
    const std::string_view dateText = firstWord(dateField);
    if (!std::all_of(dateField.begin() + long(dateText.size()), dateField.end(), isBlank))
        return false;
    std::optional<int32_t> date;
    if (dateText == "Invalid")
        date = 0;
    else if (dateText.size() == 8)
        date = parseDate(dateText);
    if (!date)
        return false;
    size_t at = dateAt + kDate;
    std::optional<int> downloads;
    if (at < line.size() && isDigit(line[at])) {
        size_t digits = at;
        while (digits < line.size() && isDigit(line[digits]))
            ++digits;
        if (digits - at < 4 || digits >= line.size() || line[digits] != ' ')
            return false;
        downloads = number(line.substr(at, digits - at));
        at = digits + 1;
    }
    if (at < line.size() && line[at] != ' ')
        return false;
    item.size = std::stoll(std::string(line.substr(first, std::min<size_t>(end - first, 18))));
    item.fileDate = date;
    item.downloads = downloads;
    item.description = std::string(at < line.size() ? line.substr(at + 1) : std::string_view());
    return true;
}

// The common form: optional "[N]", size and date (a size only in front of a date), "[N]", then
// blanks and the description.
void readCommonColumns(std::string_view rest, Item& item)
{
    rest = skipBlanks(rest);
    auto take = [&rest] {
        const std::string_view w = column(rest);
        rest = skipBlanks(rest.substr(w.size()));
    };
    if (const auto n = parseCounter(column(rest))) {
        item.downloads = n;
        take();
    }
    const std::string_view w1 = firstWord(rest);
    const std::string_view afterW1 = skipBlanks(rest.substr(w1.size()));
    if (allDigits(w1) && w1.size() <= 12 && parseDate(firstWord(afterW1))) {
        item.size = std::stoll(std::string(w1));
        take();
    }
    if (const auto d = parseDate(firstWord(rest))) {
        item.fileDate = d;
        take();
    }
    if (const auto n = parseCounter(column(rest)); n && !item.downloads) {
        item.downloads = n;
        take();
    }
    item.description = std::string(rest);
}
} // namespace

std::string FilesBbsReader::unsafeName(std::string_view name)
{
    if (name.empty())
        return "an empty name";
    if (std::any_of(name.begin(), name.end(), isControl))
        return "a control character in the name";
    if (name.find('/') != std::string_view::npos || name.find('\\') != std::string_view::npos)
        return "a path in the name";
    if (name.size() >= 2 && name[1] == ':' && isLetter(name[0]))
        return "a drive in the name";
    if (name.find("..") != std::string_view::npos || name == ".")
        return "a path in the name";
    if (name.find_first_of(":*?\"<>|") != std::string_view::npos)
        return "a character no file name holds";
    return {};
}

std::vector<Item> FilesBbsReader::read(std::string_view list)
{
    auto comment = [](size_t line, std::string_view text) {
        Item i;
        i.line = line;
        i.description = std::string(text);
        return i;
    };
    // A DOS end-of-file mark ends the list.
    if (const size_t eof = list.find('\x1A'); eof != std::string_view::npos)
        list = list.substr(0, eof);
    std::vector<Item> items;
    size_t lineNumber = 0;
    std::string line;
    while (!list.empty()) {
        const size_t cut = list.find_first_of("\r\n");
        std::string_view raw = list.substr(0, cut);
        if (cut == std::string_view::npos)
            list = {};
        else
            list.remove_prefix(cut + (list[cut] == '\r' && cut + 1 < list.size() && list[cut + 1] == '\n' ? 2 : 1));
        ++lineNumber;
        // A zero byte would end a stored description early.
        line.assign(raw);
        line.erase(std::remove(line.begin(), line.end(), '\0'), line.end());
        const std::string_view l = line;

        if (skipBlanks(l).empty()) {
            items.push_back(comment(lineNumber, {}));
            continue;
        }
        if (isBlank(l.front())) {
            Item* above = items.empty() ? nullptr : &items.back();
            if (above && above->kind == Item::Kind::Comment && !above->description.empty()) {
                above->description += "\r\n";
                above->description += l;
            } else if (above && above->kind != Item::Kind::Comment) {
                std::string_view text = skipBlanks(l);
                if (text.front() == '|' || text.front() == '+') {
                    text.remove_prefix(1);
                    if (!text.empty() && text.front() == ' ')
                        text.remove_prefix(1);
                }
                above->description += "\r\n";
                above->description += text;
            } else {
                items.push_back(comment(lineNumber, l));
            }
            continue;
        }

        Item item;
        item.line = lineNumber;
        std::string_view name;
        std::string_view rest;
        if (l.front() == '"') {
            const size_t close = l.find('"', 1);
            if (close != std::string_view::npos && close > 1) {
                name = l.substr(1, close - 1);
                rest = l.substr(close + 1);
            }
        } else if (startsName(l.front())) {
            name = firstWord(l);
            rest = l.substr(name.size());
        }
        // A rule of dashes or stars, a heading with a colon, ANSI art: comment lines.
        const bool word = !name.empty() && std::any_of(name.begin(), name.end(), isNameCore)
            && (name.find_first_of("*?\"<>|") == std::string_view::npos)
            && (name.find(':') == std::string_view::npos || (name.size() >= 2 && name[1] == ':' && isLetter(name[0])));
        if (!word) {
            items.push_back(comment(lineNumber, l));
            continue;
        }
        item.name = std::string(name);
        item.reason = unsafeName(name);
        item.kind = item.reason.empty() ? Item::Kind::File : Item::Kind::Refused;
        if (l.front() == '"' || !readExportColumns(l, name, item))
            readCommonColumns(rest, item);
        items.push_back(std::move(item));
    }
    return items;
}

} // namespace qv
