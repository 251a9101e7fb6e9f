#include "storage/AreaCheck.h"

#include "storage/AreaFiles.h"
#include "storage/AreaJournal.h"
#include "storage/HeaderRecord.h"
#include "storage/IndexRecord.h"
#include "storage/LongName.h"
#include "storage/Text.h"

#include <optional>

namespace qv {

namespace {

std::optional<std::vector<uint8_t>> readIfPresent(FileIo& io, const std::string& path, std::string& failure)
{
    if (!io.exists(path))
        return std::nullopt;
    auto bytes = readWholeFile(io, path, AreaCheck::kFileLimit);
    if (!bytes) {
        failure = "cannot read " + path + ": " + bytes.error().message;
        return std::nullopt;
    }
    return std::move(*bytes);
}

void checkRemainder(std::vector<std::string>& out, const std::string& what, size_t length, size_t recordSize)
{
    if (length % recordSize != 0)
        out.push_back(what + " file has " + text::counted(length % recordSize, "trailing byte") + " after its "
            + text::counted(length / recordSize, "record"));
}

} // namespace

std::vector<std::string> AreaCheck::run(FileIo& io, const std::string& fileBaseDir, int area)
{
    std::vector<std::string> out;
    if (fileBaseDir.empty())
        return { "no file database directory" };
    const std::string hdrPath = areaFilePath(io, fileBaseDir, area, AreaFileKind::Header);
    std::string failure;
    const auto hdr = readIfPresent(io, hdrPath, failure);
    if (!hdr) {
        out.push_back(failure.empty() ? "header file " + hdrPath + " not found" : failure);
        return out;
    }
    failure.clear();
    const auto idx = readIfPresent(io, areaFilePath(io, fileBaseDir, area, AreaFileKind::Index), failure);
    if (!failure.empty())
        out.push_back(failure);
    failure.clear();
    const auto lfn = readIfPresent(io, areaFilePath(io, fileBaseDir, area, AreaFileKind::LongName), failure);
    if (!failure.empty())
        out.push_back(failure);
    const std::string txtPath = areaFilePath(io, fileBaseDir, area, AreaFileKind::Description);
    uint64_t txtLength = 0;
    if (io.exists(txtPath)) {
        if (auto n = io.fileSize(txtPath))
            txtLength = *n;
    }

    const size_t hdrCount = hdr->size() / HeaderRecord::kSize;
    checkRemainder(out, "header", hdr->size(), HeaderRecord::kSize);
    size_t idxCount = 0;
    if (idx) {
        idxCount = idx->size() / IndexRecord::kSize;
        checkRemainder(out, "index", idx->size(), IndexRecord::kSize);
        if (idxCount != hdrCount)
            out.push_back("index file holds " + text::counted(idxCount, "record") + ", header file "
                + std::to_string(hdrCount));
    } else if (hdrCount > 0) {
        out.push_back("index file is missing for " + text::counted(hdrCount, "header record"));
    }
    if (lfn) {
        const size_t lfnCount = lfn->size() / LongNameRecord::kSize;
        checkRemainder(out, "long-name", lfn->size(), LongNameRecord::kSize);
        // A shorter long-name file is normal (missing records read as empty); a longer one is not.
        if (lfnCount > hdrCount)
            out.push_back("long-name file holds " + text::counted(lfnCount, "record") + ", header file "
                + std::to_string(hdrCount));
    }

    auto pointerPastEnd = [&](int32_t p) { return p >= 0 && uint64_t(p) >= txtLength; };
    const size_t lfnCount = lfn ? lfn->size() / LongNameRecord::kSize : 0;
    for (size_t i = 0; i < hdrCount; ++i) {
        const std::string at = "record " + std::to_string(i + 1) + ": ";
        const auto h = HeaderRecord::decode(
            std::span<const uint8_t, HeaderRecord::kSize>(hdr->data() + i * HeaderRecord::kSize, HeaderRecord::kSize));
        if (pointerPastEnd(h.descriptionPointer()))
            out.push_back(at + "header description pointer " + std::to_string(h.descriptionPointer())
                + " is past the end of the description file (" + std::to_string(txtLength) + " bytes)");
        if (h.longNamePointer() > 0 && pointerPastEnd(h.longNamePointer()))
            out.push_back(at + "long-name pointer " + std::to_string(h.longNamePointer())
                + " is past the end of the description file (" + std::to_string(txtLength) + " bytes)");
        if (i < lfnCount) {
            // The board's tools move header records without the long-name file beside them.
            const auto l = LongNameRecord::decode(std::span<const uint8_t, LongNameRecord::kSize>(
                lfn->data() + i * LongNameRecord::kSize, LongNameRecord::kSize));
            const std::string name = l.name();
            if (!text::trim(name).empty() && !longname::belongsTo(h.name(), name))
                out.push_back(at + "long name \"" + name + "\" does not belong to header name \"" + h.name() + "\"");
        }
        if (i >= idxCount)
            continue;
        const auto x = IndexRecord::decode(
            std::span<const uint8_t, IndexRecord::kSize>(idx->data() + i * IndexRecord::kSize, IndexRecord::kSize));
        if (pointerPastEnd(x.descriptionPointer()))
            out.push_back(at + "index description pointer " + std::to_string(x.descriptionPointer())
                + " is past the end of the description file (" + std::to_string(txtLength) + " bytes)");
        if (x.descriptionPointer() != h.descriptionPointer())
            out.push_back(at + "index description pointer " + std::to_string(x.descriptionPointer())
                + " differs from the header's " + std::to_string(h.descriptionPointer()));
        // The board copies names unchanged, so only the letters have to agree, not their case.
        if (!text::equalsIgnoreCase(x.name(), h.name()))
            out.push_back(at + "index name \"" + x.name() + "\" does not match header name \"" + h.name() + "\"");
    }

    const std::string stem = "fdb" + std::to_string(area);
    for (const std::string& leftover : { "hdr/" + stem + ".$$$", "idx/" + stem + ".$$$", "hdr/" + stem + ".l$$", "txt/" + stem + ".$$$",
             "hdr/" + stem + ".jnl", "hdr/" + stem + ".j$$" }) {
        const std::string path = journalTarget(io, fileBaseDir, area, leftover);
        if (io.exists(path))
            out.push_back("leftover file " + path + " from an interrupted rewrite");
    }
    if (auto problem = journalProblem(io, fileBaseDir, area))
        out.push_back(*problem);
    return out;
}

} // namespace qv
