#include "browser/FileIcons.h"

#include "editing/ArchiverChoice.h"

#include <QApplication>
#include <QHash>
#include <QStyle>

namespace qv::FileIcons {

int smallIconIndex(const QString& displayName, bool comment, const QStringList& archiverExtensions)
{
    if (comment)
        return 2;
    // The archiver choice's rule: the text after the last dot ("v1.2.zip" is a ZIP).
    const QString ext = ArchiverChoice::extensionOf(displayName);
    if (ext.isEmpty())
        return 1;
    for (const QString& slot : archiverExtensions) {
        if (slot.trimmed().isEmpty())
            break;
        if (slot.toUpper() == ext)
            return 3;
    }
    static const QHash<QString, int> kFixed = {
        { "TXT", 5 },
        { "ASC", 5 },
        { "ANS", 5 },
        { "EXE", 4 },
        { "COM", 4 },
        { "BAT", 4 },
        { "GIF", 6 },
        { "BMP", 6 },
        { "JPG", 6 },
        { "JPEG", 6 },
        { "IMG", 6 },
        { "PNG", 6 },
        { "PCX", 6 },
        { "TIF", 6 },
        { "MP3", 7 },
        { "MP2", 7 },
        { "WAV", 7 },
        { "VOC", 7 },
        { "IFF", 7 },
        { "SMP", 7 },
        { "MID", 8 },
        { "XM", 8 },
        { "S3M", 8 },
        { "RMI", 8 },
        { "MOD", 8 },
    };
    return kFixed.value(ext, 1);
}

QIcon smallIcon(int index)
{
    static const QStyle::StandardPixmap kPictures[] = {
        QStyle::SP_FileIcon, // 1 anything else
        QStyle::SP_MessageBoxInformation, // 2 comment line
        QStyle::SP_DriveHDIcon, // 3 archive
        QStyle::SP_ComputerIcon, // 4 program
        QStyle::SP_FileDialogDetailedView, // 5 text
        QStyle::SP_DesktopIcon, // 6 picture
        QStyle::SP_MediaVolume, // 7 sound
        QStyle::SP_MediaPlay, // 8 music
    };
    static QHash<int, QIcon> cache;
    if (index < 1 || index > 8)
        index = 1;
    auto it = cache.find(index);
    if (it == cache.end())
        it = cache.insert(index, QApplication::style()->standardIcon(kPictures[index - 1]));
    return *it;
}

QIcon folderIcon(bool open)
{
    return QApplication::style()->standardIcon(open ? QStyle::SP_DirOpenIcon : QStyle::SP_DirClosedIcon);
}

} // namespace qv::FileIcons
