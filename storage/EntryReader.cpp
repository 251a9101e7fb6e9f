#include "storage/EntryReader.h"

#include "storage/AreaFiles.h"
#include "storage/Description.h"

#include <cerrno>

namespace qv {

Result<HeaderRecord> readHeaderRecord(FileIo& io, const std::string& fileBaseDir, int area, int n)
{
    if (n < 1)
        return Error { EINVAL, "record numbers start at 1" };
    const std::string path = areaFilePath(io, fileBaseDir, area, AreaFileKind::Header);
    auto h = io.open(path, FileIo::Mode::Read);
    if (!h)
        return h.error();
    ScopedHandle handle(io, *h);
    HeaderRecord::Bytes bytes {};
    auto got = io.readAt(handle.get(), uint64_t(n - 1) * HeaderRecord::kSize, bytes.data(), bytes.size());
    if (!got)
        return got.error();
    if (*got != HeaderRecord::kSize)
        return Error { ERANGE, "record " + std::to_string(n) + " is past the end of " + path };
    return HeaderRecord::decode(bytes);
}

std::string readEntryDescription(FileIo& io, const std::string& fileBaseDir, int area, int n)
{
    auto record = readHeaderRecord(io, fileBaseDir, area, n);
    if (!record)
        return {};
    const int32_t pointer = record->descriptionPointer();
    if (pointer < 0)
        return {};
    return readDescription(io, areaFilePath(io, fileBaseDir, area, AreaFileKind::Description), pointer);
}

} // namespace qv
