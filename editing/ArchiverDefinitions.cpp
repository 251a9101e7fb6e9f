#include "editing/ArchiverDefinitions.h"

namespace qv {

ArchiverDefinitions ArchiverDefinitions::fromSlots(const std::array<ArchiverSlot, 32>& table)
{
    ArchiverDefinitions d;
    for (const ArchiverSlot& s : table) {
        if (s.extension.empty())
            break;
        d.m_rows.push_back(
            { QString::fromStdString(s.extension), QString::fromStdString(s.path), QString::fromStdString(s.options) });
    }
    return d;
}

std::array<ArchiverSlot, 32> ArchiverDefinitions::toSlots() const
{
    std::array<ArchiverSlot, 32> table {};
    for (size_t i = 0; i < m_rows.size() && i < table.size(); ++i)
        table[i] = { m_rows[i].extension.toStdString(), m_rows[i].path.toStdString(), m_rows[i].options.toStdString() };
    return table;
}

QString ArchiverDefinitions::normalizedExtension(const QString& text)
{
    return text.trimmed().toUpper().left(3);
}

int ArchiverDefinitions::find(const QString& extension) const
{
    const QString wanted = normalizedExtension(extension);
    if (wanted.isEmpty())
        return -1;
    for (size_t i = 0; i < m_rows.size(); ++i)
        if (m_rows[i].extension == wanted)
            return int(i);
    return -1;
}

bool ArchiverDefinitions::add(Row row)
{
    row.extension = normalizedExtension(row.extension);
    if (isFull() || row.extension.isEmpty())
        return false;
    row.path = row.path.trimmed();
    row.options = row.options.trimmed();
    m_rows.push_back(std::move(row));
    return true;
}

void ArchiverDefinitions::replace(int index, const QString& path, const QString& options)
{
    if (index < 0 || index >= int(m_rows.size()))
        return;
    m_rows[size_t(index)].path = path.trimmed();
    m_rows[size_t(index)].options = options.trimmed();
}

void ArchiverDefinitions::remove(int index)
{
    if (index >= 0 && index < int(m_rows.size()))
        m_rows.erase(m_rows.begin() + index);
}

} // namespace qv
