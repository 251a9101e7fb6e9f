#pragma once

#include <QComboBox>
#include <QHash>

namespace qv {

class Board;

// Combo3: "00012: Utilities" for every area in record order.
class NumericAreaSelector : public QComboBox {
    Q_OBJECT
public:
    explicit NumericAreaSelector(QWidget* parent = nullptr);
    void populate(const Board& board);
    void setCurrentArea(int area);
    // The number in the first five characters of the first item; 0 when there is none.
    int firstAreaNumber() const;
    QString itemTextOf(int area) const;
    static int areaNumberOfItem(const QString& itemText) { return itemText.left(5).toInt(); }

signals:
    // The user chose an item (also the one already shown).
    void areaChosen(int area);

private:
    QHash<int, int> m_indexOfArea;
};

// Combo2: the area names, sorted; a name chosen loads the first area in Combo3 holding it.
class AlphabeticAreaSelector : public QComboBox {
    Q_OBJECT
public:
    explicit AlphabeticAreaSelector(QWidget* parent = nullptr);
    void populate(const Board& board, const NumericAreaSelector* numeric);
    void setCurrentArea(int area);

signals:
    void areaChosen(int area);

private:
    const NumericAreaSelector* m_numeric = nullptr;
};

} // namespace qv
