#include "transfer/Clipboard.h"

#include <algorithm>
#include <unordered_map>

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

void Clipboard::entriesRemoved(int area, const QList<qint64>& positions)
{
    if (area != m_area || m_items.empty() || positions.isEmpty())
        return;
    std::vector<uint64_t> removed(positions.begin(), positions.end());
    std::sort(removed.begin(), removed.end());
    removed.erase(std::unique(removed.begin(), removed.end()), removed.end());
    std::vector<Item> kept;
    kept.reserve(m_items.size());
    for (Item& item : m_items) {
        const auto at = std::lower_bound(removed.begin(), removed.end(), item.position);
        if (at != removed.end() && *at == item.position)
            continue;
        item.position -= uint64_t(at - removed.begin());
        kept.push_back(std::move(item));
    }
    m_items = std::move(kept);
    emit changed();
}

void Clipboard::entriesInserted(int area, uint64_t at, uint64_t count)
{
    if (area != m_area || count == 0)
        return;
    bool moved = false;
    for (Item& item : m_items)
        if (item.position >= at) {
            item.position += count;
            moved = true;
        }
    if (moved)
        emit changed();
}

void Clipboard::areaReordered(int area, const QList<qint64>& order)
{
    if (area != m_area || m_items.empty())
        return;
    std::unordered_map<uint64_t, uint64_t> now;
    now.reserve(size_t(order.size()));
    for (qsizetype k = 0; k < order.size(); ++k)
        now[uint64_t(order[k])] = uint64_t(k);
    for (Item& item : m_items)
        if (auto it = now.find(item.position); it != now.end())
            item.position = it->second;
    // The held order is the list's order, top to bottom, wherever the sort put them.
    std::sort(m_items.begin(), m_items.end(), [](const Item& l, const Item& r) { return l.position < r.position; });
    emit changed();
}

} // namespace qv
