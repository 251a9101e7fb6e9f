#pragma once

#include <QTextBrowser>

namespace qv {

// The manual, an HTML file installed with the program, in a window of its own beside the main
// window. Links outside the manual open in the desktop's browser.
class HelpWindow : public QTextBrowser {
    Q_OBJECT
public:
    explicit HelpWindow(QWidget* parent = nullptr);

    // The manual's first page: installed beside the program (../share/doc/quorvex), else in the
    // source tree of an uninstalled build; empty when there is none.
    static QString manualPath();
    void showManual(const QString& path);
};

} // namespace qv
