#pragma once

#include <QRegularExpression>
#include <QString>
#include <QStringList>

namespace qv {

class CodePage;

// The files of an area's directory that match a file mask, and those of them that have no
// entry yet ("not in base").
class PendingFiles {
public:
    struct Listing {
        QStringList all; // matching files, sorted without regard to case, as named on disk
        QStringList notInBase; // the same order, first letter in upper case
        QStringList refused; // of notInBase: why each file whose name the code page cannot hold cannot be added
    };

    // Trimmed, upper case; an empty mask is "*.*".
    static QString normalizedMask(const QString& mask);
    // DOS wildcards without case: "*" any run, "?" one character; "X.*" also matches "X"
    // without a dot. Several masks may be separated by ";".
    static bool matches(const QString& mask, const QString& name);

    // rowTexts: the texts of the file list's rows. A file is in the base when its name or its
    // 8.3 alias equals a row text without regard to case.
    // With a code page, the files adding would refuse are told in refused.
    static Listing list(
        const QString& directory, const QString& mask, const QStringList& rowTexts, const CodePage* codePage = nullptr);

private:
    static QList<QRegularExpression> compile(const QString& mask);
};

} // namespace qv
