#include "browser/AreaSelectors.h"

#include "board/Board.h"

#include <QStringList>

#include <algorithm>

namespace qv {

NumericAreaSelector::NumericAreaSelector(QWidget* parent)
    : QComboBox(parent)
{
    setObjectName("Combo3");
    setEditable(false);
    connect(
        this, &QComboBox::activated, this, [this](int index) { emit areaChosen(areaNumberOfItem(itemText(index))); });
}

void NumericAreaSelector::populate(const Board& board)
{
    clear();
    m_indexOfArea.clear();
    const QStringList items = board.numberedAreaItems();
    for (int i = 0; i < items.size(); ++i)
        m_indexOfArea.insert(areaNumberOfItem(items[i]), i);
    addItems(items);
}

void NumericAreaSelector::setCurrentArea(int area)
{
    setCurrentIndex(m_indexOfArea.value(area, -1));
}

int NumericAreaSelector::firstAreaNumber() const
{
    return count() ? areaNumberOfItem(itemText(0)) : 0;
}

QString NumericAreaSelector::itemTextOf(int area) const
{
    const int index = m_indexOfArea.value(area, -1);
    return index >= 0 ? itemText(index) : QString();
}

AlphabeticAreaSelector::AlphabeticAreaSelector(QWidget* parent)
    : QComboBox(parent)
{
    setObjectName("Combo2");
    setEditable(false);
    connect(this, &QComboBox::activated, this, [this](int index) {
        if (!m_numeric)
            return;
        // The name itself must match: a name found inside a longer one ("Games" in "Old Games",
        // or in the digits "00012") would load some other area.
        const QString name = itemText(index);
        for (int i = 0; i < m_numeric->count(); ++i) {
            if (m_numeric->itemText(i).mid(7) == name) {
                emit areaChosen(NumericAreaSelector::areaNumberOfItem(m_numeric->itemText(i)));
                return;
            }
        }
    });
}

void AlphabeticAreaSelector::populate(const Board& board, const NumericAreaSelector* numeric)
{
    m_numeric = numeric;
    clear();
    addItems(board.areaNamesSorted());
}

void AlphabeticAreaSelector::setCurrentArea(int area)
{
    if (!m_numeric)
        return;
    setCurrentIndex(findText(m_numeric->itemTextOf(area).mid(7), Qt::MatchExactly));
}

} // namespace qv
