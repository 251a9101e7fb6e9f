#include "cli/Command.h"

#include <QCommandLineParser>
#include <QFile>

#include <algorithm>
#include <list>
#include <cstdio>

namespace qv {

QString CommandArgument::name() const
{
    QString n = syntax;
    n.remove(QLatin1Char('[')).remove(QLatin1Char(']')).remove(QLatin1String("..."));
    return n;
}

Arguments::Arguments(const QCommandLineParser& parser)
    : positionals(parser.positionalArguments())
    , m_parser(parser)
{
}

bool Arguments::has(const QString& option) const
{
    return m_parser.isSet(option);
}

QString Arguments::value(const QString& option) const
{
    return m_parser.value(option);
}

std::optional<QString> Arguments::textInput(QString* error, bool* usageError) const
{
    const bool text = has(QStringLiteral("text"));
    const bool file = has(QStringLiteral("file"));
    const bool fromStdin = has(QStringLiteral("stdin"));
    *usageError = int(text) + int(file) + int(fromStdin) != 1;
    if (*usageError) {
        *error = QStringLiteral("give the text with exactly one of --text, --file and --stdin");
        return std::nullopt;
    }
    if (text)
        return value(QStringLiteral("text"));
    QFile in;
    const QString name = value(QStringLiteral("file"));
    if (!fromStdin)
        in.setFileName(name);
    if (!(fromStdin ? in.open(stdin, QIODevice::ReadOnly) : in.open(QIODevice::ReadOnly))) {
        *error = QStringLiteral("cannot read %1: %2")
                     .arg(fromStdin ? QStringLiteral("standard input") : name, in.errorString());
        return std::nullopt;
    }
    return QString::fromUtf8(in.readAll());
}

QString CommandDeclaration::synopsis() const
{
    QStringList parts { name };
    for (const CommandArgument& a : arguments)
        parts << a.syntax;
    if (!options.empty())
        parts << QStringLiteral("[OPTIONS]");
    return parts.join(QLatin1Char(' '));
}

namespace commands {

namespace {
struct Registered {
    CommandDeclaration declaration;
    std::unique_ptr<Command> command;
};

// A list, so that nothing moves while commands register.
std::list<Registered>& registry()
{
    static std::list<Registered> r;
    return r;
}

QString optionHead(const CommandOption& o)
{
    QString head = QStringLiteral("--") + o.name;
    for (const QString& alias : o.aliases)
        head += (alias.size() == 1 ? QStringLiteral(", -") : QStringLiteral(", --")) + alias;
    return o.value.isEmpty() ? head : head + QLatin1Char(' ') + o.value;
}

// "  head   text", the text in a column of its own or below a head too long for it.
QString row(const QString& head, const QString& text)
{
    constexpr int kColumn = 22;
    if (head.size() < kColumn - 3)
        return QStringLiteral("  ") + head.leftJustified(kColumn - 2) + text + QLatin1Char('\n');
    return QStringLiteral("  ") + head + QLatin1Char('\n') + QString(kColumn, QLatin1Char(' ')) + text
        + QLatin1Char('\n');
}
}

bool add(std::unique_ptr<Command> command)
{
    CommandDeclaration declaration = command->declaration();
    registry().push_back({ std::move(declaration), std::move(command) });
    return true;
}

std::vector<const CommandDeclaration*> all()
{
    std::vector<const CommandDeclaration*> list;
    for (const Registered& c : registry())
        list.push_back(&c.declaration);
    std::sort(list.begin(), list.end(),
        [](const CommandDeclaration* l, const CommandDeclaration* r) { return l->rank < r->rank; });
    return list;
}

const CommandDeclaration* find(const QString& name)
{
    for (const Registered& c : registry())
        if (c.declaration.name == name)
            return &c.declaration;
    return nullptr;
}

Command& implementation(const CommandDeclaration& declaration)
{
    for (Registered& c : registry())
        if (&c.declaration == &declaration)
            return *c.command;
    Q_UNREACHABLE();
}

const std::vector<CommandOption>& globalOptions()
{
    static const std::vector<CommandOption> options {
        { "board", "DIR", "the board directory, which holds FILES.RA (default: RaDir of QV.INI)" },
        { "settings", "FILE", "read QV.INI from FILE instead of $XDG_CONFIG_HOME/quorvex/QV.INI" },
        { "drive", "X=PATH", "map the DOS drive X to the directory PATH; once for each drive" },
        { "no-trash", "", "unlink the files of removed entries instead of moving them to the trash" },
        { "json", "", "print the result as JSON" },
        { "quiet", "", "print no progress, only errors", { "q" } },
        { "help", "", "show the usage and end", { "h" } },
    };
    return options;
}

std::vector<CommandOption> optionsOf(const CommandDeclaration& declaration)
{
    std::vector<CommandOption> options = declaration.options;
    options.insert(options.end(), globalOptions().begin(), globalOptions().end());
    return options;
}

void declare(QCommandLineParser& parser, const std::vector<CommandOption>& options)
{
    for (const CommandOption& o : options) {
        QStringList names { o.name };
        names += o.aliases;
        const bool added = parser.addOption(QCommandLineOption(names, o.help, o.value));
        Q_ASSERT(added);
        (void)added;
    }
}

QString countProblem(const CommandDeclaration& declaration, const QStringList& positionals)
{
    const auto given = qsizetype(positionals.size());
    const auto required = std::count_if(declaration.arguments.begin(), declaration.arguments.end(),
        [](const CommandArgument& a) { return !a.optional(); });
    const bool unbounded = std::any_of(declaration.arguments.begin(), declaration.arguments.end(),
        [](const CommandArgument& a) { return a.repeated(); });
    if (given >= required && (unbounded || given <= qsizetype(declaration.arguments.size())))
        return {};
    if (declaration.arguments.empty())
        return declaration.name + QStringLiteral(" takes no arguments");
    QStringList wanted;
    for (const CommandArgument& a : declaration.arguments)
        wanted << a.syntax;
    return declaration.name + QStringLiteral(" wants ") + wanted.join(QLatin1Char(' '));
}

QString usageText()
{
    QString text = QStringLiteral("usage: qvtool [OPTIONS] COMMAND [ARGUMENTS] [COMMAND OPTIONS]\noptions:\n");
    for (const CommandOption& o : globalOptions())
        text += row(optionHead(o), o.help);
    text += row(QStringLiteral("--version"), QStringLiteral("print the version and end"));
    text += QStringLiteral("commands:\n");
    for (const CommandDeclaration* c : all()) {
        QStringList head { c->name };
        for (const CommandArgument& a : c->arguments)
            head << a.syntax;
        text += row(head.join(QLatin1Char(' ')), c->summary);
    }
    text += QStringLiteral("'qvtool help COMMAND' or 'qvtool COMMAND --help' shows a command's options.\n"
                           "Exit codes: 0 done, 1 failed or a problem found, 2 a usage error.\n");
    return text;
}

QString helpText(const CommandDeclaration& declaration)
{
    QString text = QStringLiteral("usage: qvtool [OPTIONS] ") + declaration.synopsis() + QLatin1Char('\n')
        + declaration.summary + QLatin1Char('\n');
    if (!declaration.arguments.empty()) {
        text += QStringLiteral("arguments:\n");
        for (const CommandArgument& a : declaration.arguments)
            text += row(a.name(), a.help);
    }
    if (!declaration.options.empty()) {
        text += QStringLiteral("options:\n");
        for (const CommandOption& o : declaration.options)
            text += row(optionHead(o), o.help);
    }
    text += QStringLiteral("and the options of every command, before or after it (qvtool --help).\n");
    return text;
}

} // namespace commands
} // namespace qv
