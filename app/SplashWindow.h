#pragma once

#include <QElapsedTimer>
#include <QWidget>

namespace qv {

// The start-up window: program name and version while the board is read.
class SplashWindow : public QWidget {
    Q_OBJECT
public:
    explicit SplashWindow(const QString& version, QWidget* parent = nullptr);
    // Keeps the window up for at least `milliseconds` since it was shown, events flowing.
    void waitShown(int milliseconds);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QElapsedTimer m_shown;
};

} // namespace qv
