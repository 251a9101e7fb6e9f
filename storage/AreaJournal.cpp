#include "storage/AreaJournal.h"

#include "storage/AreaFiles.h"

#include <cerrno>
#include <sstream>

namespace qv {

namespace {
constexpr const char* kMagic = "QUORVEX AREA JOURNAL 1";
constexpr const char* kEnd = "END";
constexpr uint64_t kJournalLimit = 64 * 1024;

std::string directoryOf(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

std::string join(const std::string& dir, const std::string& relative)
{
    if (dir.empty())
        return relative;
    return dir.back() == '/' ? dir + relative : dir + "/" + relative;
}

// What a rewrite of area N may leave behind besides its journal.
std::vector<std::string> temporaryNames(int area)
{
    const std::string stem = "fdb" + std::to_string(area);
    return { "hdr/" + stem + ".$$$", "hdr/" + stem + ".l$$", "idx/" + stem + ".$$$" };
}
} // namespace

std::string AreaJournal::serialize() const
{
    std::string out = std::string(kMagic) + "\n";
    for (const auto& r : replacements)
        out += r.temporary + "\t" + r.target + "\t" + std::to_string(r.size) + "\n";
    out += std::string(kEnd) + "\n";
    return out;
}

std::optional<AreaJournal> AreaJournal::parse(const std::string& text)
{
    std::istringstream in(text);
    std::string line;
    if (!std::getline(in, line) || line != kMagic)
        return std::nullopt;
    AreaJournal journal;
    while (std::getline(in, line)) {
        if (line == kEnd)
            return in.peek() == std::char_traits<char>::eof() ? std::optional(journal) : std::nullopt;
        const size_t a = line.find('\t');
        const size_t b = a == std::string::npos ? a : line.find('\t', a + 1);
        if (b == std::string::npos || a == 0 || b == a + 1 || b + 1 >= line.size())
            return std::nullopt;
        Replacement r { line.substr(0, a), line.substr(a + 1, b - a - 1), 0 };
        for (size_t i = b + 1; i < line.size(); ++i) {
            if (line[i] < '0' || line[i] > '9' || r.size > (uint64_t(1) << 50))
                return std::nullopt;
            r.size = r.size * 10 + uint64_t(line[i] - '0');
        }
        // Only names inside the file base directory are ever written.
        for (const std::string* p : { &r.temporary, &r.target })
            if (p->front() == '/' || p->find("..") != std::string::npos)
                return std::nullopt;
        journal.replacements.push_back(std::move(r));
    }
    return std::nullopt; // no END line: the writer died before the commit point
}

std::string journalPath(const std::string& headerDirectory, int area)
{
    return join(headerDirectory, "fdb" + std::to_string(area) + ".jnl");
}

Result<Recovery> recoverArea(FileIo& io, const std::string& fileBaseDir, int area)
{
    const std::string headerDir = directoryOf(areaFilePath(io, fileBaseDir, area, AreaFileKind::Header));
    const std::string indexDir = directoryOf(areaFilePath(io, fileBaseDir, area, AreaFileKind::Index));
    const std::string journal = journalPath(headerDir, area);
    std::vector<std::string> temporaries;
    for (const std::string& name : temporaryNames(area)) {
        const std::string file = name.substr(name.find('/') + 1);
        temporaries.push_back(join(name.compare(0, 3, "idx") == 0 ? indexDir : headerDir, file));
    }

    auto discard = [&]() -> Result<Recovery> {
        bool any = false;
        for (const auto& t : temporaries)
            if (io.exists(t)) {
                any = true;
                (void)io.remove(t);
            }
        if (io.exists(journal)) {
            any = true;
            (void)io.remove(journal);
        }
        return any ? Recovery::Discarded : Recovery::Nothing;
    };

    if (!io.exists(journal))
        return discard();
    auto bytes = readWholeFile(io, journal, kJournalLimit);
    if (!bytes)
        return bytes.error();
    const auto parsed = AreaJournal::parse(std::string(bytes->begin(), bytes->end()));
    if (!parsed)
        return discard();

    // Committed: every temporary file that is still there replaces its target. One that is gone
    // was renamed already (or removed by a rewrite that failed before it could drop the journal,
    // in which case the target is still the old file and stays so).
    for (const auto& r : parsed->replacements) {
        const std::string from = resolveCaseInsensitive(io, join(fileBaseDir, r.temporary));
        const std::string to = resolveCaseInsensitive(io, join(fileBaseDir, r.target));
        if (!io.exists(from))
            continue;
        auto size = io.fileSize(from);
        if (!size)
            return size.error();
        if (*size != r.size)
            return Error { EIO, from + " is " + std::to_string(*size) + " bytes, the journal says "
                    + std::to_string(r.size) };
        if (auto renamed = io.rename(from, to); !renamed)
            return renamed.error();
    }
    (void)io.syncDirectory(headerDir);
    if (indexDir != headerDir)
        (void)io.syncDirectory(indexDir);
    if (auto removed = io.remove(journal); !removed)
        return removed.error();
    (void)io.syncDirectory(headerDir);
    return Recovery::Completed;
}

} // namespace qv
