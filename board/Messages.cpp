#include "board/Messages.h"

#include "platform/CodePage.h"
#include "storage/AreaStore.h"
#include "storage/StatusTexts.h"
#include "storage/Text.h"

#include <cerrno>

namespace qv::messages {

Message fileBaseNotFound(const QString& storedPath)
{
    return { QStringLiteral("Fatal Error"),
        QStringLiteral("File database path ") + storedPath + QStringLiteral(" not found!") };
}

Message loadFailed(const LoadError& error, const QString& storedFileBasePath)
{
    if (error.kind == LoadError::Kind::FileBasePathNotFound)
        return fileBaseNotFound(storedFileBasePath);
    return { QStringLiteral("Quorvex"),
        QStringLiteral("Unexpected error (") + QString::number(error.code)
            + QStringLiteral(") in ReadArea, please contact Kestrelwick!") };
}

QString areaDoesNotExist(int area)
{
    return QStringLiteral("Area %1 does not exist").arg(area);
}

Message exploreFailed(const QString& directory, const QString& reason)
{
    return { QStringLiteral("Explore"),
        QStringLiteral("Could not open the directory ") + directory + QStringLiteral(":\n") + reason };
}

Message contentsFailed(const QString& path, const QString& reason)
{
    return { QStringLiteral("Contents"), QStringLiteral("Could not open ") + path + QStringLiteral(":\n") + reason };
}

Message noConfiguration()
{
    return { QStringLiteral("Fatal Error!"), QStringLiteral("Unable to read RA configuration files (FILES.RA)") };
}

QString areaNeedsAttention(int area)
{
    return QStringLiteral("An interrupted change of area %1 could not be finished; its files were left as they are. "
                          "Run \"qvtool check %1\" for details.")
        .arg(area);
}

QString areaChangedMeanwhile(int area)
{
    return QString::fromStdString(changedMeanwhileMessage(area));
}

QString changeFailed(int area, const Error& error)
{
    if (error.code == kChangedMeanwhile)
        return areaChangedMeanwhile(area);
    return QStringLiteral("Area %1 could not be changed (error %2): %3")
        .arg(area)
        .arg(error.code)
        .arg(QString::fromStdString(error.message));
}

Message confirmDeletion(const QString& rowText)
{
    return { QStringLiteral("Confirm Deletion"),
        QStringLiteral("Do you want to remove the file\n\n") + rowText + QStringLiteral("\n\nfrom your harddisk?") };
}

QStringList confirmDeletionButtons()
{
    return { QStringLiteral("&Yes"), QStringLiteral("&Yes to All"), QStringLiteral("&No"), QStringLiteral("&No to All"),
        QStringLiteral("&Cancel") };
}

Message updateSkipped(const QStringList& rowTexts)
{
    return { QStringLiteral("Update"),
        QStringLiteral("These files could not be read and were left unchanged:\n\n")
            + rowTexts.join(QLatin1Char('\n')) };
}

Message changeFailed(int area, const QString& command, int code, const std::string& detail)
{
    if (code == ESTALE)
        return { command, areaChangedMeanwhile(area) };
    if (detail.find("next loaded") != std::string::npos)
        return { command,
            QStringLiteral("Area %1 could not be changed completely (error %2); the change is finished when the "
                           "area is next loaded.")
                .arg(area)
                .arg(code) };
    return { command,
        QStringLiteral("Area %1 could not be changed (error %2: %3); its files were left as they were.")
            .arg(area)
            .arg(code)
            .arg(QString::fromLocal8Bit(detail.c_str())) };
}

QString objectCount(uint64_t rows)
{
    return QString::fromStdString(objectCountText(rows));
}

QString megabytes(uint64_t totalBytes)
{
    return QString::fromStdString(megabyteText(totalBytes)) + QStringLiteral(" MB");
}

QString uploaderText(const std::string& stored, const CodePage& codePage)
{
    return text::trim(stored).empty() ? QStringLiteral("(Unknown)") : codePage.decode(stored);
}

} // namespace qv::messages
