#include "cli/Command.h"
#include "cli/TextTable.h"
#include "cli/ToolContext.h"

#include <QJsonArray>
#include <QJsonObject>

namespace qv {
namespace {

class GroupsCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "groups",
            .rank = 20,
            .summary = "the file groups in record order",
        };
    }
    int run(ToolContext& c, const Arguments&) override
    {
        if (!c.requireConfiguration())
            return 1;
        QJsonArray a;
        TextTable t({ QStringLiteral("Number"), QStringLiteral("Name") }, { true, false });
        for (const GroupInfo& g : c.board().config().groups()) {
            a.append(
                QJsonObject { { QStringLiteral("number"), g.number }, { QStringLiteral("name"), c.text(g.name) } });
            t.addRow({ QString::number(g.number), c.text(g.name) });
        }
        c.json() ? c.printJson(a) : c.out(t.render());
        return 0;
    }
};
QV_COMMAND(GroupsCommand);

} // namespace
} // namespace qv
