#pragma once

#include <QDialog>
#include <QString>

#include <optional>

class QComboBox;
class QLabel;
class QRadioButton;

namespace qv {

class Board;

struct SendToChoice {
    int area = 0;
    bool move = false;
};

// frmSendTo: the only window of a run with a file on the command line; picks the area the file
// goes to and whether it is moved or copied there.
class SendToWindow : public QDialog {
    Q_OBJECT
public:
    SendToWindow(const Board& board, const QString& file, QWidget* parent = nullptr);

    static std::optional<SendToChoice> ask(const Board& board, const QString& file, QWidget* parent = nullptr);

    // A path of 51 characters or more is cut to its first 4 and last 43 characters around "...".
    static QString shownPath(const QString& path);

    // What OK answers; nullopt when no area can be picked.
    std::optional<SendToChoice> choice() const;

private:
    QComboBox* m_area;
    QRadioButton* m_move;
    QRadioButton* m_copy;
    QLabel* m_file;
};

} // namespace qv
