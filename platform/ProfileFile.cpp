#include "platform/ProfileFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <unistd.h>

namespace qv {

namespace {

QByteArray trimmedBlanks(const QByteArray& s)
{
    qsizetype b = 0;
    qsizetype e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t'))
        --e;
    return s.mid(b, e - b);
}

// The name of a [Section] line, or a null array for any other line.
QByteArray sectionName(const QByteArray& line)
{
    const QByteArray t = trimmedBlanks(line);
    if (!t.startsWith('['))
        return {};
    const qsizetype close = t.indexOf(']');
    if (close < 0)
        return {};
    QByteArray name = trimmedBlanks(t.mid(1, close - 1));
    if (name.isNull())
        name = QByteArray("");
    return name;
}

bool isComment(const QByteArray& trimmed)
{
    return trimmed.startsWith(';') || trimmed.startsWith('#');
}

bool sameName(const QByteArray& stored, const QString& wanted)
{
    return QString::fromUtf8(stored).compare(wanted, Qt::CaseInsensitive) == 0;
}

} // namespace

ProfileFile::ProfileFile(QString path)
    : m_path(std::move(path))
{
}

bool ProfileFile::exists() const
{
    return QFileInfo(m_path).isFile();
}

std::vector<ProfileFile::Line> ProfileFile::load(bool* ok) const
{
    std::vector<Line> lines;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (ok)
            *ok = !file.exists();
        return lines;
    }
    const QByteArray all = file.readAll();
    if (ok)
        *ok = file.error() == QFileDevice::NoError;
    qsizetype start = 0;
    while (start < all.size()) {
        const qsizetype nl = all.indexOf('\n', start);
        if (nl < 0) {
            lines.push_back({ all.mid(start), {} });
            break;
        }
        const bool cr = nl > start && all[nl - 1] == '\r';
        lines.push_back({ all.mid(start, nl - start - (cr ? 1 : 0)), cr ? QByteArray("\r\n") : QByteArray("\n") });
        start = nl + 1;
    }
    return lines;
}

ProfileFile::Found ProfileFile::find(const std::vector<Line>& lines, const QString& section, const QString& key)
{
    Found f;
    bool inside = false;
    for (int i = 0; i < int(lines.size()); ++i) {
        const QByteArray name = sectionName(lines[i].text);
        if (!name.isNull()) {
            if (inside)
                break; // the first section of that name is the one that counts
            inside = sameName(name, section);
            if (inside)
                f.sectionLine = f.lastContentLine = i;
            continue;
        }
        if (!inside)
            continue;
        const QByteArray t = trimmedBlanks(lines[i].text);
        if (t.isEmpty())
            continue;
        f.lastContentLine = i;
        if (isComment(t) || f.keyLine >= 0)
            continue;
        const qsizetype eq = t.indexOf('=');
        if (eq > 0 && sameName(trimmedBlanks(t.left(eq)), key))
            f.keyLine = i;
    }
    return f;
}

QString ProfileFile::read(const QString& section, const QString& key) const
{
    const std::vector<Line> lines = load();
    const Found f = find(lines, section, key);
    if (f.keyLine < 0)
        return {};
    const QByteArray& t = lines[size_t(f.keyLine)].text;
    return QString::fromUtf8(trimmedBlanks(t.mid(t.indexOf('=') + 1)));
}

bool ProfileFile::contains(const QString& section, const QString& key) const
{
    return find(load(), section, key).keyLine >= 0;
}

QStringList ProfileFile::keys(const QString& section) const
{
    QStringList names;
    bool inside = false;
    for (const Line& line : load()) {
        const QByteArray name = sectionName(line.text);
        if (!name.isNull()) {
            if (inside)
                break;
            inside = sameName(name, section);
            continue;
        }
        const QByteArray t = trimmedBlanks(line.text);
        const qsizetype eq = t.indexOf('=');
        if (inside && eq > 0 && !isComment(t))
            names << QString::fromUtf8(trimmedBlanks(t.left(eq)));
    }
    return names;
}

bool ProfileFile::write(const QString& section, const QString& key, const QString& value)
{
    bool readOk = true;
    std::vector<Line> lines = load(&readOk);
    if (!readOk)
        return false; // never replace a file we could not read whole
    // The rename below would succeed over a write-protected file; honour the protection.
    if (QFileInfo::exists(m_path) && ::access(QFile::encodeName(m_path).constData(), W_OK) != 0)
        return false;

    QByteArray ending("\n");
    for (const Line& l : lines)
        if (!l.ending.isEmpty()) {
            ending = l.ending;
            break;
        }
    const QByteArray keyLine = key.toUtf8() + '=' + value.toUtf8();
    const Found f = find(lines, section, key);
    if (f.keyLine >= 0) {
        // Keep the key's own spelling and indentation; only what follows '=' changes.
        QByteArray& t = lines[size_t(f.keyLine)].text;
        t = t.left(t.indexOf('=') + 1) + value.toUtf8();
    } else {
        const bool atEnd = f.sectionLine < 0 || f.lastContentLine == int(lines.size()) - 1;
        if (atEnd && !lines.empty() && lines.back().ending.isEmpty())
            lines.back().ending = ending;
        if (f.sectionLine >= 0) {
            lines.insert(lines.begin() + f.lastContentLine + 1, Line { keyLine, ending });
        } else {
            lines.push_back({ '[' + section.toUtf8() + ']', ending });
            lines.push_back({ keyLine, ending });
        }
    }

    QSaveFile out(m_path);
    out.setDirectWriteFallback(false);
    if (!out.open(QIODevice::WriteOnly))
        return false;
    for (const Line& l : lines)
        if (out.write(l.text) != l.text.size() || out.write(l.ending) != l.ending.size()) {
            out.cancelWriting();
            return false;
        }
    return out.commit();
}

} // namespace qv
