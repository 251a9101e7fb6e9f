#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;

namespace qv {

// Form10: the file being copied, a busy indicator and, for large files, the bytes copied. Shown
// without blocking from the first copy of a transfer until the caller closes it after the last.
class CopyProgressWindow : public QWidget {
    Q_OBJECT
public:
    // Files below this size are copied too quickly for a bar to say anything.
    static constexpr qint64 kBarThreshold = qint64(4) * 1024 * 1024;

    explicit CopyProgressWindow(QWidget* parent = nullptr);

    // "Copying file 'C:\files\test.zip'...": the first character upper case, the rest lower case;
    // a host path ("/srv/files/Test.zip") as it is.
    static QString labelFor(const QString& path);

    void setSourcePath(const QString& path);
    void setBytes(qint64 done, qint64 total);
    QPushButton* cancelButton() const { return m_cancel; }

signals:
    void cancelRequested();

protected:
    // Closing it is Cancel: the window stays until the transfer has undone its copies.
    void closeEvent(QCloseEvent* event) override;

private:
    void centre();

    QLabel* m_label;
    QWidget* m_animation;
    QProgressBar* m_progress;
    QPushButton* m_cancel;
};

} // namespace qv
