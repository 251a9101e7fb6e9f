#include "cli/Command.h"
#include "cli/TextTable.h"
#include "cli/ToolContext.h"
#include "storage/AreaFiles.h"
#include "storage/Encoding.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

namespace qv {
namespace {

constexpr uint64_t kFilesRaLimit = uint64_t(1) << 31;

class AreasCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "areas",
            .rank = 30,
            .summary = "the file areas with their paths",
        };
    }
    int run(ToolContext& c, const Arguments&) override
    {
        if (!c.requireConfiguration())
            return 1;
        const Board& b = c.board();
        QJsonArray a;
        TextTable t({ QStringLiteral("Number"), QStringLiteral("Record"), QStringLiteral("Group"),
                        QStringLiteral("Name"), QStringLiteral("Dir") },
            { true, true, true, false, false });
        // Paths by record rather than by number, so that a duplicate number still shows its own path.
        const std::string boardDir = QFile::encodeName(b.boardDirectory()).toStdString();
        const auto filesRa
            = readWholeFile(b.io(), resolveCaseInsensitive(b.io(), boardDir + "/files.ra"), kFilesRaLimit);
        for (const AreaInfo& info : b.config().areas()) {
            std::string stored;
            if (filesRa && filesRa->size() >= size_t(info.record) * AreaConfiguration::kAreaRecordSize)
                stored = enc::getText(filesRa->data() + size_t(info.record - 1) * AreaConfiguration::kAreaRecordSize
                        + AreaConfiguration::kAreaPathOffset,
                    AreaConfiguration::kTextWidth);
            const auto mapped = b.hostPathOf(stored);
            a.append(QJsonObject { { QStringLiteral("number"), info.number }, { QStringLiteral("record"), info.record },
                { QStringLiteral("name"), b.text(info.name) }, { QStringLiteral("group"), info.group },
                { QStringLiteral("path"), b.text(stored) },
                { QStringLiteral("dir"), mapped.ok() ? QJsonValue(mapped.hostPath) : QJsonValue(QJsonValue::Null) } });
            t.addRow({ QString::number(info.number), QString::number(info.record), QString::number(info.group),
                b.text(info.name), mapped.ok() ? mapped.hostPath : QStringLiteral("-") });
        }
        c.json() ? c.printJson(a) : c.out(t.render());
        return 0;
    }
};
QV_COMMAND(AreasCommand);

} // namespace
} // namespace qv
