#include "platform/CodePage.h"

#include <gtest/gtest.h>

namespace {

std::string allBytes()
{
    std::string s;
    for (int b = 0; b < 256; ++b)
        s.push_back(char(b));
    return s;
}

TEST(CodePage, EveryByteComesBackUnchanged)
{
    for (const char* name : { "IBM437", "IBM850", "windows-1252" }) {
        qv::CodePage page(name);
        ASSERT_TRUE(page.isValid()) << name;
        const std::string bytes = allBytes();
        const QString shown = page.decode(bytes);
        ASSERT_EQ(shown.size(), 256) << name;
        EXPECT_EQ(page.encode(shown), bytes) << name;
        // Line breaks of descriptions must stay line breaks on screen.
        EXPECT_EQ(shown[13], QChar('\r')) << name;
        EXPECT_EQ(shown[10], QChar('\n')) << name;
    }
}

TEST(CodePage, ShowsBoxCharactersOfTheDefaultPage)
{
    qv::CodePage page;
    EXPECT_EQ(page.decode("\xC9\xCD\xBB"), QString::fromUtf8("╔═╗"));
    EXPECT_EQ(page.encode(QString::fromUtf8("╔═╗ é")), std::string("\xC9\xCD\xBB \x82"));
    EXPECT_EQ(page.encode(QString::fromUtf8("€")), "?");
}

TEST(CodePage, RefusesPagesThatAreNotSingleByteAndFallsBackToCp437)
{
    for (const char* name : { "UTF-8", "no-such-page" }) {
        qv::CodePage page(name);
        EXPECT_FALSE(page.isValid()) << name;
        EXPECT_EQ(page.decode("\xC4"), QString::fromUtf8("─")) << name;
    }
}

} // namespace
