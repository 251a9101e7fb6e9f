#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace qv {

class HeaderRecord;
class IndexRecord;

// Checksum of a search keyword as the index file stores it and the board's keyword search
// computes it for a searched word: the complement of the common CRC-32 over the trimmed keyword
// in upper case, as a signed Long (an empty keyword gives -1).
int32_t keywordChecksum(std::string_view keyword);

// Stores keyword k (0..4) trimmed in the header record and its checksum in the index record.
// Returns false and changes nothing when k is out of range or the trimmed keyword is longer than
// the field.
bool storeKeyword(HeaderRecord& header, IndexRecord& index, size_t k, std::string_view keyword);

} // namespace qv
