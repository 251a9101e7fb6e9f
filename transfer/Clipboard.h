#pragma once

#include "storage/AreaStore.h"

#include <QByteArray>
#include <QByteArray>
#include <QList>
#include <QObject>

#include <cstdint>
#include <vector>

namespace qv {

// The internal clipboard: which entries of which area were cut or copied. Nothing is written
// when it is filled. It holds each entry by its header record as loaded, not by its place: a
// paste finds the entries where they are then, whoever sorted, inserted or removed records of
// the area meanwhile, and refuses an entry that is gone or that identical records now stand for.
class Clipboard : public QObject {
    Q_OBJECT
public:
    enum class Mode { Cut = 1, Copy = 2 };
    struct Item {
        uint64_t position = 0; // 0-based record number in the source area when it was taken
        LoadedRow row; // as the file list showed it; row.record is what a paste looks for
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

    // The held entries are now at these positions of their area (after a paste of a copy); a
    // paste takes an entry there when identical records make its record name several places.
    void heldAt(const std::vector<uint64_t>& positions);
    // Entries of area with these header records were removed: the held ones are dropped.
    void entriesRemoved(int area, const QList<QByteArray>& records);

signals:
    void changed();

private:
    Mode m_mode = Mode::Copy;
    int m_area = 0;
    std::vector<Item> m_items;
    bool m_canPaste = false;
};

} // namespace qv
