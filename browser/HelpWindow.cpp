#include "browser/HelpWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace qv {

HelpWindow::HelpWindow(QWidget* parent)
    : QTextBrowser(parent)
{
    setObjectName("helpWindow");
    setWindowFlag(Qt::Window);
    setWindowTitle(QStringLiteral("Quorvex Manual"));
    setOpenExternalLinks(true);
    resize(720, 640);
}

QString HelpWindow::manualPath()
{
    const QDir bin(QCoreApplication::applicationDirPath());
    const QStringList candidates = { bin.absoluteFilePath(QStringLiteral("../share/doc/quorvex/index.html")),
        bin.absoluteFilePath(QStringLiteral("../share/doc/quorvex/manual/index.html")),
        QStringLiteral(QV_SOURCE_DIR) + QStringLiteral("/docs/manual/index.html") };
    for (const QString& path : candidates)
        if (QFileInfo(path).isFile())
            return QFileInfo(path).canonicalFilePath();
    return {};
}

void HelpWindow::showManual(const QString& path)
{
    setSource(QUrl::fromLocalFile(path));
    show();
    raise();
    activateWindow();
}

} // namespace qv
