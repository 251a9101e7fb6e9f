#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <vector>

namespace qv {

// A settings file of [Section] lines and key=value lines, read and written one key at a time.
// Section and key names match without regard to case. A write changes only the line of its key
// (or adds the key at the end of its section, or the section at the end of the file); every other
// byte stays as it was. Each write goes through a temporary file renamed over the old one, so a
// failed write leaves the old file whole.
class ProfileFile {
public:
    explicit ProfileFile(QString path);
    virtual ~ProfileFile() = default;

    const QString& path() const { return m_path; }
    bool exists() const;

    // The value with its surrounding blanks removed; empty when the section or key is missing.
    virtual QString read(const QString& section, const QString& key) const;
    bool contains(const QString& section, const QString& key) const;
    // The key names of a section in file order, as spelled there.
    QStringList keys(const QString& section) const;
    // False when the file or its directory cannot be written; the file is then unchanged.
    // Virtual so that tests can make a chosen write fail.
    virtual bool write(const QString& section, const QString& key, const QString& value);

private:
    struct Line {
        QByteArray text; // without its line ending
        QByteArray ending; // "\n", "\r\n" or empty for a last line without one
    };
    struct Found {
        int sectionLine = -1; // the [Section] line, -1 when the section is missing
        int keyLine = -1; // the key's line, -1 when missing
        int lastContentLine = -1; // last non-blank line of the section
    };

    std::vector<Line> load(bool* ok = nullptr) const;
    static Found find(const std::vector<Line>& lines, const QString& section, const QString& key);

    QString m_path;
};

} // namespace qv
