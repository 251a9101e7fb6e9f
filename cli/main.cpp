// qvtool: the command-line face of the board, one command per file in cli/commands/.
#include "QvVersion.h"
#include "board/Board.h"
#include "cli/Command.h"
#include "cli/ToolContext.h"
#include "platform/ProfileFile.h"
#include "platform/UserPaths.h"
#include "settings/SettingsFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);

    bool json = false;
    QString board;
    QString settingsFile = qv::userpaths::defaultSettingsFile(false); // the tool only reads
    QMap<QChar, QString> drives;
    QStringList positional;
    const qv::ToolContext usage({}, false);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        auto value = [&](const QString& name, QString& into) {
            if (a.startsWith(name + QLatin1Char('='))) {
                into = a.mid(name.size() + 1);
                return true;
            }
            if (a == name && i + 1 < args.size()) {
                into = args[++i];
                return true;
            }
            return false;
        };
        QString v;
        if (a == QLatin1String("--json")) {
            json = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(qPrintable(qv::commands::usageText()), stdout);
            return 0;
        } else if (a == QLatin1String("--version")) {
            std::printf("qvtool %s\n", qv::kVersionText);
            return 0;
        } else if (value(QStringLiteral("--board"), v)) {
            board = v;
        } else if (value(QStringLiteral("--settings"), v)) {
            settingsFile = v;
        } else if (value(QStringLiteral("--drive"), v)) {
            const qsizetype eq = v.indexOf(QLatin1Char('='));
            const QString letter = v.left(eq);
            if (eq < 1 || !letter[0].isLetter() || letter[0].unicode() > 127
                || (letter.size() > 1 && letter.mid(1) != QLatin1String(":")) || eq + 1 >= v.size())
                return usage.usage(QStringLiteral("--drive wants X=PATH, got \"%1\"").arg(v));
            drives.insert(letter[0].toUpper(), v.mid(eq + 1));
        } else if (a.startsWith(QLatin1String("--")) && positional.isEmpty()) {
            return usage.usage(QStringLiteral("unknown option %1").arg(a));
        } else {
            // After the command's name, options other than the tool's own belong to the command.
            positional.append(a);
        }
    }
    if (positional.isEmpty())
        return usage.usage(QStringLiteral("no command given"));
    const QString name = positional.takeFirst();
    qv::Command* command = qv::commands::find(name);
    if (!command)
        return usage.usage(QStringLiteral("unknown command %1").arg(name));
    if (!command->needsBoard()) {
        qv::ToolContext context({}, json);
        context.setSettings(qv::settingsfile::readBoardSettings(qv::ProfileFile(settingsFile)));
        return command->run(context, positional);
    }

    // QV.INI's rules for RaDir, the code page and [Drives]; the command line's drives win.
    const qv::Settings settings = qv::settingsfile::readBoardSettings(qv::ProfileFile(settingsFile));
    qv::Board::Options options = qv::Board::optionsOf(settings);
    options.sendToMode = false;
    for (auto it = drives.cbegin(); it != drives.cend(); ++it)
        options.drives.insert(it.key(), it.value());
    if (board.isEmpty())
        board = options.boardDirectory;
    if (board.isEmpty())
        return usage.usage(QStringLiteral("no board directory: pass --board DIR or set RaDir in %1").arg(settingsFile));
    options.boardDirectory = QDir(board).absolutePath();
    qv::ToolContext context(options, json);
    context.setSettings(settings);
    if (!qv::CodePage(options.codePage).isValid())
        context.fail(QStringLiteral("code page %1 is not a single-byte code page; showing CP437")
                         .arg(QString::fromLatin1(options.codePage)));
    return command->run(context, positional);
}
