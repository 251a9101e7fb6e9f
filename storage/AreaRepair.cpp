#include "storage/AreaRepair.h"

#include "storage/AreaCheck.h"
#include "storage/AreaFiles.h"
#include "storage/AreaJournal.h"
#include "storage/KeywordChecksum.h"
#include "storage/LongName.h"
#include "storage/Text.h"

#include <cstring>
#include <memory>

namespace qv {

namespace {

enum Fix : uint8_t {
    kHeaderDescription = 1, // pointer past the end: none
    kHeaderLongName = 2,
    kIndexDescription = 4,
    kClearLongName = 8, // a long name that belongs to another entry
    kRebuildIndex = 16,
};

// What the rewrite changes, record by record.
struct Edits {
    std::vector<uint8_t> fixes;
    std::vector<IndexRecord::Bytes> rebuilt; // for records with kRebuildIndex, by position
    bool indexOnly = true; // the header and long-name files need no change
};

std::optional<std::vector<uint8_t>> readIfPresent(FileIo& io, const std::string& path, std::optional<Error>& failure)
{
    if (!io.exists(path))
        return std::nullopt;
    auto bytes = readWholeFile(io, path, AreaCheck::kFileLimit);
    if (!bytes) {
        failure = bytes.error();
        return std::nullopt;
    }
    return std::move(*bytes);
}

// The index record the board would have written for a header record.
IndexRecord::Bytes indexOf(const HeaderRecord& h, int32_t pointer)
{
    IndexRecord x;
    x.setName(text::toUpper(h.name()));
    x.setUploadDate(h.uploadDate());
    for (size_t k = 0; k < IndexRecord::kChecksumCount; ++k)
        x.setKeywordChecksum(k, keywordChecksum(h.keyword(k)));
    x.setDescriptionPointer(pointer);
    return x.encode();
}

std::string n(uint64_t v)
{
    return std::to_string(v);
}

std::string rebuilt(uint64_t missing)
{
    return missing == 1 ? "the missing record is rebuilt from the header"
                        : "the " + n(missing) + " missing records are rebuilt from the header";
}

std::string dropped(uint64_t extra)
{
    return extra == 1 ? "the record past the header's is dropped"
                      : "the " + n(extra) + " records past the header's are dropped";
}

Result<RepairSurvey> survey(FileIo& io, const std::string& fileBaseDir, int area, Edits* edits)
{
    RepairSurvey out;
    if (fileBaseDir.empty())
        return Error { ENOENT, "no file database directory" };
    if (auto problem = journalProblem(io, fileBaseDir, area)) {
        out.left.push_back(*problem + "; left as it is");
        return out;
    }
    const std::string hdrDir = directoryOf(areaFilePath(io, fileBaseDir, area, AreaFileKind::Header));
    const std::string stem = "fdb" + std::to_string(area);
    const std::string journal = journalPath(hdrDir, area);
    bool committed = false;
    if (io.exists(journal)) {
        auto bytes = readWholeFile(io, journal, kJournalLimit);
        if (!bytes)
            return bytes.error();
        const auto note = AreaJournal::parse(std::string(bytes->begin(), bytes->end()));
        committed = note && note->complete;
    }
    for (const std::string& leftover : { "hdr/" + stem + ".$$$", "idx/" + stem + ".$$$", "hdr/" + stem + ".l$$",
             "txt/" + stem + ".$$$", "hdr/" + stem + ".jnl", "hdr/" + stem + ".j$$" }) {
        const std::string file = journalTarget(io, fileBaseDir, area, leftover);
        if (!io.exists(file))
            continue;
        out.recovery = true;
        out.repairs.push_back("leftover file " + file + " from an interrupted rewrite: "
            + (committed ? "the committed change is finished" : "the change that did not commit is undone"));
    }

    std::optional<Error> failure;
    const std::string hdrPath = areaFilePath(io, fileBaseDir, area, AreaFileKind::Header);
    const auto hdr = readIfPresent(io, hdrPath, failure);
    if (failure)
        return *failure;
    if (!hdr)
        return out; // an area without entries yet
    const auto idx = readIfPresent(io, areaFilePath(io, fileBaseDir, area, AreaFileKind::Index), failure);
    const auto lfn = readIfPresent(io, areaFilePath(io, fileBaseDir, area, AreaFileKind::LongName), failure);
    if (failure)
        return *failure;
    uint64_t txtLength = 0;
    const std::string txtPath = areaFilePath(io, fileBaseDir, area, AreaFileKind::Description);
    if (io.exists(txtPath)) {
        auto length = io.fileSize(txtPath);
        if (!length)
            return length.error();
        txtLength = *length;
    }

    const uint64_t count = hdr->size() / HeaderRecord::kSize;
    const uint64_t idxCount = idx ? idx->size() / IndexRecord::kSize : 0;
    const uint64_t lfnCount = lfn ? lfn->size() / LongNameRecord::kSize : 0;
    auto trailing = [&](const char* what, uint64_t length, size_t size) {
        if (length % size == 0)
            return;
        out.rewrite = true;
        out.repairs.push_back(std::string(what) + " file has " + text::counted(length % size, "trailing byte")
            + " after its " + text::counted(length / size, "record") + (length % size == 1 ? ": it is" : ": they are")
            + " dropped");
    };
    trailing("header", hdr->size(), HeaderRecord::kSize);
    if (lfn)
        trailing("long-name", lfn->size(), LongNameRecord::kSize);
    bool indexOnly = !out.rewrite && lfnCount <= count;
    if (idx)
        trailing("index", idx->size(), IndexRecord::kSize);
    if (!idx && count > 0)
        out.repairs.push_back(
            "index file is missing for " + text::counted(count, "header record") + ": it is rebuilt from the header");
    else if (idx && idxCount < count)
        out.repairs.push_back("index file holds " + text::counted(idxCount, "record") + ", header file " + n(count)
            + ": " + rebuilt(count - idxCount));
    else if (idx && idxCount > count)
        out.repairs.push_back("index file holds " + text::counted(idxCount, "record") + ", header file " + n(count)
            + ": " + dropped(idxCount - count));
    if (lfnCount > count)
        out.repairs.push_back("long-name file holds " + text::counted(lfnCount, "record") + ", header file "
            + n(count) + ": " + dropped(lfnCount - count));
    out.rewrite = out.rewrite || idxCount != count || lfnCount > count;

    if (edits) {
        edits->fixes.assign(count, 0);
        edits->rebuilt.clear();
    }
    auto pastEnd = [&](int32_t p) { return p >= 0 && uint64_t(p) >= txtLength; };
    const std::string endText = " is past the end of the description file (" + n(txtLength) + " bytes): ";
    for (uint64_t i = 0; i < count; ++i) {
        const std::string at = "record " + n(i + 1) + ": ";
        const auto h = HeaderRecord::decode(
            std::span<const uint8_t, HeaderRecord::kSize>(hdr->data() + i * HeaderRecord::kSize, HeaderRecord::kSize));
        uint8_t fix = 0;
        const int32_t pointer = h.descriptionPointer();
        if (pastEnd(pointer)) {
            fix |= kHeaderDescription;
            out.repairs.push_back(
                at + "header description pointer " + std::to_string(pointer) + endText + "set to none");
        }
        if (h.longNamePointer() > 0 && pastEnd(h.longNamePointer())) {
            fix |= kHeaderLongName;
            out.repairs.push_back(
                at + "long-name pointer " + std::to_string(h.longNamePointer()) + endText + "set to none");
        }
        if (i < lfnCount) {
            const auto l = LongNameRecord::decode(std::span<const uint8_t, LongNameRecord::kSize>(
                lfn->data() + i * LongNameRecord::kSize, LongNameRecord::kSize));
            const std::string name = l.name();
            if (!text::trim(name).empty() && !longname::belongsTo(h.name(), name)) {
                fix |= kClearLongName;
                out.repairs.push_back(at + "long name \"" + name + "\" does not belong to header name \"" + h.name()
                    + "\": the long-name record is emptied");
            }
        }
        if (i >= idxCount) {
            fix |= kRebuildIndex; // reported with the file above
        } else {
            const auto x = IndexRecord::decode(
                std::span<const uint8_t, IndexRecord::kSize>(idx->data() + i * IndexRecord::kSize, IndexRecord::kSize));
            const std::string rebuilt = ": the index record is rebuilt from the header";
            if (!text::equalsIgnoreCase(x.name(), h.name())) {
                fix |= kRebuildIndex;
                out.repairs.push_back(
                    at + "index name \"" + x.name() + "\" does not match header name \"" + h.name() + "\"" + rebuilt);
            } else if (x.descriptionPointer() != pointer) {
                fix |= kRebuildIndex;
                out.repairs.push_back(at + "index description pointer " + std::to_string(x.descriptionPointer())
                    + " differs from the header's " + std::to_string(pointer) + rebuilt);
            } else if (pastEnd(x.descriptionPointer())) {
                fix |= kIndexDescription;
                out.repairs.push_back(at + "index description pointer " + std::to_string(x.descriptionPointer())
                    + endText + "set to none");
            }
        }
        // A missing index is rebuilt by any rewrite; the fix is what gives it its checksums.
        out.rewrite = out.rewrite || (fix & ~kRebuildIndex) != 0 || (fix && i < idxCount);
        indexOnly = indexOnly && (fix & ~(kRebuildIndex | kIndexDescription)) == 0;
        if (edits && fix) {
            edits->fixes[i] = fix;
            if (fix & kRebuildIndex) {
                if (edits->rebuilt.empty())
                    edits->rebuilt.resize(count);
                edits->rebuilt[i] = indexOf(h, (fix & kHeaderDescription) ? -1 : pointer);
            }
        }
    }
    if (edits)
        edits->indexOnly = indexOnly;
    return out;
}

} // namespace

Result<RepairSurvey> surveyRepair(FileIo& io, const std::string& fileBaseDir, int area)
{
    return survey(io, fileBaseDir, area, nullptr);
}

Result<RepairSurvey> repairArea(AreaStore& store, int area)
{
    auto found = survey(store.io(), store.fileBaseDir(), area, nullptr);
    if (!found)
        return found.error();
    if (!found->recovery && (!found->left.empty() || !found->rewrite))
        return found; // an unreadable journal, no header, or nothing the records need
    RepairSurvey done;
    if (found->recovery) {
        if (auto r = store.recover(area); !r)
            return r.error();
        // What is wrong now is what the recovery left.
        for (const std::string& line : found->repairs)
            if (line.starts_with("leftover file "))
                done.repairs.push_back(line);
    }
    // The records as they are after the recovery; tried again when the board wrote at the commit.
    for (int attempt = 0;; ++attempt) {
        auto edits = std::make_shared<Edits>();
        auto now = survey(store.io(), store.fileBaseDir(), area, edits.get());
        if (!now)
            return now.error();
        if (attempt == 0) {
            done.repairs.insert(done.repairs.end(), now->repairs.begin(), now->repairs.end());
            done.left = now->left;
        }
        if (!now->rewrite)
            return done;
        auto header = store.io().stamp(areaFilePath(store.io(), store.fileBaseDir(), area, AreaFileKind::Header));
        if (!header)
            return header.error();
        const uint64_t count = edits->fixes.size();
        if (header->size / HeaderRecord::kSize != count) {
            if (attempt < 3)
                continue;
            return Error { kChangedMeanwhile, changedMeanwhileMessage(area) };
        }
        RewritePlan plan;
        plan.keep(0, count);
        plan.setIndexOnly(edits->indexOnly);
        plan.setRecordEdit([edits](AreaFileKind kind, uint64_t record, uint8_t* bytes) {
            if (record >= edits->fixes.size())
                return;
            const uint8_t fix = edits->fixes[record];
            if (kind == AreaFileKind::Header) {
                if (fix & kHeaderDescription)
                    enc::putLong(bytes + HeaderRecord::kDescriptionPointerOffset, -1);
                if (fix & kHeaderLongName)
                    enc::putLong(bytes + HeaderRecord::kLongNamePointerOffset, 0);
            } else if (kind == AreaFileKind::Index) {
                if (fix & kRebuildIndex)
                    std::memcpy(bytes, edits->rebuilt[record].data(), IndexRecord::kSize);
                else if (fix & kIndexDescription)
                    enc::putLong(bytes + IndexRecord::kDescriptionPointerOffset, -1);
            } else if (kind == AreaFileKind::LongName && (fix & kClearLongName)) {
                std::memset(bytes, 0, LongNameRecord::kSize);
            }
        });
        auto written = store.rewrite(area, plan, *header);
        if (!written) {
            if (written.error().code == kChangedMeanwhile && attempt < 3)
                continue;
            return written.error();
        }
        done.rewrite = true;
        return done;
    }
}

} // namespace qv
