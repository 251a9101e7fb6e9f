#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <vector>

class QCommandLineParser;

namespace qv {

class ToolContext;

// How qvtool's commands are declared. Each command is a class in its own file under
// cli/commands/: its table and its work on the board, registered with QV_COMMAND:
//
//     class StatCommand : public Command {
//     public:
//         CommandDeclaration declaration() const override
//         {
//             return {
//                 .name = "stat",
//                 .rank = 50,
//                 .summary = "entry count and size as the file list shows them",
//                 .arguments = { { "AREA", "the area's number" } },
//                 .options = { { "after", "P", "after the first P entries" }, { "no-diz", "", "a flag" } },
//             };
//         }
//         int run(ToolContext& c, const Arguments& a) override { ... a.positionals ... a.value("after") ... }
//     };
//     QV_COMMAND(StatCommand);
//
// The table is all there is: the parser, `qvtool help NAME`, `NAME --help`, the usage line of a
// usage error, the manual page and the bash completion are all made from it. Fields keep the
// order of CommandDeclaration (designated initialisers). An argument's text is what usage shows:
// "AREA" one, "[AREA]" at most one, "POS..." one or more, "[POS...]" any number; the parser
// checks the count before run is called. The names AREA, FILE, DIR and COMMAND (and choices)
// tell the completion what to offer. The options --json, --quiet, --help and the board options
// are every command's and need no row.

// "--name VALUE" when value names the value ("P", "AREA", "FILE"), a flag when it is empty.
struct CommandOption {
    QString name;
    QString value;
    QString help;
    // Other names of the same option.
    QStringList aliases = {};
    // The values the completion offers.
    QStringList choices = {};
};

struct CommandArgument {
    QString syntax;
    QString help;
    QStringList choices = {};

    bool optional() const { return syntax.startsWith(QLatin1Char('[')); }
    bool repeated() const { return syntax.contains(QLatin1String("...")); }
    // AREA of "[AREA...]".
    QString name() const;
};

// The command's arguments after the options were taken out, and the options given.
class Arguments {
public:
    explicit Arguments(const QCommandLineParser& parser);
    QStringList positionals;
    bool has(const QString& option) const;
    // The last value given.
    QString value(const QString& option) const;
    // The text of exactly one of --text TEXT, --file FILE (UTF-8) and --stdin (UTF-8); nullopt
    // with the problem in error otherwise. usageError tells a missing or doubled source from a
    // file that cannot be read.
    std::optional<QString> textInput(QString* error, bool* usageError) const;

private:
    const QCommandLineParser& m_parser;
};

struct CommandDeclaration {
    QString name;
    // Where the command stands in the usage text.
    int rank = 0;
    QString summary;
    std::vector<CommandArgument> arguments = {};
    std::vector<CommandOption> options = {};
    // Commands that read no board (make-demo, help) run without one.
    bool needsBoard = true;

    // "sort AREA [KEY] [POS...] [OPTIONS]"
    QString synopsis() const;
};

class Command {
public:
    virtual ~Command() = default;
    virtual CommandDeclaration declaration() const = 0;
    // 0 done, 1 a failure or a problem found, 2 a usage error (through ToolContext::usage).
    virtual int run(ToolContext& context, const Arguments& arguments) = 0;
};

namespace commands {
bool add(std::unique_ptr<Command> command);
// Every registered command in usage order.
std::vector<const CommandDeclaration*> all();
const CommandDeclaration* find(const QString& name);
Command& implementation(const CommandDeclaration& declaration);

// The options of qvtool itself, given before the command or among its arguments.
const std::vector<CommandOption>& globalOptions();
// Every option a command's parser knows: its own, then the global ones.
std::vector<CommandOption> optionsOf(const CommandDeclaration& declaration);
// Fills parser with the options; false when two rows claim one name.
void declare(QCommandLineParser& parser, const std::vector<CommandOption>& options);
// The problem with the number of arguments, empty when they fit.
QString countProblem(const CommandDeclaration& declaration, const QStringList& positionals);

QString usageText();
// "qvtool help sort": synopsis, summary, arguments and options.
QString helpText(const CommandDeclaration& declaration);
QString manPage();
QString bashCompletion();
} // namespace commands

// Registers a command from its own file: QV_COMMAND(ListCommand);
#define QV_COMMAND(Type)                                                                                               \
    [[maybe_unused]] static const bool qvRegistered##Type = ::qv::commands::add(std::make_unique<Type>())

} // namespace qv
