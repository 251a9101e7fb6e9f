#include "transfer/widgets/ClipboardViewer.h"

#include "board/Board.h"
#include "transfer/Clipboard.h"

#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace qv {

ClipboardViewer::ClipboardViewer(Clipboard& clipboard, const Board& board, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , m_clipboard(clipboard)
    , m_board(board)
{
    setObjectName("Form8");
    m_list = new QListWidget(this);
    m_list->setObjectName("List1");
    m_list->setUniformItemSizes(true);
    m_area = new QLabel(this);
    m_area->setObjectName("Label1");
    m_area->setTextFormat(Qt::PlainText);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_list, 1);
    layout->addWidget(m_area);

    const int em = fontMetrics().horizontalAdvance(QLatin1Char('M'));
    resize(em * 26, em * 24);
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }

    // The clipboard may change many times in one command (a removal drops entries one by one).
    connect(&m_clipboard, &Clipboard::changed, this, &ClipboardViewer::scheduleRedraw);
    redraw();
}

void ClipboardViewer::scheduleRedraw()
{
    if (m_redrawPending)
        return;
    m_redrawPending = true;
    QTimer::singleShot(0, this, &ClipboardViewer::redraw);
}

void ClipboardViewer::redraw()
{
    m_redrawPending = false;
    ++m_redraws;
    setWindowTitle(m_clipboard.mode() == Clipboard::Mode::Cut ? QStringLiteral("Internal Clipboard [Cut]")
                                                              : QStringLiteral("Internal Clipboard [Copy]"));
    QStringList rows;
    rows.reserve(int(m_clipboard.items().size()));
    for (const Clipboard::Item& item : m_clipboard.items())
        rows.append(m_board.text(item.row.name));
    m_list->clear();
    m_list->addItems(rows);
    const int area = m_clipboard.area();
    m_area->setText(
        QStringLiteral("Area: ") + (area > 0 ? Board::numberedItem(area, m_board.areaName(area)) : QString()));
}

} // namespace qv
