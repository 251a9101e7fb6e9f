// The system's file calls where the store relies on their edges: the end of a file, a copy the
// kernel refuses, and descriptors that must not leak over a long session.

#include "storage/AreaStore.h"
#include "storage/FileIo.h"
#include "storage/MappedWrite.h"
#include "storage/MemoryFileIo.h"
#include "tests/support/BoardBuilder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

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
    // A lock the kernel refuses outright (a write lock on a file open for reading) is that
    // refusal at once, not a holder waited for.
    auto locked = io.lockRange(*in, 0, 1, 2000);
    ASSERT_FALSE(locked);
    EXPECT_EQ(locked.error().code, EBADF);

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

// A handle opened for reading changes nothing, in the system's layer and in the one in memory
// that the fuzzers run on alike.
TEST(FileLayers, AReadHandleChangesNothing)
{
    test::TempDir tmp;
    MemoryFileIo memory;
    memory.addDirectory(tmp.path());
    for (FileIo* io : { &systemFileIo(), static_cast<FileIo*>(&memory) }) {
        const std::string file = tmp.path() + "/f";
        auto w = io->open(file, FileIo::Mode::CreateTruncate);
        ASSERT_TRUE(w);
        ASSERT_TRUE(io->writeAt(*w, 0, "abc", 3));
        ASSERT_TRUE(io->close(*w));
        auto r = io->open(file, FileIo::Mode::Read);
        ASSERT_TRUE(r);
        EXPECT_FALSE(io->truncate(*r, 1));
        EXPECT_FALSE(io->writeAt(*r, 0, "x", 1));
        EXPECT_EQ(io->size(*r).value(), 3u);
        ASSERT_TRUE(io->close(*r));
        auto rw = io->open(file, FileIo::Mode::ReadWrite);
        ASSERT_TRUE(rw);
        EXPECT_TRUE(io->truncate(*rw, 1));
        EXPECT_EQ(io->size(*rw).value(), 1u);
        ASSERT_TRUE(io->close(*rw));
    }
}

// Waits, up to a limit only a hung closer reaches, for the count of open descriptors to fall
// back to `count`.
size_t descriptorsFallTo(size_t count)
{
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (openDescriptors() > count && std::chrono::steady_clock::now() < limit)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return openDescriptors();
}

// The handles of files a rename replaced are closed off the caller's thread, but all of them:
// a sort repeated all day leaves nothing open.
TEST(PosixFileIo, HandlesOfReplacedFilesAreClosedLater)
{
    test::TempDir tmp;
    test::BoardBuilder board(tmp.path());
    std::vector<test::Entry> entries;
    for (const char* name : { "C.ZIP", "A.ZIP", "B.ZIP" })
        entries.push_back(test::Entry { .name = name, .longName = std::string(name) + " long" });
    board.writeEntries(1, entries);
    AreaStore store(systemFileIo(), board.fileBaseDir());
    const size_t before = openDescriptors();
    for (int round = 0; round < 4; ++round)
        ASSERT_TRUE(store.rewrite(1, RewritePlan::permutation({ 1, 2, 0 })));
    EXPECT_EQ(descriptorsFallTo(before), before);

    const std::string file = tmp.path() + "/old";
    test::writeFile(file, std::string_view("old"));
    auto h = systemFileIo().open(file, FileIo::Mode::Read);
    ASSERT_TRUE(h);
    test::writeFile(file + ".new", std::string_view("new"));
    ASSERT_TRUE(systemFileIo().rename(file + ".new", file));
    systemFileIo().closeReplaced(*h);
    EXPECT_EQ(descriptorsFallTo(before), before);
}

// The board may shorten a file while a change writes through a mapping of it: each time that is
// a failed write, and the program goes on. A SIGBUS outside such a write still ends it.
TEST(MappedWrite, AFileShortenedMeanwhileIsAFailedWriteNotAnEnd)
{
    test::TempDir tmp;
    const std::string file = tmp.path() + "/f";
    test::writeFile(file, std::string(3 * 4096, 'a'));
    const int fd = ::open(file.c_str(), O_RDWR);
    ASSERT_GE(fd, 0);
    const size_t length = 3 * 4096;
    auto* map = static_cast<char*>(::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0));
    ASSERT_NE(map, MAP_FAILED);
    EXPECT_TRUE(MappedWrite::run(map, length, [&] { map[5000] = 'b'; }));
    ASSERT_EQ(::ftruncate(fd, 4096), 0);
    for (int twice = 0; twice < 2; ++twice) // the second fault finds SIGBUS unblocked again
        EXPECT_FALSE(MappedWrite::run(map, length, [&] {
            map[10] = 'c';
            map[4096 + 10] = 'c';
        }));
    EXPECT_EQ(test::readFile(file).at(10), 'c'); // what came before the end stays written

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::alarm(10); // a handler that swallowed the fault would run it again forever
        ::dup2(::open("/dev/null", O_WRONLY), 2); // a sanitizer's report of it is no news
        map[2 * 4096] = 'd';
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) != SIGALRM) << status;
    ::munmap(map, length);
    ::close(fd);
}

} // namespace
} // namespace qv
