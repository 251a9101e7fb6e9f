#pragma once

// Helpers of the tests that drive real windows.

#include <QString>

#include <functional>

class QWidget;

namespace qv::test {

// QV_SCREENSHOT_DIR=dir saves the window as the test sees it (dir/name.png), for looking at.
void shoot(QWidget* window, const QString& name);

// Runs act on the next modal window once it is up (the test then starts what opens it), as long
// as the test that asked is running.
void whenModalOpens(std::function<void(QWidget*)> act);

} // namespace qv::test
