#include "app/SplashWindow.h"

#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

namespace qv {

SplashWindow::SplashWindow(const QString& version, QWidget* parent)
    : QWidget(parent, Qt::SplashScreen | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("splash"));
    setStyleSheet(QStringLiteral("QWidget#splash { background: #1f4e79; } QLabel { color: white; }"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(48, 36, 48, 36);
    setMinimumWidth(340);
    auto* name = new QLabel(QStringLiteral("Quorvex"), this);
    QFont big = name->font();
    big.setPointSize(big.pointSize() * 2);
    big.setBold(true);
    name->setFont(big);
    auto* versionLabel = new QLabel(QStringLiteral("Version ") + version, this);
    versionLabel->setObjectName(QStringLiteral("version"));
    auto* what = new QLabel(QStringLiteral("File base editor"), this);
    layout->addWidget(name, 0, Qt::AlignHCenter);
    layout->addWidget(versionLabel, 0, Qt::AlignHCenter);
    layout->addSpacing(8);
    layout->addWidget(what, 0, Qt::AlignHCenter);
    adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void SplashWindow::showEvent(QShowEvent* event)
{
    m_shown.start();
    QWidget::showEvent(event);
}

void SplashWindow::waitShown(int milliseconds)
{
    if (!isVisible() || !m_shown.isValid())
        return;
    const qint64 left = milliseconds - m_shown.elapsed();
    if (left <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(int(left), &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

} // namespace qv
