#include "editing/PendingFiles.h"

#include "editing/FileAdder.h"
#include "platform/ShortName.h"

#include <QDir>
#include <QSet>

#include <algorithm>

namespace qv {

QString PendingFiles::normalizedMask(const QString& mask)
{
    const QString m = mask.trimmed().toUpper();
    return m.isEmpty() ? QStringLiteral("*.*") : m;
}

QList<QRegularExpression> PendingFiles::compile(const QString& mask)
{
    QList<QRegularExpression> out;
    for (QString part : normalizedMask(mask).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        part = part.trimmed();
        QString pattern;
        for (const QChar c : part) {
            if (c == QLatin1Char('*'))
                pattern += QStringLiteral(".*");
            else if (c == QLatin1Char('?'))
                pattern += QLatin1Char('.');
            else
                pattern += QRegularExpression::escape(QString(c));
        }
        // DOS: "NAME.*" matches a name without any dot too.
        if (part.endsWith(QLatin1String(".*")))
            pattern = QStringLiteral("(?:%1|%2)").arg(pattern, pattern.left(pattern.size() - 4));
        out << QRegularExpression(QRegularExpression::anchoredPattern(pattern),
            QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption);
    }
    return out;
}

bool PendingFiles::matches(const QString& mask, const QString& name)
{
    const auto patterns = compile(mask);
    return std::any_of(
        patterns.begin(), patterns.end(), [&](const QRegularExpression& re) { return re.match(name).hasMatch(); });
}

PendingFiles::Listing PendingFiles::list(
    const QString& directory, const QString& mask, const QStringList& rowTexts, const CodePage* codePage)
{
    Listing listing;
    const QDir dir(directory);
    const QStringList every = dir.entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    const QStringList files = dir.entryList(QDir::Files | QDir::System, QDir::Name | QDir::IgnoreCase);
    const QHash<QString, QString> aliases = shortname::shortNamesFor(every);
    // One set of the row texts, not a comparison of every file with every row.
    QSet<QString> inBase;
    inBase.reserve(rowTexts.size());
    for (const QString& text : rowTexts)
        inBase.insert(text.toUpper());
    const auto patterns = compile(mask);
    for (const QString& name : files) {
        if (name.trimmed().isEmpty())
            continue;
        if (!std::any_of(patterns.begin(), patterns.end(),
                [&](const QRegularExpression& re) { return re.match(name).hasMatch(); }))
            continue;
        listing.all << name;
        if (inBase.contains(name.toUpper()) || inBase.contains(aliases.value(name).toUpper()))
            continue;
        listing.notInBase << name.left(1).toUpper() + name.mid(1);
        if (codePage)
            if (QString why = FileAdder::unstorableName(*codePage, name); !why.isEmpty())
                listing.refused << why;
    }
    return listing;
}

} // namespace qv
