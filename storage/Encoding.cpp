#include "storage/Encoding.h"
#include "storage/HeaderRecord.h"
#include "storage/Text.h"

#include <cstdio>

namespace qv {

std::string enc::dateText(int32_t value)
{
    auto d = decodeDate(value);
    if (!d)
        return "Invalid";
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d-%02d-%04d", d->day, d->month, d->year);
    return buf;
}

bool HeaderRecord::isComment() const { return text::trim(name()).empty(); }

} // namespace qv
