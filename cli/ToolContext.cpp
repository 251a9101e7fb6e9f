#include "cli/ToolContext.h"

#include "board/Messages.h"
#include "tools/FileSearch.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace qv {

namespace {
void write(std::FILE* stream, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}
}

ToolContext::ToolContext(Board::Options options, bool json)
    : m_options(std::move(options))
    , m_json(json)
{
}

ToolContext::~ToolContext() = default;

Board& ToolContext::board()
{
    if (!m_board)
        m_board = std::make_unique<Board>(m_options);
    return *m_board;
}

bool ToolContext::requireConfiguration()
{
    if (board().config().filesRaExists())
        return true;
    fail(QStringLiteral("Unable to read RA configuration files (FILES.RA) in ") + m_options.boardDirectory);
    return false;
}

bool ToolContext::requireArea(int area)
{
    if (!requireConfiguration())
        return false;
    if (board().areaExists(area))
        return true;
    fail(messages::areaDoesNotExist(area));
    return false;
}

bool ToolContext::requireFileBase()
{
    if (!requireConfiguration())
        return false;
    if (!board().fileBaseDirectory().isEmpty())
        return true;
    // An empty path is what a missing CONFIG.RA gives: the loader's own words fit it; an unmapped
    // drive is named with what to do about it.
    if (board().fileBasePathBytes().empty())
        fail(messages::fileBaseNotFound(QString()).text);
    else
        fail(board().fileBaseProblem());
    return false;
}

bool ToolContext::load(int area, LoadOutcome& outcome, WithPointers withPointers)
{
    if (!requireArea(area) || !requireFileBase())
        return false;
    outcome = board().loadArea(area, true, {}, withPointers);
    if (!outcome.error)
        return true;
    fail(messages::loadFailed(*outcome.error, board().fileBasePath()).text);
    return false;
}

QString ToolContext::escapeControls(const QString& text)
{
    QString escaped;
    escaped.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\n' && u != u'\t') || u == 0x7f || (u >= 0x80 && u < 0xa0))
            escaped += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
        else
            escaped += c;
    }
    return escaped;
}

void ToolContext::out(const QString& text) const
{
    if (!m_quiet)
        write(stdout, escapeControls(text));
}

void ToolContext::printJson(const QJsonValue& value) const
{
    const QJsonDocument doc = value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    write(stdout, QString::fromUtf8(doc.toJson(QJsonDocument::Indented)));
}

void ToolContext::fail(const QString& text) const
{
    write(stderr, QStringLiteral("qvtool: ") + escapeControls(text) + QLatin1Char('\n'));
}

int ToolContext::usage(const QString& problem) const
{
    if (!problem.isEmpty())
        fail(problem);
    write(stderr, m_usageText);
    return 2;
}

std::optional<int> ToolContext::areaNumber(const QString& text)
{
    bool ok = false;
    const int n = text.toInt(&ok);
    if (!ok || n < 0 || n > 65535)
        return std::nullopt;
    return n;
}

std::optional<std::vector<int>> ToolContext::chosenAreas(
    const QStringList& given, bool all, const QString& command, int& code)
{
    std::vector<int> areas;
    for (const QString& text : given) {
        const auto area = areaNumber(text);
        if (!area) {
            code = usage(QStringLiteral("%1: %2 is no area number").arg(command, text));
            return std::nullopt;
        }
        areas.push_back(*area);
    }
    if (all == !areas.empty()) {
        code = usage(QStringLiteral("%1 wants area numbers or --all").arg(command));
        return std::nullopt;
    }
    code = 1;
    if (!requireConfiguration() || !requireFileBase())
        return std::nullopt;
    if (all)
        areas = FileSearch(board()).areasInRange(1, 65535);
    for (int area : areas)
        if (!requireArea(area))
            return std::nullopt;
    return areas;
}

} // namespace qv
