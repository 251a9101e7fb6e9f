#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

#include <optional>

namespace qv {

// The arguments of one qvtool command: positionals, "--name VALUE" or "--name=VALUE" options
// and "--name" flags. A later option of the same name wins.
class CommandOptions {
public:
    // nullopt with the problem in error for an unknown option or one without its value.
    static std::optional<CommandOptions> parse(
        const QStringList& args, const QStringList& valueOptions, const QStringList& flags, QString* error);

    QStringList positionals;
    bool has(const QString& name) const { return m_values.contains(name) || m_flags.contains(name); }
    QString value(const QString& name) const { return m_values.value(name); }

    // The text of exactly one of --text TEXT, --file FILE (UTF-8) and --stdin (UTF-8); nullopt
    // with the problem in error otherwise. usageError tells a missing or doubled source from a
    // file that cannot be read.
    std::optional<QString> textInput(QString* error, bool* usageError) const;

private:
    QHash<QString, QString> m_values;
    QSet<QString> m_flags;
};

} // namespace qv
