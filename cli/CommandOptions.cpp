#include "cli/CommandOptions.h"

#include <QFile>

#include <cstdio>

namespace qv {

std::optional<CommandOptions> CommandOptions::parse(
    const QStringList& args, const QStringList& valueOptions, const QStringList& flags, QString* error)
{
    CommandOptions o;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        if (!a.startsWith(QLatin1String("--")) || a == QLatin1String("--")) {
            o.positionals << a;
            continue;
        }
        const qsizetype eq = a.indexOf(QLatin1Char('='));
        const QString name = a.mid(2, eq < 0 ? -1 : eq - 2);
        if (flags.contains(name) && eq < 0) {
            o.m_flags.insert(name);
        } else if (valueOptions.contains(name)) {
            if (eq >= 0) {
                o.m_values.insert(name, a.mid(eq + 1));
            } else if (i + 1 < args.size()) {
                o.m_values.insert(name, args[++i]);
            } else {
                *error = QStringLiteral("--%1 wants a value").arg(name);
                return std::nullopt;
            }
        } else {
            *error = QStringLiteral("unknown option %1").arg(a);
            return std::nullopt;
        }
    }
    return o;
}

std::optional<QString> CommandOptions::textInput(QString* error, bool* usageError) const
{
    const int sources = int(m_values.contains(QStringLiteral("text"))) + int(m_values.contains(QStringLiteral("file")))
        + int(m_flags.contains(QStringLiteral("stdin")));
    *usageError = sources != 1;
    if (sources != 1) {
        *error = QStringLiteral("give the text with exactly one of --text, --file and --stdin");
        return std::nullopt;
    }
    if (m_values.contains(QStringLiteral("text")))
        return m_values.value(QStringLiteral("text"));
    QFile in;
    const QString name = m_values.value(QStringLiteral("file"));
    const bool fromStdin = m_flags.contains(QStringLiteral("stdin"));
    if (!fromStdin)
        in.setFileName(name);
    if (!(fromStdin ? in.open(stdin, QIODevice::ReadOnly) : in.open(QIODevice::ReadOnly))) {
        *error = QStringLiteral("cannot read %1: %2")
                     .arg(fromStdin ? QStringLiteral("standard input") : name, in.errorString());
        return std::nullopt;
    }
    return QString::fromUtf8(in.readAll());
}

} // namespace qv
