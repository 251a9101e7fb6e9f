#include "cli/Command.h"
#include "cli/ToolContext.h"
#include "demo/DemoBoard.h"

#include <QDir>

namespace qv {
namespace {

class MakeDemoCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "make-demo",
            .rank = 900,
            .summary = "write a demo board into DIR (board directory DIR/RA)",
            .arguments = { { "DIR", "where the demo board goes; made when missing" } },
            .needsBoard = false,
        };
    }
    int run(ToolContext& c, const Arguments& a) override
    {
        const QString dir = QDir(a.positionals[0]).absolutePath();
        std::string error;
        if (!writeDemoBoard(dir.toStdString(), error)) {
            c.fail(QStringLiteral("Cannot write the demo board: ") + QString::fromStdString(error));
            return 1;
        }
        c.out(QStringLiteral("Demo board written to %1 (board directory %1/RA)\n").arg(dir));
        return 0;
    }
};
QV_COMMAND(MakeDemoCommand);

} // namespace
} // namespace qv
