#pragma once

#include <QChar>
#include <QMap>
#include <QString>
#include <QStringList>

#include <memory>

namespace qv {

// Turns the DOS paths stored in the board's files ("C:\RA\FDB") into host paths. A drive comes
// from the table (QV.INI [Drives] or --drive); without an entry it is inferred from the board
// directory, whose trailing components usually repeat the start of the DOS path. An inferred
// root is kept for the drive from then on, so C:\FILES\UTIL lands beside C:\RA once C:\RA\FDB
// has told where C: lies.
class DosPathMapper {
public:
    DosPathMapper(QString boardDir, QMap<QChar, QString> drives);

    struct Mapped {
        QString hostPath; // empty when error is set
        QString error;
        bool ok() const { return error.isEmpty(); }
    };
    // Fails for an empty path, a drive that is neither in the table nor inferable, and anything
    // that would not be an absolute host path: nothing maps to the current directory.
    Mapped toHost(const QString& stored) const;

    // Infers the root of the drive the stored path names from the board directory and keeps it
    // for every later path on that drive, in this mapper and its copies; a root the table gives
    // or one inferred earlier stays. Called with the file base path when a board is opened.
    // Returns the drive whose root is known now, or a null QChar (no drive, nothing inferable).
    QChar learnDriveRoot(const QString& stored);

private:
    struct DosParts {
        QChar drive; // null for a path relative to the board directory
        QStringList parts;
    };
    static DosParts split(const QString& stored);
    QString inferRoot(const QStringList& dosParts) const;
    // The table's root, the learned one, or one inferred from these parts (then learned).
    QString driveRoot(QChar drive, const QStringList& dosParts) const;

    QString m_boardDir;
    QMap<QChar, QString> m_drives; // upper-case letters
    std::shared_ptr<QMap<QChar, QString>> m_learned;
};

} // namespace qv
