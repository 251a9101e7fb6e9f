#include "transfer/widgets/SendToWindow.h"

#include "board/Board.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

namespace qv {

SendToWindow::SendToWindow(const Board& board, const QString& file, QWidget* parent)
    : QDialog(parent)
{
    setObjectName("frmSendTo");
    setWindowTitle(QStringLiteral("Send To Area"));
    setModal(true);

    m_area = new QComboBox(this);
    m_area->setObjectName("cmbAreaPick");
    m_area->addItems(board.numberedAreaItems());
    m_area->setCurrentIndex(m_area->count() ? 0 : -1);
    m_area->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_area->setMinimumContentsLength(32);

    m_move = new QRadioButton(QStringLiteral("&Move file to area"), this);
    m_move->setObjectName("optMoveSend_0");
    m_copy = new QRadioButton(QStringLiteral("&Copy file to area"), this);
    m_copy->setObjectName("optMoveSend_1");
    // Copying leaves the original where it was: the choice that cannot lose anything.
    m_copy->setChecked(true);

    m_file = new QLabel(QStringLiteral("File: ") + shownPath(file), this);
    m_file->setObjectName("lblFile");
    m_file->setTextFormat(Qt::PlainText);
    m_file->setToolTip(file);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName("cmdOK");
    ok->setDefault(true);
    ok->setEnabled(m_area->count() > 0);
    auto* cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    cancel->setObjectName("cmdCancel");
    cancel->setAutoDefault(false);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_area);
    layout->addWidget(m_move);
    layout->addWidget(m_copy);
    layout->addSpacing(4);
    layout->addWidget(m_file);
    layout->addSpacing(6);
    layout->addLayout(buttons);

    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

std::optional<SendToChoice> SendToWindow::ask(const Board& board, const QString& file, QWidget* parent)
{
    SendToWindow window(board, file, parent);
    if (window.exec() != QDialog::Accepted)
        return std::nullopt;
    return window.choice();
}

QString SendToWindow::shownPath(const QString& path)
{
    if (path.size() <= 50)
        return path;
    return path.left(4) + QStringLiteral("...") + path.right(43);
}

std::optional<SendToChoice> SendToWindow::choice() const
{
    if (m_area->currentIndex() < 0)
        return std::nullopt;
    const int area = m_area->currentText().left(5).toInt();
    if (area <= 0)
        return std::nullopt;
    return SendToChoice { area, m_move->isChecked() };
}

} // namespace qv
