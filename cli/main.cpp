// qvtool: the command-line face of the board, one command per file in cli/commands/.
#include "QvVersion.h"
#include "board/Board.h"
#include "cli/Command.h"
#include "cli/ToolContext.h"
#include "platform/ProfileFile.h"
#include "platform/UserPaths.h"
#include "settings/SettingsFile.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

#include <cstdio>

namespace {

void print(const QString& text)
{
    std::fputs(text.toUtf8().constData(), stdout);
}

// The drives of --drive X=PATH, or the one that is malformed in problem.
std::optional<QMap<QChar, QString>> drivesOf(const QStringList& given, QString& problem)
{
    QMap<QChar, QString> drives;
    for (const QString& v : given) {
        const qsizetype eq = v.indexOf(QLatin1Char('='));
        const QString letter = v.left(eq);
        if (eq < 1 || !letter[0].isLetter() || letter[0].unicode() > 127
            || (letter.size() > 1 && letter.mid(1) != QLatin1String(":")) || eq + 1 >= v.size()) {
            problem = QStringLiteral("--drive wants X=PATH, got \"%1\"").arg(v);
            return std::nullopt;
        }
        drives.insert(letter[0].toUpper(), v.mid(eq + 1));
    }
    return drives;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    namespace commands = qv::commands;
    qv::ToolContext usage({}, false);
    usage.setUsageText(commands::usageText());

    // The tool's own options end at the command's name; the rest is the command's.
    QCommandLineParser global;
    global.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsPositionalArguments);
    commands::declare(global, commands::globalOptions());
    commands::declare(
        global, { { "version", "", "" }, { "print-man", "", "" }, { "print-completion", "", "" } }); // the build's
    if (!global.parse(app.arguments()))
        return usage.usage(global.errorText());
    if (global.isSet(QStringLiteral("help"))) {
        print(commands::usageText());
        return 0;
    }
    if (global.isSet(QStringLiteral("version"))) {
        std::printf("qvtool %s\n", qv::kVersionText);
        return 0;
    }
    if (global.isSet(QStringLiteral("print-man")) || global.isSet(QStringLiteral("print-completion"))) {
        print(global.isSet(QStringLiteral("print-man")) ? commands::manPage() : commands::bashCompletion());
        return 0;
    }
    const QStringList rest = global.positionalArguments();
    if (rest.isEmpty())
        return usage.usage(QStringLiteral("no command given"));
    const qv::CommandDeclaration* command = commands::find(rest[0]);
    if (!command)
        return usage.usage(QStringLiteral("unknown command %1").arg(rest[0]));

    usage.setUsageText(QStringLiteral("usage: qvtool [OPTIONS] %1\n'qvtool help %2' tells more.\n")
                           .arg(command->synopsis(), command->name));
    QCommandLineParser parser;
    commands::declare(parser, commands::optionsOf(*command));
    if (!parser.parse(rest)) // rest[0], the command's name, stands where parse expects the program's
        return usage.usage(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        print(commands::helpText(*command));
        return 0;
    }
    const qv::Arguments arguments(parser);
    if (const QString problem = commands::countProblem(*command, arguments.positionals); !problem.isEmpty())
        return usage.usage(problem);
    // A global option given after the command wins over the same one before it.
    auto either = [&](const char* name) {
        const QString n = QLatin1String(name);
        return parser.isSet(n) ? parser.value(n) : global.value(n);
    };
    auto flag
        = [&](const char* name) { return global.isSet(QLatin1String(name)) || parser.isSet(QLatin1String(name)); };
    QString problem;
    const auto drives
        = drivesOf(global.values(QStringLiteral("drive")) + parser.values(QStringLiteral("drive")), problem);
    if (!drives)
        return usage.usage(problem);
    QString settingsFile = either("settings");
    if (settingsFile.isEmpty())
        settingsFile = qv::userpaths::defaultSettingsFile(false); // the tool only reads
    const qv::Settings settings = qv::settingsfile::readBoardSettings(qv::ProfileFile(settingsFile));
    qv::Board::Options options;
    if (command->needsBoard) {
        // QV.INI's rules for RaDir, the code page and [Drives]; the command line's drives win.
        options = qv::Board::optionsOf(settings);
        options.sendToMode = false;
        for (auto it = drives->cbegin(); it != drives->cend(); ++it)
            options.drives.insert(it.key(), it.value());
        QString board = either("board");
        if (board.isEmpty())
            board = options.boardDirectory;
        if (board.isEmpty())
            return usage.usage(
                QStringLiteral("no board directory: pass --board DIR or set RaDir in %1").arg(settingsFile));
        options.boardDirectory = QDir(board).absolutePath();
        options.useTrash = !flag("no-trash");
    }
    qv::ToolContext context(options, flag("json"));
    context.setSettings(settings);
    context.setQuiet(flag("quiet"));
    context.setUsageText(usage.usageText());
    if (command->needsBoard && !qv::CodePage(options.codePage).isValid())
        context.fail(QStringLiteral("code page %1 is not a single-byte code page; showing CP437")
                         .arg(QString::fromLatin1(options.codePage)));
    return commands::implementation(*command).run(context, arguments);
}
