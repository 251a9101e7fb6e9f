#include "cli/Command.h"
#include "cli/TextTable.h"
#include "cli/ToolContext.h"
#include "editing/ArchiverChoice.h"

#include <QJsonArray>
#include <QJsonObject>

namespace qv {
namespace {

class ArchiversCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "archivers",
            .rank = 80,
            .summary = "the archiver definitions in force, and whether each program is found",
            .needsBoard = false,
        };
    }
    int run(ToolContext& c, const Arguments&) override
    {
        QJsonArray rows;
        TextTable t({ QStringLiteral("#"), QStringLiteral("EXT"), QStringLiteral("Path"), QStringLiteral("Options"),
                        QStringLiteral("Found") },
            { true, false, false, false, false });
        int slot = 0;
        for (const ArchiverSlot& s : c.settings().archivers) {
            ++slot;
            if (s.extension.empty())
                break;
            const QString path = QString::fromStdString(s.path);
            const bool found = ArchiverChoice::programFound(path);
            rows.append(QJsonObject { { QStringLiteral("slot"), slot },
                { QStringLiteral("extension"), QString::fromStdString(s.extension) }, { QStringLiteral("path"), path },
                { QStringLiteral("options"), QString::fromStdString(s.options) }, { QStringLiteral("found"), found } });
            t.addRow({ QString::number(slot), QString::fromStdString(s.extension), path,
                QString::fromStdString(s.options), found ? QStringLiteral("yes") : QStringLiteral("no") });
        }
        if (c.json())
            c.printJson(rows);
        else
            c.out(t.render());
        return 0;
    }
};
QV_COMMAND(ArchiversCommand);

} // namespace
} // namespace qv
