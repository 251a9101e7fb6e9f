#pragma once

#include "board/Messages.h"
#include "cli/ToolContext.h"

#include <QString>

#include <optional>

namespace qv {

// A 1-based entry position as list numbers it, checked against the area; the 0-based record.
// nullopt after the failure was reported (no such entry) or for text that is no position
// (usage set, reported by the caller).
inline std::optional<uint64_t> parsePosition(const QString& text)
{
    bool ok = false;
    const qint64 n = text.toLongLong(&ok);
    if (!ok || n < 1)
        return std::nullopt;
    return uint64_t(n - 1);
}

inline bool entryExists(ToolContext& c, int area, uint64_t record)
{
    AreaStore& store = c.board().store();
    (void)store.recover(area);
    auto count = store.count(area);
    if (count && record < *count)
        return true;
    c.fail(count ? messages::noSuchEntry(area, record + 1) : QString::fromStdString(count.error().message));
    return false;
}

// The entry as qvtool read it: a change resting on it is refused when another program changes it
// before the change commits. nullopt after the failure was reported.
inline std::optional<RowIdentity> readEntry(ToolContext& c, int area, uint64_t record)
{
    if (!entryExists(c, area, record))
        return std::nullopt;
    auto header = c.board().store().readHeader(area, record);
    if (!header) {
        c.fail(QString::fromStdString(header.error().message));
        return std::nullopt;
    }
    return RowIdentity { record, header->encode() };
}

} // namespace qv
