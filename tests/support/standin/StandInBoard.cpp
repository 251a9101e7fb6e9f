// Does to an area what the board software does while the editor runs, without any lock: appends
// entries (description, header, index) and counts downloads of its own entries in place, at the
// position it found them at, through the handle it found them with.
//
//   qv_standin_board <file base> <area> <milliseconds> <most entries>
//
// Prints "added NAME" for every entry it appended and "counted NAME" for every download it
// counted, once it is done (or told to stop with SIGTERM).

#include "storage/Encoding.h"
#include "storage/HeaderRecord.h"
#include "storage/IndexRecord.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

std::string areaFile(const std::string& base, const char* dir, int area, const char* ext)
{
    return base + "/" + dir + "/fdb" + std::to_string(area) + "." + ext;
}

// Appends bytes where the file ends now, the way the board does: seek, then write.
off_t append(const std::string& path, const void* bytes, size_t n)
{
    const int fd = ::open(path.c_str(), O_WRONLY);
    if (fd < 0)
        return -1;
    const off_t end = ::lseek(fd, 0, SEEK_END);
    const bool ok = end >= 0 && ::write(fd, bytes, n) == ssize_t(n);
    ::close(fd);
    return ok ? end : -1;
}

// Finds the entry by name and adds one to its count through the same handle.
bool count(const std::string& hdr, const std::string& name)
{
    const int fd = ::open(hdr.c_str(), O_RDWR);
    if (fd < 0)
        return false;
    std::vector<uint8_t> rec(qv::HeaderRecord::kSize);
    bool done = false;
    for (off_t at = 0; !done; at += off_t(rec.size())) {
        if (::pread(fd, rec.data(), rec.size(), at) != ssize_t(rec.size()))
            break;
        const auto header
            = qv::HeaderRecord::decode(std::span<const uint8_t, qv::HeaderRecord::kSize>(rec.data(), rec.size()));
        if (header.name() != name)
            continue;
        std::this_thread::sleep_for(std::chrono::microseconds(300)); // a rewrite may rename meanwhile
        uint8_t word[2];
        qv::enc::putWord(word, header.downloads() + 1);
        done = ::pwrite(fd, word, 2, at + off_t(qv::HeaderRecord::kDownloadsOffset)) == 2;
    }
    ::close(fd);
    return done;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s <file base> <area> <milliseconds> <most entries>\n", argv[0]);
        return 2;
    }
    std::signal(SIGTERM, [](int) { g_stop = 1; });
    const std::string base = argv[1];
    const int area = std::atoi(argv[2]);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(std::atoi(argv[3]));
    const int most = std::atoi(argv[4]);
    const std::string hdr = areaFile(base, "hdr", area, "hdr");
    const std::string idx = areaFile(base, "idx", area, "idx");
    const std::string txt = areaFile(base, "txt", area, "txt");
    std::vector<std::string> added, counted;
    std::mt19937 random(unsigned(::getpid()));
    while (!g_stop && std::chrono::steady_clock::now() < until) {
        if (int(added.size()) < most) {
            const std::string name = "SB" + std::to_string(::getpid() % 1000) + "_" + std::to_string(added.size());
            const std::string text = "uploaded " + name;
            const off_t pointer = append(txt, text.c_str(), text.size() + 1);
            qv::HeaderRecord h;
            h.setName(name.substr(0, 12));
            h.setDescriptionPointer(int32_t(pointer));
            qv::IndexRecord i;
            i.setName(name.substr(0, 12));
            i.setDescriptionPointer(int32_t(pointer));
            if (pointer >= 0 && append(hdr, h.encode().data(), qv::HeaderRecord::kSize) >= 0
                && append(idx, i.encode().data(), qv::IndexRecord::kSize) >= 0)
                added.push_back(name.substr(0, 12));
        }
        if (!added.empty()) {
            const std::string& name = added[random() % added.size()];
            if (count(hdr, name))
                counted.push_back(name);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    for (const auto& n : added)
        std::printf("added %s\n", n.c_str());
    for (const auto& n : counted)
        std::printf("counted %s\n", n.c_str());
    return 0;
}
