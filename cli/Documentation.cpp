// The manual page and the bash completion of qvtool, made from the command tables at build time.
#include "QvVersion.h"
#include "cli/Command.h"

namespace qv::commands {

namespace {

QString roff(QString text)
{
    text.replace(QLatin1Char('\\'), QLatin1String("\\e")).replace(QLatin1Char('-'), QLatin1String("\\-"));
    if (text.startsWith(QLatin1Char('.')) || text.startsWith(QLatin1Char('\'')))
        text.prepend(QLatin1String("\\&"));
    return text;
}

QString argumentRoff(const CommandArgument& a)
{
    return roff(a.syntax).replace(a.name(), QStringLiteral("\\fI") + a.name() + QStringLiteral("\\fR"));
}

QString optionRoff(const CommandOption& o)
{
    QStringList names;
    for (const QString& n : QStringList { o.name } + o.aliases)
        names << QStringLiteral("\\fB") + roff((n.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + n)
                + QStringLiteral("\\fR");
    QString head = names.join(QStringLiteral(", "));
    if (!o.value.isEmpty())
        head += QStringLiteral(" \\fI") + roff(o.value) + QStringLiteral("\\fR");
    return QStringLiteral(".TP\n") + head + QLatin1Char('\n') + roff(o.help) + QLatin1Char('\n');
}

// What the completion offers for an argument or an option's value.
QString kindOf(const QString& name, const QStringList& choices)
{
    if (!choices.isEmpty())
        return choices.join(QLatin1Char(','));
    for (const char* known : { "AREA", "FILE", "DIR", "COMMAND" })
        if (name == QLatin1String(known))
            return QLatin1Char('@') + name.toLower();
    return QStringLiteral("@none");
}

QString bashWord(const QString& text)
{
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QLatin1String("'\\''")) + QLatin1Char('\'');
}

const char kCompletionFunctions[] = R"bash(
_qvtool_offer()
{
    local kind=$1 cur=$2
    case $kind in
    @area) COMPREPLY=($(compgen -W "$("${_qvtool_run[@]}" areas 2>/dev/null |
        awk 'NR > 1 && $1 ~ /^[0-9]+$/ { print $1 }')" -- "$cur")) ;;
    @file) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- "$cur")) ;;
    @dir) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -d -- "$cur")) ;;
    @command) COMPREPLY=($(compgen -W "$_qvtool_commands" -- "$cur")) ;;
    @none) COMPREPLY=() ;;
    *) COMPREPLY=($(compgen -W "${kind//,/ }" -- "$cur")) ;;
    esac
}

# The kind of value an option takes, or failure for a flag.
_qvtool_value()
{
    local key
    for key in "$1 $2" "$2"; do
        if [[ -v _qvtool_values[$key] ]]; then
            REPLY=${_qvtool_values[$key]}
            return 0
        fi
    done
    return 1
}

