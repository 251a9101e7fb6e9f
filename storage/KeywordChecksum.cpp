#include "storage/KeywordChecksum.h"

#include "storage/HeaderRecord.h"
#include "storage/IndexRecord.h"
#include "storage/Text.h"

#include <zlib.h>

namespace qv {

int32_t keywordChecksum(std::string_view keyword)
{
    const std::string folded = text::toUpper(text::trim(keyword));
    // zlib's crc32 applies the final inversion the board's register leaves out, so undo it.
    const uLong crc = crc32(0L, reinterpret_cast<const Bytef*>(folded.data()), static_cast<uInt>(folded.size()));
    return static_cast<int32_t>(~static_cast<uint32_t>(crc));
}

bool storeKeyword(HeaderRecord& header, IndexRecord& index, size_t k, std::string_view keyword)
{
    const std::string_view trimmed = text::trim(keyword);
    if (k >= HeaderRecord::kKeywordCount || trimmed.size() > HeaderRecord::kKeywordWidth)
        return false;
    header.setKeyword(k, trimmed);
    index.setKeywordChecksum(k, keywordChecksum(trimmed));
    return true;
}

} // namespace qv
