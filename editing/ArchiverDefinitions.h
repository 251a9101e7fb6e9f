#pragma once

#include "settings/Settings.h"

#include <QString>

#include <array>
#include <vector>

namespace qv {

// The archiver table as the Preferences dialog edits it: one row per used slot, in slot order.
class ArchiverDefinitions {
public:
    static constexpr int kMaxRows = 32;
    struct Row {
        QString extension;
        QString path;
        QString options;
        bool operator==(const Row&) const = default;
    };

    // Slot 1 up to the first empty extension.
    static ArchiverDefinitions fromSlots(const std::array<ArchiverSlot, 32>& table);
    // The rows into slots 1, 2, ...; every later slot emptied, so the table ends after them.
    std::array<ArchiverSlot, 32> toSlots() const;

    // Trimmed, upper case, at most 3 characters.
    static QString normalizedExtension(const QString& text);

    const std::vector<Row>& rows() const { return m_rows; }
    // Row index of an extension (normalised first), -1 when none.
    int find(const QString& extension) const;
    bool isFull() const { return int(m_rows.size()) >= kMaxRows; }
    // Adds a row at the end; false when the table is full.
    bool add(Row row);
    void replace(int index, const QString& path, const QString& options);
    void remove(int index);

private:
    std::vector<Row> m_rows;
};

} // namespace qv