_qvtool()
{
    local cur=${COMP_WORDS[COMP_CWORD]} command='' word i n=0 REPLY
    # bash breaks words at "=": glue "--by=name" and "C=/srv/bbs" back into one word each.
    local -a words=("${COMP_WORDS[0]}")
    for ((i = 1; i <= COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if ((${#words[@]} > 1)) && [[ $word == = || ${words[-1]} == *= ]]; then
            words[-1]+=$word
        else
            words+=("$word")
        fi
    done
    local cword=$((${#words[@]} - 1))
    [[ $cur == = ]] && cur=''
    _qvtool_run=("${COMP_WORDS[0]}")
    COMPREPLY=()
    for ((i = 1; i < cword; i++)); do
        word=${words[i]}
        if [[ $word == -* ]]; then
            _qvtool_value "$command" "${word%%=*}" || continue
            case ${word%%=*} in
            --board | --settings | --drive) _qvtool_run+=("$word") ;;
            esac
            [[ $word == *=* ]] && continue
            if ((i + 1 == cword)); then
                _qvtool_offer "$REPLY" "$cur"
                return 0
            fi
            case $word in
            --board | --settings | --drive) _qvtool_run+=("${words[i + 1]}") ;;
            esac
            ((i++))
        else
            [[ -z $command ]] && command=$word || ((n++))
        fi
    done
    if [[ ${words[cword]} == -*=* ]]; then
        _qvtool_value "$command" "${words[cword]%%=*}" && _qvtool_offer "$REPLY" "$cur"
    elif [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "${_qvtool_options[$command -]} ${_qvtool_options[-]}" -- "$cur"))
    elif [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$_qvtool_commands" -- "$cur"))
    else
        local -a kinds=(${_qvtool_arguments[$command]})
        local kind=${kinds[n]:-}
        if [[ -z $kind && ${kinds[-1]:-} == *+ ]]; then
            kind=${kinds[-1]}
        fi
        _qvtool_offer "${kind%+}" "$cur"
    fi
    return 0
}
complete -F _qvtool qvtool
)bash";

} // namespace

QString manPage()
{
    QString page
        = QStringLiteral(".TH QVTOOL 1 \"\" \"Quorvex %1\" \"User Commands\"\n").arg(QLatin1String(kVersionText));
    page += QStringLiteral(
        ".SH NAME\nqvtool \\- read and change the file bases of a board from the command line\n"
        ".SH SYNOPSIS\n.B qvtool\n[\\fIOPTIONS\\fR] \\fICOMMAND\\fR [\\fIARGUMENTS\\fR] [\\fICOMMAND OPTIONS\\fR]\n"
        ".SH DESCRIPTION\n\\fBqvtool\\fR is the command-line face of \\fBquorvex\\fR(1). Each command runs the same "
        "work as the window's command, on the configuration and file lists of a board in the RA formats, so a "
        "change made from a script is as safe as one made in the window. Positions are the row numbers the file "
        "list shows, 1 for the first entry.\n.PP\nAn option takes its value as \\fB\\-\\-name value\\fR or "
        "\\fB\\-\\-name=value\\fR. The options below stand before the command or among its arguments; "
        "\\fBqvtool help\\fR \\fICOMMAND\\fR and \\fBqvtool\\fR \\fICOMMAND\\fR \\fB\\-\\-help\\fR show a "
        "command's own.\n.SH OPTIONS\n");
    for (const CommandOption& o : globalOptions())
        page += optionRoff(o);
    page += optionRoff({ "version", "", "print the version and end" });
    page += QStringLiteral(".SH COMMANDS\n");
    for (const CommandDeclaration* c : all()) {
        page += QStringLiteral(".TP\n\\fB") + roff(c->name) + QStringLiteral("\\fR");
        for (const CommandArgument& a : c->arguments)
            page += QLatin1Char(' ') + argumentRoff(a);
        page += QLatin1Char('\n') + roff(c->summary) + QLatin1Char('\n');
        if (c->arguments.empty() && c->options.empty())
            continue;
        page += QStringLiteral(".RS\n");
        for (const CommandArgument& a : c->arguments)
            page += QStringLiteral(".TP\n\\fI") + roff(a.name()) + QStringLiteral("\\fR\n") + roff(a.help)
                + QLatin1Char('\n');
        for (const CommandOption& o : c->options)
            page += optionRoff(o);
        page += QStringLiteral(".RE\n");
    }
    page += QStringLiteral(
        ".SH EXIT STATUS\n.TP\n.B 0\ndone\n.TP\n.B 1\nthe command failed, or \\fBcheck\\fR found a problem\n"
        ".TP\n.B 2\na usage error: an unknown command or option, a missing value, arguments that do not fit\n"
        ".SH FILES\n.TP\n.I $XDG_CONFIG_HOME/quorvex/QV.INI\nthe settings (\\fI~/.config/quorvex/QV.INI\\fR): "
        "\\fBRaDir\\fR in section \\fB[Veltrano FE]\\fR names the board directory, section \\fB[Drives]\\fR maps "
        "DOS drives to directories, as \\fBC=/srv/bbs\\fR\n.SH SEE ALSO\n.BR quorvex (1)\n");
    return page;
}

QString bashCompletion()
{
    QString script = QStringLiteral("# bash completion for qvtool, made by qvtool --print-completion\n");
    QStringList names;
    QString options = QStringLiteral("declare -gA _qvtool_options=(\n");
    QString values = QStringLiteral("declare -gA _qvtool_values=(\n");
    QString arguments = QStringLiteral("declare -gA _qvtool_arguments=(\n");
    auto addOptions = [&](const QString& key, const QString& command, const std::vector<CommandOption>& list) {
        QStringList words;
        for (const CommandOption& o : list) {
            for (const QString& n : QStringList { o.name } + o.aliases) {
                const QString word = (n.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + n;
                words << word;
                if (!o.value.isEmpty())
                    values += QStringLiteral("    [%1]=%2\n")
                                  .arg(bashWord(command.isEmpty() ? word : command + QLatin1Char(' ') + word),
                                      bashWord(kindOf(o.value, o.choices)));
            }
        }
        options += QStringLiteral("    [%1]=%2\n").arg(bashWord(key), bashWord(words.join(QLatin1Char(' '))));
    };
    addOptions(QStringLiteral("-"), QString(), globalOptions());
    for (const CommandDeclaration* c : all()) {
        names << c->name;
        addOptions(c->name + QStringLiteral(" -"), c->name, c->options);
        QStringList kinds;
        for (const CommandArgument& a : c->arguments)
            kinds << kindOf(a.name(), a.choices) + (a.repeated() ? QStringLiteral("+") : QString());
        arguments += QStringLiteral("    [%1]=%2\n").arg(bashWord(c->name), bashWord(kinds.join(QLatin1Char(' '))));
    }
    script += QStringLiteral("_qvtool_commands=%1\n").arg(bashWord(names.join(QLatin1Char(' '))));
    script += options + QStringLiteral(")\n") + values + QStringLiteral(")\n") + arguments + QStringLiteral(")\n");
    script += QString::fromLatin1(kCompletionFunctions);
    return script;
}

} // namespace qv::commands
