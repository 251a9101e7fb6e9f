#include "tests/support/WindowTestTools.h"

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <gtest/gtest.h>

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
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    QObject::connect(poll, &QTimer::timeout, poll, [poll, test, act = std::move(act)] {
        // A window its test waited for in vain is not looked for in the tests after it.
        if (::testing::UnitTest::GetInstance()->current_test_info() != test) {
            poll->stop();
            poll->deleteLater();
            return;
        }
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
