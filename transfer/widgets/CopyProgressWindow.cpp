#include "transfer/widgets/CopyProgressWindow.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace qv {
namespace {

// Dots on a circle, one of them highlighted and moving on: drawn, so no resource file is needed.
class BusyIndicator : public QWidget {
public:
    explicit BusyIndicator(QWidget* parent)
        : QWidget(parent)
    {
        setFixedSize(40, 40);
        auto* timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this] {
            m_step = (m_step + 1) % kDots;
            update();
        });
        timer->start(100);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.translate(width() / 2.0, height() / 2.0);
        const QColor colour = palette().color(QPalette::Highlight);
        for (int i = 0; i < kDots; ++i) {
            const int age = (m_step - i + kDots) % kDots;
            QColor c = colour;
            c.setAlphaF(1.0 - age / double(kDots));
            p.setPen(Qt::NoPen);
            p.setBrush(c);
            p.drawEllipse(QPointF(0, -14), 3.5, 3.5);
            p.rotate(360.0 / kDots);
        }
    }

private:
    static constexpr int kDots = 10;
    int m_step = 0;
};

} // namespace

CopyProgressWindow::CopyProgressWindow(QWidget* parent)
    : QWidget(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint)
{
    setObjectName("Form10");
    setWindowTitle(QStringLiteral("Veltrano FE"));
    m_animation = new BusyIndicator(this);
    m_animation->setObjectName("Animation1");
    m_label = new QLabel(QStringLiteral("Wait..."), this);
    m_label->setObjectName("Label1");
    m_label->setTextFormat(Qt::PlainText);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName("progress");
    m_progress->setRange(0, 1000);
    m_progress->setTextVisible(false);
    m_progress->hide();

    m_cancel = new QPushButton(QStringLiteral("&Cancel"), this);
    m_cancel->setObjectName("cmdCancel");
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        m_cancel->setEnabled(false);
        m_label->setText(QStringLiteral("Cancelling..."));
        emit cancelRequested();
    });
    // Input reaches only this window while it copies: the Cancel button, nothing else.
    setWindowModality(Qt::ApplicationModal);

    auto* text = new QVBoxLayout;
    text->addStretch(1);
    text->addWidget(m_label);
    text->addWidget(m_progress);
    text->addStretch(1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_cancel);
    text->addLayout(buttons);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(14, 12, 14, 12);
    layout->setSpacing(12);
    layout->addWidget(m_animation, 0, Qt::AlignVCenter);
    layout->addLayout(text, 1);

    const int em = fontMetrics().horizontalAdvance(QLatin1Char('M'));
    m_label->setMinimumWidth(em * 22);
    adjustSize();
    centre();
}

QString CopyProgressWindow::labelFor(const QString& path)
{
    // A host path is shown as it is, so the user can find the file; case is part of its name.
    if (path.startsWith(QLatin1Char('/')))
        return QStringLiteral("Copying file '") + path + QStringLiteral("'...");
    return QStringLiteral("Copying file '") + path.left(1).toUpper() + path.mid(1).toLower() + QStringLiteral("'...");
}

void CopyProgressWindow::setSourcePath(const QString& path)
{
    m_label->setText(labelFor(path));
    m_progress->hide();
    // A long path widens the window rather than being cut off, up to the screen's width.
    const QScreen* screen = QGuiApplication::primaryScreen();
    const int widest = screen ? screen->availableGeometry().width() * 9 / 10 : 1600;
    layout()->activate();
    const int wanted = sizeHint().width();
    if (wanted > width()) {
        resize(std::min(wanted, widest), height());
        centre();
    }
}

void CopyProgressWindow::setBytes(qint64 done, qint64 total)
{
    if (total < kBarThreshold) {
        m_progress->hide();
        return;
    }
    m_progress->setValue(int(std::clamp<qint64>(done, 0, total) * 1000 / total));
    m_progress->show();
}

void CopyProgressWindow::closeEvent(QCloseEvent* event)
{
    event->ignore();
    if (m_cancel->isEnabled())
        m_cancel->click();
}

void CopyProgressWindow::centre()
{
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
}

} // namespace qv
