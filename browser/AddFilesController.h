#pragma once

#include "browser/BrowserServices.h"

#include <QObject>

#include <functional>
#include <memory>

class QDialog;
class QTemporaryDir;

namespace qv {

class MainWindow;

// The window's side of extracting descriptions, adding files and the Preferences dialog.
class AddFilesController : public QObject {
    Q_OBJECT
public:
    AddFilesController(BrowserServices& services, MainWindow* window);
    ~AddFilesController() override;

    void extractDescriptions();
    void openAddFiles();
    void openPreferences();
    // Files of a file manager dropped onto the list: each copied into the area's directory and
    // added behind the last entry, as send-to does.
    void addDroppedFiles(const QStringList& paths);

    // The dialogs the commands open, for tests: (dialog) is called once it is shown.
    void setDialogHook(std::function<void(QDialog*)> hook) { m_hook = std::move(hook); }

private:
    QString tempDir();
    void showStatus(const QString& text);
    void restoreCounts();

    BrowserServices& m_services;
    MainWindow* m_window;
    std::unique_ptr<QTemporaryDir> m_ownTemp;
    std::function<void(QDialog*)> m_hook;
};

} // namespace qv
