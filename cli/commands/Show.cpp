#include "board/Messages.h"
#include "cli/Command.h"
#include "cli/EntryJson.h"
#include "cli/TextTable.h"
#include "cli/ToolContext.h"
#include "storage/HeaderRecord.h"
#include "storage/Text.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

namespace qv {
namespace {

class ShowCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "show",
            .rank = 42,
            .summary = "one entry, every field (POS as list numbers it)",
            .arguments = { { "AREA", "the area's number" },
                { "POS", "the entry's position, 1 for the first, as list numbers them" } },
        };
    }
    int run(ToolContext& c, const Arguments& a) override
    {
        const auto area = ToolContext::areaNumber(a.positionals[0]);
        bool ok = false;
        const qint64 position = a.positionals[1].toLongLong(&ok);
        if (!area || !ok || position < 1)
            return c.usage(QStringLiteral("show wants an area number and an entry position from 1"));
        if (!c.requireArea(*area) || !c.requireFileBase())
            return 1;
        const Board& b = c.board();
        AreaStore& store = b.store();
        (void)store.recover(*area);
        auto count = store.count(*area);
        if (!count || uint64_t(position) > *count) {
            c.fail(messages::noSuchEntry(*area, uint64_t(position)));
            return 1;
        }
        const uint64_t p = uint64_t(position - 1);
        auto header = store.readHeader(*area, p);
        if (!header) {
            c.fail(QString::fromStdString(header.error().message));
            return 1;
        }
        const HeaderRecord& h = *header;
        auto longName = store.readLongName(*area, p);
        const std::string lfn = longName ? longName->name() : std::string();
        const std::string description = store.readDescription(*area, p);
        const QJsonObject entry = entryJson(b, p, h, lfn, text::displayName(h.name(), lfn), description);
        if (c.json()) {
            c.printJson(QJsonObject { { QStringLiteral("area"), *area }, { QStringLiteral("entry"), entry } });
            return 0;
        }
        auto field = [&](const char* key) { return entry[QLatin1String(key)].toVariant().toString(); };
        QStringList keywords;
        for (const QJsonValue k : entry[QStringLiteral("keywords")].toArray())
            keywords << k.toString();
        TextTable t({ QStringLiteral("Field"), QStringLiteral("Value") }, { false, false });
        const QList<std::pair<QString, QString>> rows = {
            { "Position", field("position") },
            { "Name", field("row_text") },
            { "Size", QString::number(uint32_t(h.size())) },
            { "File date", field("file_date") },
            { "Upload date", field("upload_date") },
            { "Last download", field("last_download") },
            { "Downloads", field("downloads") },
            { "Cost", field("cost") },
            { "Uploader", messages::uploaderText(h.uploader(), b.codePage()) },
            { "Attributes", attributeLetters(h.attributes()) },
            { "Password", field("password") },
            { "Keywords", keywords.join(QStringLiteral(", ")) },
        };
        for (const auto& [key, value] : rows)
            if (!h.isComment() || key == QLatin1String("Position") || key == QLatin1String("Name"))
                t.addRow({ key, value });
        for (const QString& line : b.text(description).split(QRegularExpression(QStringLiteral("\r\n|\r|\n"))))
            t.addNote(QStringLiteral("      ") + line);
        c.out(t.render());
        return 0;
    }
};
QV_COMMAND(ShowCommand);

} // namespace
} // namespace qv
