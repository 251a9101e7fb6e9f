#pragma once

#include "storage/AreaStore.h"

#include <QList>
#include <QObject>

#include <cstdint>
#include <vector>

namespace qv {

// The internal clipboard: which entries of which area were cut or copied. Nothing is written
// when it is filled; a paste reads the entries again, after checking that the held positions
// still hold the held rows. It follows removals and reorders of its area, and insertions in
// front of its entries, so a copy can be pasted again after the area changed.
class Clipboard : public QObject {
    Q_OBJECT
public:
    enum class Mode { Cut = 1, Copy = 2 };
    struct Item {
        uint64_t position = 0; // 0-based record number in the source area
        LoadedRow row; // as the file list showed it
    };
    static constexpr int kCapacity = 2000;

    explicit Clipboard(QObject* parent = nullptr);

    // Replaces what is held (items in list order). More than kCapacity items are refused and the
    // clipboard keeps what it had.
    bool take(Mode mode, int area, std::vector<Item> items);
    // After a completed paste of a cut: empty, mode Copy, nothing to paste until the next take.
    void pasteCompleted();

    Mode mode() const { return m_mode; }
    int area() const { return m_area; }
    const std::vector<Item>& items() const { return m_items; }
    bool isEmpty() const { return m_items.empty(); }
    // Set by a cut or copy (even of no rows), cleared by a completed paste of a cut.
    bool canPaste() const { return m_canPaste; }

    // Entries of area were removed at these positions (before the removal, any order): the held
    // ones are dropped and the rest renumbered.
    void entriesRemoved(int area, const QList<qint64>& positions);
    // count entries were inserted into area after the first `at`.
    void entriesInserted(int area, uint64_t at, uint64_t count);
    // Record k of area is now record order[k] of before.
    void areaReordered(int area, const QList<qint64>& order);

signals:
    void changed();

private:
    Mode m_mode = Mode::Copy;
    int m_area = 0;
    std::vector<Item> m_items;
    bool m_canPaste = false;
};

} // namespace qv
