#include "board/Messages.h"
#include "cli/Command.h"
#include "cli/ToolContext.h"
#include "cli/commands/EntryPosition.h"
#include "editing/EntryProperties.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

namespace qv {
namespace {

// Attribute names in bit order.
const char* const kAttributeNames[]
    = { "deleted", "unlisted", "free", "not-available", "locked", "missing", "no-time" };

std::optional<uint8_t> attributesOf(const QString& list)
{
    uint8_t bits = 0;
    for (const QString& item : list.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString name = item.trimmed().toLower();
        int bit = 0;
        while (bit < 7 && name != QLatin1String(kAttributeNames[bit]))
            ++bit;
        if (bit == 7)
            return std::nullopt;
        bits |= uint8_t(1 << bit);
    }
    return bits;
}

std::optional<DateBoxes> dateOf(const QString& text)
{
    static const QRegularExpression form(QStringLiteral("^(\\d{1,2})-(\\d{1,2})-(\\d{4})$"));
    const auto m = form.match(text.trimmed());
    if (!m.hasMatch())
        return std::nullopt;
    return DateBoxes { m.captured(2).toInt(), m.captured(1).toInt(), m.captured(3).toInt() };
}

class SetCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "set",
            .rank = 43,
            .summary = "write the named fields of an entry, as Apply does",
            .arguments = { { "AREA", "the area's number" }, { "POS", "the entry's position, 1 for the first" } },
            .options = {
                { "uploader", "TEXT", "the uploader's name" },
                { "upload-date", "DD-MM-YYYY", "the upload date" },
                { "last-download", "DD-MM-YYYY", "the date of the last download" },
                { "downloads", "N", "the download count" },
                { "cost", "N", "the cost" },
                { "attributes", "LIST",
                    "comma-separated names from deleted, unlisted, free, not-available, locked, missing, no-time; "
                    "an empty list clears them" },
                { "password", "TEXT", "the password" },
                { "keywords", "K1,K2,K3,K4,K5", "up to five keywords" },
            },
        };
    }
    int run(ToolContext& c, const Arguments& a) override
    {
        const auto area = ToolContext::areaNumber(a.positionals[0]);
        const auto record = parsePosition(a.positionals[1]);
        if (!area || !record)
            return c.usage(QStringLiteral("set wants an area number and an entry position from 1"));

        PropertyChanges changes;
        auto number = [&](const char* option, std::optional<int>& into) {
            if (!a.has(QLatin1String(option)))
                return true;
            bool ok = false;
            const qlonglong n = a.value(QLatin1String(option)).trimmed().toLongLong(&ok);
            // Far outside any field: the range check names it like any other value out of range.
            into = ok ? int(std::clamp<qlonglong>(n, -1, 1 << 20)) : -1;
            return ok;
        };
        if (!number("downloads", changes.downloads) || !number("cost", changes.cost))
            return c.usage(QStringLiteral("--downloads and --cost want a number"));
        for (const auto& [option, into] : { std::pair { "upload-date", &changes.uploadDate },
                 std::pair { "last-download", &changes.lastDownload } }) {
            if (!a.has(QLatin1String(option)))
                continue;
            *into = dateOf(a.value(QLatin1String(option)));
            if (!*into)
                return c.usage(QStringLiteral("--%1 wants a date DD-MM-YYYY").arg(QLatin1String(option)));
        }
        if (a.has(QStringLiteral("uploader")))
            changes.uploader = a.value(QStringLiteral("uploader"));
        if (a.has(QStringLiteral("password")))
            changes.password = a.value(QStringLiteral("password"));
        if (a.has(QStringLiteral("attributes"))) {
            changes.attributes = attributesOf(a.value(QStringLiteral("attributes")));
            if (!changes.attributes)
                return c.usage(QStringLiteral("--attributes takes names from deleted,unlisted,free,not-available,"
                                              "locked,missing,no-time"));
        }
        if (a.has(QStringLiteral("keywords"))) {
            const QStringList given = a.value(QStringLiteral("keywords")).split(QLatin1Char(','));
            if (given.size() > 5)
                return c.usage(QStringLiteral("--keywords takes at most five keywords"));
            std::array<QString, 5> keywords;
            for (qsizetype k = 0; k < given.size(); ++k)
                keywords[size_t(k)] = given[k];
            changes.keywords = keywords;
        }
        if (changes.empty())
            return c.usage(QStringLiteral("set wants at least one field to write"));

        if (!c.requireArea(*area) || !c.requireFileBase())
            return 1;
        const auto shown = readEntry(c, *area, *record);
        if (!shown)
            return 1;
        const PropertiesResult r = EntryProperties(c.board(), *area).apply(*shown, changes);
        if (r.outcome != PropertiesResult::Outcome::Written) {
            c.fail(r.rowsChanged ? messages::rowsChanged(*area, false) : r.message);
            return 1;
        }
        if (c.json())
            c.printJson(
                QJsonObject { { QStringLiteral("area"), *area }, { QStringLiteral("position"), qint64(*record + 1) },
                    { QStringLiteral("written"), QJsonArray::fromStringList(r.written) } });
        else
            c.out(QStringLiteral("Area %1, entry %2: wrote %3\n")
                      .arg(*area)
                      .arg(*record + 1)
                      .arg(r.written.join(QStringLiteral(", "))));
        return 0;
    }
};
QV_COMMAND(SetCommand);

} // namespace
} // namespace qv
