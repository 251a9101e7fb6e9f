#include "tests/support/WindowTestTools.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>

namespace qv::test {

void shoot(QWidget* window, const QString& name)
{
    const QString dir = qEnvironmentVariable("QV_SCREENSHOT_DIR");
    if (!dir.isEmpty())
        window->grab().save(dir + QLatin1Char('/') + name + QStringLiteral(".png"));
}

void whenModalOpens(std::function<void(QWidget*)> act)
{
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act = std::move(act)] {
        QWidget* w = QApplication::activeModalWidget();
        if (!w || !w->isVisible())
            return;
        poll->stop();
        poll->deleteLater();
        act(w);
    });
    poll->start(10);
}

} // namespace qv::test
