#pragma once

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace qv {

class ToolContext;

// One qvtool command: its name, its usage line and its work on an opened board. Each command
// lives in its own file under cli/commands/ and registers itself, so the usage text is made
// from what is there.
class Command {
public:
    virtual ~Command() = default;
    virtual QString name() const = 0;
    // The arguments after the name, as the usage line shows them ("AREA", "[AREA]").
    virtual QString arguments() const { return {}; }
    virtual QString summary() const = 0;
    // Where the command stands in the usage text.
    virtual int rank() const = 0;
    // Commands that write no board (make-demo) run without one.
    virtual bool needsBoard() const { return true; }
    // 0 done, 1 a failure or a problem found, 2 a usage error (through ToolContext::usage).
    virtual int run(ToolContext& context, const QStringList& arguments) = 0;
};

namespace commands {
bool add(std::unique_ptr<Command> command);
// Every registered command in usage order.
std::vector<Command*> all();
Command* find(const QString& name);
QString usageText();
} // namespace commands

// Registers a command from its own file: QV_COMMAND(ListCommand);
#define QV_COMMAND(Type) [[maybe_unused]] static const bool qvRegistered##Type = ::qv::commands::add(std::make_unique<Type>())

} // namespace qv
