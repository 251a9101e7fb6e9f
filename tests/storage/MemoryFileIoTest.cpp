#include "storage/MemoryFileIo.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

// The in-memory file system stands in for the disk in fuzzing, so it must follow POSIX rules.
TEST(MemoryFileIo, BehavesLikeAPosixFileSystem)
{
    MemoryFileIo io;
    EXPECT_FALSE(io.open("/d/f", FileIo::Mode::CreateTruncate)) << "parent must exist";
    ASSERT_TRUE(io.makeDirectory("/d"));
    auto h = io.open("/d/f", FileIo::Mode::CreateTruncate);
    ASSERT_TRUE(h);
    ASSERT_TRUE(io.writeAt(*h, 4, "ab", 2));
    EXPECT_EQ(io.file("/d/f"), (std::vector<uint8_t> { 0, 0, 0, 0, 'a', 'b' }));
    char buf[8];
    EXPECT_FALSE(io.readAt(*h, 0, buf, 1)) << "write-only handle";
    ASSERT_TRUE(io.close(*h));

    auto a = io.open("/d/f", FileIo::Mode::Append);
    ASSERT_TRUE(io.writeAt(*a, 0, "c", 1));
    ASSERT_TRUE(io.close(*a));
    auto r = io.open("/d//./f", FileIo::Mode::Read);
    ASSERT_TRUE(r);
    EXPECT_EQ(io.readAt(*r, 5, buf, 8).value(), 2u);
    EXPECT_EQ(io.readAt(*r, 100, buf, 8).value(), 0u);
    EXPECT_FALSE(io.writeAt(*r, 0, "x", 1));
    ASSERT_TRUE(io.rename("/d/f", "/d/g"));
    EXPECT_EQ(io.size(*r).value(), 7u) << "an open file survives its rename";
    ASSERT_TRUE(io.close(*r));
    EXPECT_FALSE(io.exists("/d/f"));
    EXPECT_EQ(io.fileSize("/d/g").value(), 7u);
    io.setFile("/d/sub/x", "1");
    auto entries = io.list("/d");
    ASSERT_TRUE(entries);
    ASSERT_EQ(entries->size(), 2u);
    EXPECT_TRUE(io.isDirectory("/d/sub"));
    EXPECT_FALSE(io.list("/nowhere"));
    EXPECT_TRUE(io.remove("/d/g"));
    EXPECT_FALSE(io.remove("/d/g"));
    EXPECT_EQ(io.openHandles(), 0u);
}

} // namespace
} // namespace qv
