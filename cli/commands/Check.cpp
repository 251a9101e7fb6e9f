#include "board/TransferLeftovers.h"
#include "cli/Command.h"
#include "cli/ToolContext.h"
#include "storage/AreaCheck.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QStringDecoder>

#include <set>

namespace qv {
namespace {

// Problem lines mix host paths (UTF-8) with board names (code page bytes).
QString problemText(const std::string& line, const Board& board)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(QByteArrayView(line.data(), qsizetype(line.size())));
    return utf8.hasError() ? board.text(line) : text;
}

class CheckCommand : public Command {
public:
    CommandDeclaration declaration() const override
    {
        return {
            .name = "check",
            .rank = 60,
            .summary = "look for damaged or inconsistent area files",
            .arguments = { { "[AREA]", "the area to check; every area when none is given" } },
        };
    }
    int run(ToolContext& c, const Arguments& a) override
    {
        std::optional<int> area;
        if (!a.positionals.isEmpty()) {
            area = ToolContext::areaNumber(a.positionals[0]);
            if (!area)
                return c.usage(QStringLiteral("check wants at most one area number"));
        }
        if (!c.requireConfiguration() || (area && !c.requireArea(*area)) || !c.requireFileBase())
            return 1;
        const Board& b = c.board();
        std::set<int> numbers;
        if (area)
            numbers.insert(*area);
        else
            for (const AreaInfo& a : b.config().areas())
                numbers.insert(a.number);
        QJsonArray problems;
        QString text;
        TransferLeftovers leftovers(c.board());
        for (int n : numbers) {
            QStringList found;
            for (const std::string& p : AreaCheck::run(b.io(), b.store().fileBaseDir(), n))
                found << problemText(p, b);
            found << leftovers.find(n);
            for (const QString& p : found) {
                problems.append(QJsonObject { { QStringLiteral("area"), n }, { QStringLiteral("problem"), p } });
                text += QStringLiteral("Area %1: ").arg(n) + p + QLatin1Char('\n');
            }
        }
        if (c.json())
            c.printJson(QJsonObject {
                { QStringLiteral("areas_checked"), int(numbers.size()) }, { QStringLiteral("problems"), problems } });
        else if (problems.isEmpty())
            c.out(QStringLiteral("OK: %1 area(s) checked, no problems\n").arg(numbers.size()));
        else
            c.out(text);
        return problems.isEmpty() ? 0 : 1;
    }
};
QV_COMMAND(CheckCommand);

} // namespace
} // namespace qv
