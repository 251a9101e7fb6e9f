#include "cli/TextTable.h"

namespace qv {

TextTable::TextTable(QStringList headings, std::vector<bool> rightAligned)
    : m_headings(std::move(headings))
    , m_right(std::move(rightAligned))
{
    m_right.resize(size_t(m_headings.size()), false);
}

void TextTable::addRow(QStringList cells)
{
    while (cells.size() < m_headings.size())
        cells.append(QString());
    m_rows.push_back({ std::move(cells), {} });
}

void TextTable::addNote(const QString& line)
{
    if (!m_rows.empty())
        m_rows.back().notes.append(line);
}

QString TextTable::render() const
{
    std::vector<qsizetype> width(size_t(m_headings.size()));
    for (qsizetype c = 0; c < m_headings.size(); ++c) {
        width[size_t(c)] = m_headings[c].size();
        for (const Row& row : m_rows)
            width[size_t(c)] = std::max(width[size_t(c)], row.cells[c].size());
    }
    auto line = [&](const QStringList& cells) {
        QString out;
        for (qsizetype c = 0; c < m_headings.size(); ++c) {
            const bool last = c + 1 == m_headings.size();
            const int w = int(width[size_t(c)]);
            out += m_right[size_t(c)] ? cells[c].rightJustified(w) : last ? cells[c] : cells[c].leftJustified(w);
            if (!last)
                out += QStringLiteral("  ");
        }
        while (out.endsWith(QLatin1Char(' ')))
            out.chop(1);
        return out + QLatin1Char('\n');
    };
    QString out = line(m_headings);
    for (const Row& row : m_rows) {
        out += line(row.cells);
        for (const QString& note : row.notes)
            out += note + QLatin1Char('\n');
    }
    return out;
}

} // namespace qv
