#include "storage/Encoding.h"
#include "storage/FilesBbsReader.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

using namespace std::string_literals;

// One item as "kind name size date downloads |description", line breaks shown as "/".
std::string shown(const FilesBbsReader::Item& i)
{
    using K = FilesBbsReader::Item::Kind;
    std::string s = i.kind == K::File ? "F" : i.kind == K::Comment ? "C" : "R";
    if (i.kind != K::Comment)
        s += " " + i.name;
    if (i.size)
        s += " " + std::to_string(*i.size);
    if (i.fileDate) {
        const auto d = enc::decodeDate(*i.fileDate);
        s += d ? " " + std::to_string(d->year) + "-" + std::to_string(d->month) + "-" + std::to_string(d->day)
               : " Invalid";
    }
    if (i.downloads)
        s += " [" + std::to_string(*i.downloads) + "]";
    std::string text = i.description;
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;)
        text.replace(at, 2, "/");
    return s + " |" + text;
}

struct ReadCase {
    const char* label;
    std::string list;
    std::vector<std::string> items;
};

TEST(FilesBbsRead, RecognisesEachDialect)
{
    const std::string k31(31, ' '), k36(36, ' ');
    const ReadCase cases[] = { { "export", "TEST.ZIP        12345 11/05/98  First line\r\n" + k31 + "| Second line\r\n",
                                   { "F TEST.ZIP 12345 1998-11-5 |First line/Second line" } },
        { "export_with_counters_and_an_empty_line",
            "TEST.ZIP        12345 11/05/98 0003  First\r\n" + k36 + "| \r\n" + k36 + "|   third\r\n",
            { "F TEST.ZIP 12345 1998-11-5 [3] |First//  third" } },
        { "export_keeps_leading_blanks_and_wide_sizes",
            "A.ZIP" + std::string(15, ' ') + "1 01/02/03    indented\r\nBIG.ZIP      123456789 Invalid   \r\n",
            { "F A.ZIP 1 2003-1-2 |  indented", "F BIG.ZIP 123456789 Invalid |" } },
        { "common_form", "FOO.ZIP   A fine program\n   + second\n\tthird\n",
            { "F FOO.ZIP |A fine program/second/third" } },
        { "size_date_and_counter_columns",
            "FOO.ZIP  12345  01-02-95  Desc\nBAR.ARJ [12] Counted\nEU.LZH 31.12.99 [ 4] European\n"
            "NUM.ZIP 1995 edition\n",
            { "F FOO.ZIP 12345 1995-1-2 |Desc", "F BAR.ARJ [12] |Counted", "F EU.LZH 1999-12-31 [4] |European",
                "F NUM.ZIP |1995 edition" } },
        { "comment_lines",
            "---- Games ----\r\n\r\n\x1b[1;33mANSI\r\nNote: heading\r\n  indented note\r\n\xC9\xCD\xBB\r\n"
            "\xBA Box \xBA\r\n\x82T\x82.ZIP accented\r\n",
            { "C |---- Games ----", "C |", "C |\x1b[1;33mANSI", "C |Note: heading/  indented note", "C |\xC9\xCD\xBB",
                "C |\xBA Box \xBA", "F \x82T\x82.ZIP |accented" } },
        { "unsafe_names_are_refused_with_their_lines",
            "../../etc/passwd x\r\n   more\r\nC:\\DOS\\X.ZIP y\r\nsub/FOO.ZIP z\r\nFO\x01O.ZIP c\r\na:X.ZIP "
            "w\r\nOK.ZIP fine\r\n",
            { "R ../../etc/passwd |x/more", "R C:\\DOS\\X.ZIP |y", "R sub/FOO.ZIP |z", "R FO\x01O.ZIP |c",
                "R a:X.ZIP |w", "F OK.ZIP |fine" } },
        { "quoted_long_names_end_of_file_mark_and_zero_bytes",
            "\"My File.zip\"  long one\rA.ZIP a\0b\r\n\x1AJUNK.ZIP after the end\r\n"s,
            { "F My File.zip |long one", "F A.ZIP |ab" } } };
    for (const ReadCase& c : cases) {
        std::vector<std::string> got;
        for (const auto& item : FilesBbsReader::read(c.list))
            got.push_back(shown(item));
        EXPECT_EQ(got, c.items) << c.label;
    }
}

} // namespace
} // namespace qv
