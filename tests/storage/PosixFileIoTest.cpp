// The system's file calls where the store relies on their edges: the end of a file, a copy the
// kernel refuses, and descriptors that must not leak over a long session.

#include "storage/FileIo.h"
#include "tests/support/BoardBuilder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace qv {
namespace {

size_t openDescriptors()
{
    return size_t(std::distance(std::filesystem::directory_iterator("/proc/self/fd"), {}));
}

TEST(PosixFileIo, TheEndOfAFileIsAShortReadAndACopyErrorIsTheCopys)
{
    test::TempDir tmp;
    FileIo& io = systemFileIo();
    const std::string from = tmp.path() + "/from", to = tmp.path() + "/to";
    test::writeFile(from, std::string_view("abcdef"));
    test::writeFile(to, std::string_view(""));
    auto in = io.open(from, FileIo::Mode::Read);
    ASSERT_TRUE(in);
    ScopedHandle input(io, *in);
    char buffer[8] {};
    EXPECT_EQ(io.readAt(*in, 4, buffer, 8).value(), 2u);
    EXPECT_EQ(io.readAt(*in, 6, buffer, 8).value(), 0u);

    auto out = io.open(to, FileIo::Mode::ReadWrite);
    ASSERT_TRUE(out);
    ScopedHandle output(io, *out);
    EXPECT_EQ(io.copyRange(*in, 2, *out, 0, 100).value(), 4u); // fewer only at the source's end
    EXPECT_EQ(test::readFile(to), test::bytesOf("cdef"));
    // A destination open for reading only is no refusal of the kernel to fall back from.
    auto wrong = io.copyRange(*in, 0, *in, 0, 6);
    ASSERT_FALSE(wrong);
    EXPECT_EQ(wrong.error().code, EBADF);
    EXPECT_TRUE(wrong.error().message.starts_with("copy ")) << wrong.error().message;

    // A whole-file read takes a file of just its limit and refuses one byte more.
    EXPECT_EQ(readWholeFile(io, from, 6).value(), test::bytesOf("abcdef"));
    auto larger = readWholeFile(io, from, 5);
    ASSERT_FALSE(larger);
    EXPECT_EQ(larger.error().code, EFBIG);
}

// A directory where a file should be is an error on every file system, not an empty file (tmpfs
// gives a directory a size and reads no error).
TEST(PosixFileIo, DirectoriesAreNoFilesAndTheirFlushesLeaveNoDescriptorOpen)
{
    test::TempDir tmp;
    const size_t before = openDescriptors();
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(systemFileIo().syncDirectory(tmp.path()));
        EXPECT_FALSE(systemFileIo().syncDirectory(tmp.path() + "/missing"));
        auto opened = systemFileIo().open(tmp.path(), FileIo::Mode::Read);
        ASSERT_FALSE(opened);
        EXPECT_EQ(opened.error().code, EISDIR);
    }
    EXPECT_EQ(openDescriptors(), before);
}

} // namespace
} // namespace qv
