#include "cli/Command.h"
#include "cli/ToolContext.h"

#include <cstdio>

namespace qv {
namespace {

class HelpCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "help",
            .rank = 1000,
            .summary = "the usage of qvtool, or of one command with its options",
            .arguments = { { "[COMMAND]", "the command" } },
            .needsBoard = false,
        };
    }
    int run(ToolContext& c, const Arguments& a) override
    {
        if (a.positionals.isEmpty()) {
            std::fputs(commands::usageText().toUtf8().constData(), stdout);
            return 0;
        }
        const CommandDeclaration* command = commands::find(a.positionals[0]);
        if (!command)
            return c.usage(QStringLiteral("unknown command %1").arg(a.positionals[0]));
        std::fputs(commands::helpText(*command).toUtf8().constData(), stdout);
        return 0;
    }
};
QV_COMMAND(HelpCommand);

} // namespace
} // namespace qv
