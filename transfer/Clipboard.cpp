#include "transfer/Clipboard.h"

#include <QSet>

#include <algorithm>

namespace qv {

Clipboard::Clipboard(QObject* parent)
    : QObject(parent)
{
}

bool Clipboard::take(Mode mode, int area, std::vector<Item> items)
{
    if (items.size() > size_t(kCapacity))
        return false;
    std::sort(items.begin(), items.end(), [](const Item& l, const Item& r) { return l.position < r.position; });
    // Held across reloads of the list: not pinning the buffers of the load they came from.
    for (Item& item : items)
        item.row.detach();
    m_mode = mode;
    m_area = area;
    m_items = std::move(items);
    m_canPaste = true;
    emit changed();
    return true;
}

void Clipboard::pasteCompleted()
{
    if (m_mode != Mode::Cut)
        return;
    m_items.clear();
    m_mode = Mode::Copy;
    m_canPaste = false;
    emit changed();
}

void Clipboard::heldAt(const std::vector<uint64_t>& positions)
{
    if (positions.size() != m_items.size())
        return;
    for (size_t k = 0; k < positions.size(); ++k)
        m_items[k].position = positions[k];
}

void Clipboard::entriesRemoved(int area, const QList<QByteArray>& records)
{
    if (area != m_area || m_items.empty() || records.isEmpty())
        return;
    const QSet<QByteArray> removed(records.begin(), records.end());
    const size_t before = m_items.size();
    std::erase_if(m_items, [&](const Item& item) {
        const QByteArray held(reinterpret_cast<const char*>(item.row.record.data()), qsizetype(item.row.record.size()));
        return removed.contains(held);
    });
    if (m_items.size() != before)
        emit changed();
}

} // namespace qv
