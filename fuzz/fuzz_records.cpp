// Decodes arbitrary bytes as header, index and long-name records and checks that reading never
// strays outside a record and that every byte survives decode and encode.
#include "fuzz/support/Check.h"
#include "storage/Encoding.h"
#include "storage/HeaderRecord.h"
#include "storage/IndexRecord.h"
#include "storage/KeywordChecksum.h"
#include "storage/Text.h"

#include <cstring>

namespace {
template <class Record> Record decodeAt(const uint8_t* data)
{
    typename Record::Bytes bytes;
    std::memcpy(bytes.data(), data, bytes.size());
    Record r = Record::decode(bytes);
    check(r.encode() == bytes);
    return r;
}

void wordRoundTrip(const uint8_t* p)
{
    const int v = qv::enc::getWord(p);
    check(v >= 0 && v <= 65535);
    uint8_t back[2];
    check(qv::enc::putWord(back, v));
    check(back[0] == p[0] && back[1] == p[1]);
}

void header(const uint8_t* data)
{
    qv::HeaderRecord h = decodeAt<qv::HeaderRecord>(data);
    check(h.name().size() <= qv::HeaderRecord::kNameWidth);
    check(h.uploader().size() <= qv::HeaderRecord::kUploaderWidth);
    check(h.password().size() <= qv::HeaderRecord::kPasswordWidth);
    for (size_t k = 0; k < qv::HeaderRecord::kKeywordCount; ++k) {
        const std::string kw = h.keyword(k);
        check(kw.size() <= qv::HeaderRecord::kKeywordWidth);
        check(qv::keywordChecksum(kw) == qv::keywordChecksum(qv::text::toUpper(kw)));
    }
    for (int32_t date : { h.uploadDate(), h.fileDate(), h.lastDownloadDate() }) {
        const std::string t = qv::enc::dateText(date);
        check(t == "Invalid" || t.size() == 10);
    }
    wordRoundTrip(data + qv::HeaderRecord::kDownloadsOffset);
    wordRoundTrip(data + qv::HeaderRecord::kCostOffset);
    (void)qv::text::displayName(h.name(), "");

    // Rewriting one field in place leaves every other byte as it was.
    qv::HeaderRecord edited = h;
    edited.setName(qv::text::trim(h.name()));
    edited.setDescriptionPointer(-1);
    for (size_t i = qv::HeaderRecord::kNameWidth + 1; i < qv::HeaderRecord::kSize; ++i)
        if (i < qv::HeaderRecord::kDescriptionPointerOffset || i >= qv::HeaderRecord::kDescriptionPointerOffset + 4)
            check(edited.encode()[i] == data[i]);
}

void index(const uint8_t* data)
{
    qv::IndexRecord r = decodeAt<qv::IndexRecord>(data);
    check(r.name().size() <= qv::IndexRecord::kNameWidth);
    (void)qv::enc::dateText(r.uploadDate());
    for (size_t k = 0; k < qv::IndexRecord::kChecksumCount; ++k)
        (void)r.keywordChecksum(k);
    (void)r.descriptionPointer();
}

void longName(const uint8_t* data)
{
    qv::LongNameRecord r = decodeAt<qv::LongNameRecord>(data);
    const std::string name = r.name();
    check(name.size() <= qv::LongNameRecord::kWidth);
    qv::LongNameRecord again;
    check(again.setName(name));
    check(again.name() == name);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Every offset of the input is tried as the start of each kind of record it can hold.
    for (size_t off = 0; off + qv::HeaderRecord::kSize <= size; off += qv::HeaderRecord::kSize)
        header(data + off);
    for (size_t off = 0; off + qv::IndexRecord::kSize <= size; off += qv::IndexRecord::kSize)
        index(data + off);
    for (size_t off = 0; off + qv::LongNameRecord::kSize <= size; off += qv::LongNameRecord::kSize)
        longName(data + off);
    if (size > 0 && size < qv::HeaderRecord::kSize) {
        uint8_t padded[qv::HeaderRecord::kSize] = {};
        std::memcpy(padded, data, size);
        header(padded);
    }
    return 0;
}
