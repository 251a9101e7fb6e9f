#include "storage/AreaStore.h"

#include "storage/AreaFiles.h"
#include "storage/HeaderRecord.h"
#include "storage/Text.h"

#include <cerrno>

namespace qv {

AreaStore::AreaStore(FileIo& io, std::string fileBaseDir)
    : m_io(&io)
    , m_fileBaseDir(std::move(fileBaseDir))
{
}

LoadOutcome AreaStore::load(int area, bool useLongNames, const std::function<void(int, int)>& progress) const
{
    LoadOutcome outcome;
    auto fail = [&](const Error& e) {
        const bool missing
            = e.code == ENOENT || e.code == ENOTDIR || e.code == EACCES || e.code == EIO || e.code == ENAMETOOLONG;
        outcome.rows.clear();
        outcome.error = LoadError { missing ? LoadError::Kind::FileBasePathNotFound : LoadError::Kind::Unexpected,
            e.code, e.message };
        return outcome;
    };
    auto hdr = m_io->open(areaFilePath(*m_io, m_fileBaseDir, area, AreaFileKind::Header), FileIo::Mode::Read);
    if (!hdr)
        return fail(hdr.error());
    ScopedHandle header(*m_io, *hdr);
    std::optional<ScopedHandle> longNames;
    if (useLongNames) {
        if (auto l = m_io->open(areaFilePath(*m_io, m_fileBaseDir, area, AreaFileKind::LongName), FileIo::Mode::Read))
            longNames.emplace(*m_io, *l);
    }
    auto length = m_io->size(header.get());
    if (!length)
        return fail(length.error());
    const auto count = int(recordCount(*length, AreaFileKind::Header));
    outcome.rows.reserve(size_t(count));
    // Read in blocks; the records are still taken one by one in file order.
    constexpr int kBlock = 512;
    std::vector<uint8_t> block(size_t(kBlock) * HeaderRecord::kSize);
    for (int first = 0; first < count; first += kBlock) {
        const int n = std::min(kBlock, count - first);
        auto got = m_io->readAt(
            header.get(), uint64_t(first) * HeaderRecord::kSize, block.data(), size_t(n) * HeaderRecord::kSize);
        if (!got)
            return fail(got.error());
        for (int k = 0; k < n && size_t(k + 1) * HeaderRecord::kSize <= *got; ++k) {
            const int i = first + k + 1;
            if (progress && i % 10 == 0)
                progress(i, count);
            const auto record = HeaderRecord::decode(std::span<const uint8_t, HeaderRecord::kSize>(
                block.data() + size_t(k) * HeaderRecord::kSize, HeaderRecord::kSize));
            std::string longName;
            if (longNames) {
                uint8_t field[256] = {};
                if (auto r = m_io->readAt(longNames->get(), uint64_t(i - 1) * 256, field, sizeof field); r && *r > 0)
                    longName = enc::getText(field, 255);
            }
            LoadedRow row;
            row.comment = text::trim(record.name()).empty();
            row.name = text::displayName(record.name(), longName);
            row.size = record.size();
            row.checksum = record.checksum();
            row.uploader = record.uploader();
            row.uploadDate = record.uploadDate();
            row.fileDate = record.fileDate();
            row.lastDownloadDate = record.lastDownloadDate();
            row.downloads = record.downloads();
            outcome.rows.push_back(std::move(row));
        }
    }
    return outcome;
}

} // namespace qv
