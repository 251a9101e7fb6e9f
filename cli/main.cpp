#include "cli/QvTool.h"
#include "cli/ToolSettings.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <optional>

namespace {

const char* const kUsage = "usage: qvtool [--board DIR] [--settings FILE] [--drive X=PATH]... COMMAND [--json]\n"
                           "commands:\n"
                           "  info            board name, file base path, area and group counts\n"
                           "  groups          the file groups in record order\n"
                           "  areas           the file areas with their paths\n"
                           "  list AREA       every entry of an area\n"
                           "  stat AREA       entry count and size as the file list shows them\n"
                           "  check [AREA]    look for damaged or inconsistent area files\n"
                           "  make-demo DIR   write a demo board into DIR (board directory DIR/RA)\n"
                           "--board defaults to RaDir of QV.INI; its [Drives] section maps DOS drives.\n";

int usage(const QString& problem)
{
    if (!problem.isEmpty())
        std::fprintf(stderr, "qvtool: %s\n", qPrintable(problem));
    std::fputs(kUsage, stderr);
    return 2;
}

std::optional<int> areaNumber(const QString& text)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 0 || n > 65535)
        return std::nullopt;
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);

    qv::ToolOptions options;
    QString board;
    QString settingsFile = qv::ToolSettings::defaultPath();
    QMap<QChar, QString> drives;
    QStringList positional;
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
            options.json = true;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (value(QStringLiteral("--board"), v)) {
            board = v;
        } else if (value(QStringLiteral("--settings"), v)) {
            settingsFile = v;
        } else if (value(QStringLiteral("--drive"), v)) {
            const qsizetype eq = v.indexOf(QLatin1Char('='));
            const QString letter = v.left(eq);
            if (eq < 1 || !letter[0].isLetter() || (letter.size() > 1 && letter.mid(1) != QLatin1String(":"))
                || eq + 1 >= v.size())
                return usage(QStringLiteral("--drive wants X=PATH, got \"%1\"").arg(v));
            drives.insert(letter[0].toUpper(), v.mid(eq + 1));
        } else if (a.startsWith(QLatin1String("--"))) {
            return usage(QStringLiteral("unknown option %1").arg(a));
        } else {
            positional.append(a);
        }
    }
    if (positional.isEmpty())
        return usage(QStringLiteral("no command given"));
    const QString command = positional.takeFirst();

    if (command == QLatin1String("make-demo")) {
        if (positional.size() != 1)
            return usage(QStringLiteral("make-demo wants one directory"));
        return qv::QvTool::makeDemo(QDir(positional[0]).absolutePath());
    }

    const qv::ToolSettings settings = qv::ToolSettings::read(settingsFile);
    options.drives = settings.drives;
    options.codePage = settings.codePage;
    for (auto it = drives.cbegin(); it != drives.cend(); ++it)
        options.drives.insert(it.key(), it.value());
    if (board.isEmpty())
        board = settings.raDir;
    if (board.isEmpty())
        return usage(QStringLiteral("no board directory: pass --board DIR or set RaDir in %1").arg(settingsFile));
    options.boardDir = QDir(board).absolutePath();

    qv::QvTool tool(options);
    auto oneArea = [&]() -> std::optional<int> {
        if (positional.size() != 1)
            return std::nullopt;
        return areaNumber(positional[0]);
    };
    if (command == QLatin1String("info") || command == QLatin1String("groups") || command == QLatin1String("areas")) {
        if (!positional.isEmpty())
            return usage(command + QStringLiteral(" takes no arguments"));
        return command == QLatin1String("info")  ? tool.info()
            : command == QLatin1String("groups") ? tool.groups()
                                                 : tool.areas();
    }
    if (command == QLatin1String("list") || command == QLatin1String("stat")) {
        const auto area = oneArea();
        if (!area)
            return usage(command + QStringLiteral(" wants one area number"));
        return command == QLatin1String("list") ? tool.list(*area) : tool.stat(*area);
    }
    if (command == QLatin1String("check")) {
        if (positional.isEmpty())
            return tool.check(std::nullopt);
        const auto area = oneArea();
        if (!area)
            return usage(QStringLiteral("check wants at most one area number"));
        return tool.check(area);
    }
    return usage(QStringLiteral("unknown command %1").arg(command));
}
