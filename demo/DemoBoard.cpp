#include "demo/DemoBoard.h"

#include "demo/DemoContent.h"
#include "platform/ShortName.h"
#include "storage/AreaConfiguration.h"
#include "storage/Encoding.h"
#include "storage/FileIo.h"
#include "storage/HeaderRecord.h"
#include "storage/IndexRecord.h"
#include "storage/KeywordChecksum.h"
#include "storage/Text.h"

#include <chrono>
#include <filesystem>
#include <map>
#include <set>
#include <regex>
#include <string_view>

namespace qv {

namespace {

namespace fs = std::filesystem;

// The board's own view of where things are: drive C: is the demo directory.
constexpr std::string_view kStoredFileBase = "C:\\RA\\FDB\\";
constexpr std::string_view kStoredFilesRoot = "C:\\RA\\FILES\\";
constexpr size_t kConfigSize = 4096;

// What the demo board consists of: each file with its bytes, and every directory.
struct Plan {
    std::map<fs::path, std::string> files;
    std::set<fs::path> directories;
    void addDirectory(fs::path path)
    {
        for (; path.has_relative_path(); path = path.parent_path())
            directories.insert(path);
    }
};

// Writes the board, or with a plan only records what it would write.
class Writer {
public:
    explicit Writer(std::string* error, Plan* plan = nullptr)
        : m_error(error)
        , m_plan(plan)
    {
    }

    bool file(const fs::path& path, std::string_view bytes)
    {
        if (m_plan) {
            m_plan->files[path] = std::string(bytes);
            m_plan->addDirectory(path.parent_path());
            return true;
        }
        FileIo& io = systemFileIo();
        auto h = io.open(path.string(), FileIo::Mode::CreateTruncate);
        if (!h)
            return fail(path, h.error().message);
        ScopedHandle handle(io, *h);
        if (!bytes.empty()) {
            if (auto w = io.writeAt(handle.get(), 0, bytes.data(), bytes.size()); !w)
                return fail(path, w.error().message);
        }
        if (auto c = handle.close(); !c)
            return fail(path, c.error().message);
        return true;
    }

