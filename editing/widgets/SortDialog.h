#pragma once

#include "editing/AreaSorter.h"

#include <QDialog>

#include <optional>

class QRadioButton;

namespace qv {

// Form15: asks for the key and the direction of a sort. The title names the scope ("All" for the
// column-header sort, "Selection" for the selected rows).
class SortDialog : public QDialog {
    Q_OBJECT
public:
    enum class Scope { All, Selection };

    SortDialog(Scope scope, SortKey preselected, QWidget* parent = nullptr);

    SortKey key() const;
    bool descending() const;

    // Runs the dialog; nullopt when it was cancelled.
    struct Choice {
        SortKey key;
        bool descending;
    };
    static std::optional<Choice> ask(QWidget* parent, Scope scope, SortKey preselected);

    // The option captions in key order, and the two orders (index 0 descending).
    static QStringList keyCaptions();

private:
    QRadioButton* m_keys[kSortKeyCount] = {};
    QRadioButton* m_descending = nullptr;
    QRadioButton* m_ascending = nullptr;
};

} // namespace qv
