#include "cli/Command.h"
#include "cli/ToolContext.h"
#include "demo/DemoBoard.h"

#include <QDir>

namespace qv {
namespace {

class MakeDemoCommand : public Command {
public:
    QString name() const override { return QStringLiteral("make-demo"); }
    QString arguments() const override { return QStringLiteral("DIR"); }
    QString summary() const override { return QStringLiteral("write a demo board into DIR (board directory DIR/RA)"); }
    int rank() const override { return 900; }
    bool needsBoard() const override { return false; }
    int run(ToolContext& c, const QStringList& args) override
    {
        if (args.size() != 1)
            return c.usage(QStringLiteral("make-demo wants one directory"));
        const QString dir = QDir(args[0]).absolutePath();
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
