#include "cli/Command.h"

#include <algorithm>

namespace qv::commands {

namespace {
std::vector<std::unique_ptr<Command>>& registry()
{
    static std::vector<std::unique_ptr<Command>> r;
    return r;
}
}

bool add(std::unique_ptr<Command> command)
{
    registry().push_back(std::move(command));
    return true;
}

std::vector<Command*> all()
{
    std::vector<Command*> list;
    for (const auto& c : registry())
        list.push_back(c.get());
    std::sort(list.begin(), list.end(), [](Command* l, Command* r) { return l->rank() < r->rank(); });
    return list;
}

Command* find(const QString& name)
{
    for (const auto& c : registry())
        if (c->name() == name)
            return c.get();
    return nullptr;
}

QString usageText()
{
    QString text = QStringLiteral(
        "usage: qvtool [--board DIR] [--settings FILE] [--drive X=PATH]... [--version] COMMAND [--json]\n"
        "commands:\n");
    for (Command* c : all()) {
        const QString head = c->arguments().isEmpty() ? c->name() : c->name() + QLatin1Char(' ') + c->arguments();
        // A long synopsis gets a line of its own, the summary indented below it.
        if (head.size() <= 15)
            text += QStringLiteral("  ") + head.leftJustified(15) + QLatin1Char(' ') + c->summary() + QLatin1Char('\n');
        else
            text += QStringLiteral("  ") + head + QStringLiteral("\n                  ") + c->summary() + QLatin1Char('\n');
    }
    text += QStringLiteral("--board defaults to RaDir of QV.INI; its [Drives] section maps DOS drives.\n");
    return text;
}

} // namespace qv::commands
