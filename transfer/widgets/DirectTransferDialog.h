#pragma once

#include <QDialog>
#include <QString>

#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace qv {

class Board;
class Dialogs;

// Where a direct copy or move goes: the end of another area, or a plain directory.
struct DirectTarget {
    bool toArea = true;
    int area = 0;
    QString directory; // host path of an existing directory
    QString typedDirectory; // as the user typed it, for messages
};

// Form14: asks where the selected entries go. OK checks the destination and keeps the dialog
// open on a fault; only a checked destination closes it.
class DirectTransferDialog : public QDialog {
    Q_OBJECT
public:
    struct Setup {
        bool move = false;
        int currentArea = 0;
        bool currentIsComment = false; // the list's current row is a comment line
        bool itemsByNumber = true; // the browser's area selector shows numbers, not names
    };
    static const QString kNoArea; // what the picker shows for a number no area has

    DirectTransferDialog(const Board& board, Dialogs& dialogs, Setup setup, QWidget* parent = nullptr);

    static std::optional<DirectTarget> ask(QWidget* parent, const Board& board, Dialogs& dialogs, Setup setup);

    // The OK button: checks the destination and accepts with it, or says why not and stays open.
    void confirm();
    const std::optional<DirectTarget>& target() const { return m_target; }

    // The area of the picker's item; 0 while it shows kNoArea.
    int pickedArea() const;
    // What the picker shows: its item, or kNoArea.
    QString pickerText() const;

private:
    void chooseKind(bool toArea);
    void followAreaNumber(const QString& typed);
    void browse();
    void confirmArea();
    void confirmDirectory();
    // The host directory for what was typed: a host path or a DOS path through the board's
    // drives; empty when it cannot be mapped.
    QString hostDirectoryOf(const QString& typed) const;
    void centreOnScreen();

    const Board& m_board;
    Dialogs& m_dialogs;
    Setup m_setup;
    std::optional<DirectTarget> m_target;

    QLabel* m_heading;
    QRadioButton* m_toArea;
    QRadioButton* m_toDirectory;
    QLabel* m_areaLabel;
    QLineEdit* m_areaNumber;
    QComboBox* m_areaPicker;
    QLabel* m_pathLabel;
    QLineEdit* m_path;
    QPushButton* m_browse;
};

} // namespace qv
