#pragma once

#include <QWidget>

class QLabel;
class QListWidget;

namespace qv {

class Board;
class Clipboard;

// Form8: what the internal clipboard holds, redrawn whenever it changes, without blocking the
// browser window.
class ClipboardViewer : public QWidget {
    Q_OBJECT
public:
    ClipboardViewer(Clipboard& clipboard, const Board& board, QWidget* parent = nullptr);

    // Shows what is held now; changes arriving in one event-loop turn are drawn once.
    void redraw();
    int redrawCount() const { return m_redraws; }

private:
    void scheduleRedraw();

    Clipboard& m_clipboard;
    const Board& m_board;
    QListWidget* m_list;
    QLabel* m_area;
    bool m_redrawPending = false;
    int m_redraws = 0;
};

} // namespace qv
