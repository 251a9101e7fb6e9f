#include "cli/Command.h"
#include "cli/TextTable.h"
#include "cli/ToolContext.h"

#include <QJsonObject>

namespace qv {
namespace {

class InfoCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "info",
            .rank = 10,
            .summary = "board name, file base path, area and group counts",
        };
    }
    int run(ToolContext& c, const Arguments&) override
    {
        if (!c.requireConfiguration())
            return 1;
        const Board& b = c.board();
        const bool mapped = !b.fileBaseDirectory().isEmpty();
        QJsonObject o;
        o[QStringLiteral("board_name")] = b.text(b.config().boardName());
        o[QStringLiteral("file_base_path")] = b.fileBasePath();
        o[QStringLiteral("file_base_dir")] = mapped ? QJsonValue(b.fileBaseDirectory()) : QJsonValue(QJsonValue::Null);
        o[QStringLiteral("areas")] = int(b.config().areas().size());
        o[QStringLiteral("groups")] = int(b.config().groups().size());
        if (c.json()) {
            c.printJson(o);
            return 0;
        }
        TextTable t({ QStringLiteral("Field"), QStringLiteral("Value") });
        t.addRow({ QStringLiteral("Board name"), o[QStringLiteral("board_name")].toString() });
        t.addRow({ QStringLiteral("File base path"), b.fileBasePath() });
        t.addRow({ QStringLiteral("File base dir"), mapped ? b.fileBaseDirectory() : b.fileBaseProblem() });
        t.addRow({ QStringLiteral("Areas"), QString::number(b.config().areas().size()) });
        t.addRow({ QStringLiteral("Groups"), QString::number(b.config().groups().size()) });
        c.out(t.render());
        return 0;
    }
};
QV_COMMAND(InfoCommand);

} // namespace
} // namespace qv
