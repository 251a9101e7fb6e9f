// A description file too large to read whole is read through a window that moves and grows.

#include "tools/DescriptionTexts.h"

#include "tests/support/BoardBuilder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

namespace qv {
namespace {

TEST(DescriptionTexts, ALargeFileIsReadThroughAWindowThatFindsEveryText)
{
    test::TempDir tmp;
    const std::string path = tmp.path() + "/fdb1.txt";
    const uint64_t length = DescriptionTexts::kWholeFile + 4096; // sparse: costs no disk
    const uint64_t mib = uint64_t(1) << 20;
    struct Text {
        uint64_t at;
        std::string bytes; // without its zero byte
    };
    const Text texts[] = { { 0, "first" }, { mib - 3, "across the window's end" }, { 5 * mib, "far on" },
        { 2 * mib, "back again" }, { length - 4, "last" } }; // the last one has no zero byte
    const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    for (const Text& t : texts)
        ASSERT_EQ(::pwrite(fd, t.bytes.data(), t.bytes.size(), off_t(t.at)), ssize_t(t.bytes.size()));
    ASSERT_EQ(::ftruncate(fd, off_t(length)), 0);
    ::close(fd);

    FileIo& io = systemFileIo();
    std::optional<ScopedHandle> file;
    file.emplace(io, io.open(path, FileIo::Mode::Read).value());
    DescriptionTexts reader(io, file);
    std::string_view text;
    for (const Text& t : texts) {
        ASSERT_TRUE(reader.read(int32_t(t.at), text));
        EXPECT_EQ(text, t.bytes) << t.at;
    }
    ASSERT_TRUE(reader.read(int32_t(3), text));
    EXPECT_EQ(text, "st");
    ASSERT_TRUE(reader.read(int32_t(length), text));
    EXPECT_EQ(text, "");
}

} // namespace
} // namespace qv