    bool file(const fs::path& path, const std::vector<uint8_t>& bytes)
    {
        return file(path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
    }

    bool directory(const fs::path& path)
    {
        if (m_plan) {
            m_plan->addDirectory(path);
            return true;
        }
        std::error_code ec;
        fs::create_directories(path, ec);
        return ec ? fail(path, ec.message()) : true;
    }

    bool planning() const { return m_plan != nullptr; }

    bool fail(const fs::path& path, const std::string& why)
    {
        if (m_error)
            *m_error = path.string() + ": " + why;
        return false;
    }

private:
    std::string* m_error;
    Plan* m_plan;
};

template <size_t N> void append(std::vector<uint8_t>& out, const std::array<uint8_t, N>& bytes)
{
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// Files carry their entry's date, so updating an entry from the disk changes nothing.
void setFileTime(const fs::path& path, int32_t packed)
{
    auto d = enc::decodeDate(packed);
    if (!d)
        return;
    using namespace std::chrono;
    const sys_days day { year { d->year } / month { unsigned(d->month) } / unsigned(d->day) };
    std::error_code ec;
    fs::last_write_time(path, file_clock::from_sys(sys_seconds { day } + hours { 12 }), ec);
}

// The header names of long-named entries are the aliases the directory's listing gives them.
void assignShortNames(DemoArea& area)
{
    QStringList names;
    for (const DemoEntry& e : area.entries) {
        if (!e.longName.empty())
            names << QString::fromLatin1(e.longName.data(), qsizetype(e.longName.size()));
        else if (!e.name.empty())
            names << QString::fromLatin1(e.name.data(), qsizetype(e.name.size()));
    }
    const QHash<QString, QString> shortNames = shortname::shortNamesFor(names);
    for (DemoEntry& e : area.entries)
        if (!e.longName.empty())
            e.name = shortNames.value(QString::fromLatin1(e.longName.data(), qsizetype(e.longName.size())))
                         .toUpper()
                         .toStdString();
}

bool writeArea(Writer& w, const fs::path& fileBase, const fs::path& areaDir, DemoArea& area)
{
    assignShortNames(area);
    if (!w.directory(areaDir))
        return false;
    std::vector<uint8_t> hdr, idx, lfn, txt;
    for (const DemoEntry& e : area.entries) {
        int32_t pointer = -1;
        if (e.description) {
            pointer = int32_t(txt.size());
            txt.insert(txt.end(), e.description->begin(), e.description->end());
            txt.push_back(0);
        }
        HeaderRecord h;
        h.setName(e.name);
        h.setSize(int32_t(e.content.size()));
        h.setChecksum(e.checksum);
        h.setUploader(e.uploader);
        h.setUploadDate(e.uploadDate);
        h.setFileDate(e.fileDate);
        h.setLastDownloadDate(e.lastDownloadDate);
        h.setDownloads(e.downloads);
        h.setAttributes(e.attributes);
        h.setPassword(e.password);
        for (size_t k = 0; k < HeaderRecord::kKeywordCount; ++k)
            h.setKeyword(k, e.keywords[k]);
        h.setCost(e.cost);
        h.setDescriptionPointer(pointer);
        append(hdr, h.encode());

        IndexRecord i;
        i.setName(text::toUpper(e.name));
        i.setUploadDate(e.uploadDate);
        // Keywords set through the Properties dialog carry all five checksums; others carry 0.
        bool keyed = false;
        for (const std::string& k : e.keywords)
            keyed = keyed || !k.empty();
        for (size_t k = 0; keyed && k < IndexRecord::kChecksumCount; ++k)
            i.setKeywordChecksum(k, keywordChecksum(e.keywords[k]));
        i.setDescriptionPointer(pointer);
        append(idx, i.encode());

        LongNameRecord l;
        l.setName(e.longName);
        append(lfn, l.encode());

        if (!e.name.empty() && e.onDisk) {
            const fs::path path = areaDir / (e.longName.empty() ? e.name : e.longName);
            if (!w.file(path, e.content))
                return false;
            if (!w.planning())
                setFileTime(path, e.fileDate);
        }
    }
    const std::string stem = "fdb" + std::to_string(area.number);
    return w.file(fileBase / "hdr" / (stem + ".hdr"), hdr) && w.file(fileBase / "idx" / (stem + ".idx"), idx)
        && w.file(fileBase / "txt" / (stem + ".txt"), txt)
        && (!area.longNameFile || w.file(fileBase / "hdr" / (stem + ".lfn"), lfn));
}

// Why a file under an earlier demo board's directory is not the demo's own; empty when it is.
// The window may have edited the area files and written QV.INI, so only the configuration files
// and the marker must be as the demo wrote them; any other name must be one the demo uses.
std::string foreignReason(const fs::path& root, const fs::path& path, const Plan& plan)
{
    const fs::path rel = path.lexically_relative(root);
    std::error_code ec;
    if (fs::is_symlink(path, ec))
        return "is a link";
    if (fs::is_directory(path, ec))
        return plan.directories.count(path) ? std::string() : "is not a directory of the demo board";
    if (rel == "QV.INI")
        return {};
    const auto it = plan.files.find(path);
    const bool configuration = rel.parent_path() == "RA" || rel == kDemoMarkerName;
    if (it != plan.files.end()) {
        if (!configuration)
            return {};
        FileIo& io = systemFileIo();
        auto h = io.open(path.string(), FileIo::Mode::Read);
        if (!h)
            return h.error().message;
        ScopedHandle handle(io, *h);
        std::string bytes(it->second.size() + 1, '\0');
        auto n = io.readAt(handle.get(), 0, bytes.data(), bytes.size());
        if (n && *n == it->second.size() && bytes.compare(0, *n, it->second) == 0)
            return {};
        return "is not the demo's";
    }
    // Area files the store writes later (a long-name file, a leftover temporary) of a demo area.
    static const std::regex areaFile("fdb([0-9]+)\\.[^.]+", std::regex::icase);
    std::smatch m;
    const std::string name = path.filename().string();
    if (rel.parent_path().parent_path() == fs::path("RA") / "FDB" && std::regex_match(name, m, areaFile)
        && plan.files.count(root / "RA" / "FDB" / "hdr" / ("fdb" + m[1].str() + ".hdr")))
        return {};
    return "is not part of a demo board";
}

// Refuses anything that is not missing, empty or an earlier demo board; clears an earlier one.
bool prepareDirectory(Writer& w, const fs::path& root, const Plan& plan)
{
    std::error_code ec;
    if (!fs::exists(root, ec))
        return w.directory(root);
    if (!fs::is_directory(root, ec))
        return w.fail(root, "not a directory; nothing was changed, choose another directory");
    if (fs::is_empty(root, ec))
        return true;
    if (!fs::exists(root / kDemoMarkerName, ec))
        return w.fail(
            root, "the directory is not empty and holds no demo board; nothing was changed, choose another directory");
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const std::string why = foreignReason(root, it->path(), plan);
        if (!why.empty())
            return w.fail(root,
                "the directory holds " + it->path().lexically_relative(root).string() + ", which " + why
                    + "; nothing was changed, choose another directory");
    }
    if (ec)
        return w.fail(root, ec.message());
    fs::remove_all(root / "RA", ec);
    return ec ? w.fail(root / "RA", ec.message()) : true;
}

bool writeBoard(Writer& w, const fs::path& root);

}

bool writeDemoBoard(const std::string& dir, std::string* error)
{
    Writer w(error);
    if (dir.empty())
        return w.fail(dir, "no directory given");
    const fs::path root = fs::absolute(fs::path(dir)).lexically_normal();
    Plan plan;
    Writer planner(error, &plan);
    if (!writeBoard(planner, root))
        return false;
    return prepareDirectory(w, root, plan) && writeBoard(w, root);
}

namespace {

bool writeBoard(Writer& w, const fs::path& root)
{
    if (!w.file(root / kDemoMarkerName, "Demo board written by Quorvex.\n"))
        return false;
    const fs::path board = root / "RA";
    const fs::path fileBase = board / "FDB";
    for (const char* sub : { "hdr", "idx", "txt" })
        if (!w.directory(fileBase / sub))
            return false;

    DemoLayout layout = demoLayout();

    std::vector<uint8_t> config(kConfigSize, 0);
    enc::putText(
        config.data() + AreaConfiguration::kBoardNameOffset, AreaConfiguration::kBoardNameWidth, layout.boardName);
    config[AreaConfiguration::kFileBasePathOffset] = uint8_t(kStoredFileBase.size());
    std::copy(
        kStoredFileBase.begin(), kStoredFileBase.end(), config.begin() + AreaConfiguration::kFileBasePathOffset + 1);
    if (!w.file(board / "CONFIG.RA", config))
        return false;

    std::vector<uint8_t> groups(layout.groups.size() * AreaConfiguration::kGroupRecordSize, 0);
    std::vector<uint8_t> groupIndex;
    int groupMax = 0;
    for (const DemoGroup& g : layout.groups)
        groupMax = std::max(groupMax, g.number);
    groupIndex.resize(size_t(groupMax) * 2, 0);
    for (size_t i = 0; i < layout.groups.size(); ++i) {
        uint8_t* r = groups.data() + i * AreaConfiguration::kGroupRecordSize;
        enc::putWord(r, layout.groups[i].number);
        enc::putText(r + AreaConfiguration::kGroupNameOffset, AreaConfiguration::kTextWidth, layout.groups[i].name);
        enc::putWord(groupIndex.data() + size_t(layout.groups[i].number - 1) * 2, int(i + 1));
    }
    if (!w.file(board / "FGROUPS.RA", groups) || !w.file(board / "FGROUPS.RDX", groupIndex))
        return false;

    std::vector<uint8_t> files(layout.records.size() * AreaConfiguration::kAreaRecordSize, 0);
    int areaMax = 0;
    for (const auto& a : layout.records)
        areaMax = a ? std::max(areaMax, a->number) : areaMax;
    std::vector<uint8_t> areaIndex(size_t(areaMax) * 2, 0);
    for (size_t i = 0; i < layout.records.size(); ++i) {
        if (!layout.records[i])
            continue;
        DemoArea& area = *layout.records[i];
        uint8_t* r = files.data() + i * AreaConfiguration::kAreaRecordSize;
        enc::putWord(r, area.number);
        enc::putText(r + AreaConfiguration::kAreaNameOffset, AreaConfiguration::kTextWidth, area.name);
        enc::putText(r + AreaConfiguration::kAreaPathOffset, AreaConfiguration::kTextWidth,
            std::string(kStoredFilesRoot) + area.dir);
        enc::putWord(r + AreaConfiguration::kAreaGroupOffset, area.group);
        enc::putWord(areaIndex.data() + size_t(area.number - 1) * 2, int(i + 1));
        if (!writeArea(w, fileBase, board / "FILES" / area.dir, area))
            return false;
    }
    return w.file(board / "FILES.RA", files) && w.file(board / "FILES.RDX", areaIndex);
}

}

} // namespace qv
