#include "browser/AreaSelectors.h"

#include "platform/CodePage.h"
#include "storage/AreaConfiguration.h"
#include "storage/Text.h"

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

void NumericAreaSelector::populate(const AreaConfiguration& config, const CodePage& codePage)
{
    clear();
    m_indexOfArea.clear();
    for (const AreaInfo& a : config.areas()) {
        if (text::trim(a.name).empty())
            continue;
        m_indexOfArea.insert(a.number, count());
        addItem(QStringLiteral("%1: ").arg(a.number, 5, 10, QChar('0')) + codePage.decode(a.name));
    }
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

void AlphabeticAreaSelector::populate(
    const AreaConfiguration& config, const CodePage& codePage, const NumericAreaSelector* numeric)
{
    m_numeric = numeric;
    clear();
    QStringList names;
    for (const AreaInfo& a : config.areas())
        if (!text::trim(a.name).empty())
            names.append(codePage.decode(a.name));
    std::sort(names.begin(), names.end(),
        [](const QString& l, const QString& r) { return QString::compare(l, r, Qt::CaseInsensitive) < 0; });
    addItems(names);
}

void AlphabeticAreaSelector::setCurrentArea(int area)
{
    if (!m_numeric)
        return;
    setCurrentIndex(findText(m_numeric->itemTextOf(area).mid(7), Qt::MatchExactly));
}

} // namespace qv
