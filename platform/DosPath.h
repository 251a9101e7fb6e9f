#pragma once

#include <QChar>
#include <QMap>
#include <QString>

namespace qv {

// Turns the DOS paths stored in the board's files ("C:\RA\FDB") into host paths. A drive comes
// from the table (QV.INI [Drives] or --drive); without an entry it is guessed from the board
// directory, whose trailing components usually repeat the start of the DOS path.
class DosPathMapper {
public:
    DosPathMapper(QString boardDir, QMap<QChar, QString> drives);

    struct Mapped {
        QString hostPath; // empty when error is set
        QString error;
        bool ok() const { return error.isEmpty(); }
    };
    Mapped toHost(const QString& stored) const;

private:
    QString driveRoot(QChar drive, const QStringList& dosParts) const;

    QString m_boardDir;
    QMap<QChar, QString> m_drives; // upper-case letters
};

} // namespace qv
