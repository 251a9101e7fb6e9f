#include "board/Messages.h"
#include "cli/Command.h"
#include "cli/ToolContext.h"
#include "storage/DescriptionPack.h"

#include <QJsonObject>

namespace qv {
namespace {

class StatCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "stat",
            .rank = 50,
            .summary = "entry count and size as the file list shows them",
            .arguments = { { "AREA", "the area's number" } },
        };
    }
    int run(ToolContext& c, const Arguments& a) override
    {
        const auto area = ToolContext::areaNumber(a.positionals[0]);
        if (!area)
            return c.usage(QStringLiteral("stat wants one area number"));
        LoadOutcome loaded;
        if (!c.load(*area, loaded, WithPointers::Yes))
            return 1;
        const uint64_t total = loaded.sizes;
        const QString objects = messages::objectCount(loaded.rows.size());
        const QString megabytes = messages::megabytes(total);
        // What a pack would reclaim of the description file.
        const auto pack = surveyPackFigures(c.board().io(), c.board().store().fileBaseDir(), *area, loaded.pointers);
        const qint64 reclaimable = pack ? qint64(pack->reclaimable()) : 0;
        if (c.json())
            c.printJson(
                QJsonObject { { QStringLiteral("area"), *area }, { QStringLiteral("rows"), qint64(loaded.rows.size()) },
                    { QStringLiteral("total_bytes"), qint64(total) }, { QStringLiteral("objects_text"), objects },
                    { QStringLiteral("size_text"), megabytes },
                    { QStringLiteral("description_bytes"), qint64(pack ? pack->fileBytes : 0) },
                    { QStringLiteral("reclaimable_bytes"), reclaimable } });
        else
            c.out(objects + QLatin1Char('\n') + megabytes + QLatin1Char('\n')
                + QStringLiteral("%1 bytes of descriptions, %2 of them reclaimable by pack\n")
                      .arg(pack ? pack->fileBytes : 0)
                      .arg(reclaimable));
        return 0;
    }
};
QV_COMMAND(StatCommand);

} // namespace
} // namespace qv
