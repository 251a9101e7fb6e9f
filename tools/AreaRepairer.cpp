#include "tools/AreaRepairer.h"

#include "board/Board.h"
#include "board/TransferLeftovers.h"
#include "storage/AreaRepair.h"

#include <QDir>
#include <QStringDecoder>

#include <cerrno>
#include <csignal>
#include <unistd.h>

namespace qv {

namespace {

// The store's lines mix host paths (UTF-8) with board names (code page bytes).
QString lineText(const std::string& line, const Board& board)
{
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(QByteArrayView(line.data(), qsizetype(line.size())));
    return utf8.hasError() ? board.text(line) : text;
}

bool writerEnded(qint64 pid)
{
    return pid > 0 && pid != ::getpid() && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH;
}

} // namespace

AreaRepairer::AreaRepairer(Board& board)
    : m_board(board)
{
}

AreaRepairer::AreaResult AreaRepairer::run(int area, bool change) const
{
    AreaResult r;
    r.area = area;
    auto found
        = change ? repairArea(m_board.store(), area) : surveyRepair(m_board.io(), m_board.store().fileBaseDir(), area);
    if (!found) {
        r.error = lineText(found.error().message, m_board);
        return r;
    }
    for (const std::string& line : found->repairs)
        r.repairs << lineText(line, m_board);
    for (const std::string& line : found->left)
        r.left << lineText(line, m_board);

    // The area's directory: temporary copies of transfers whose process has ended go; a file a
    // transfer left in two places needs the sysop's choice of which to keep.
    const Board::AreaDirectory dir = m_board.areaDirectory(area);
    if (!dir.ok())
        return r;
    const QDir d(dir.host);
    for (const QString& name : d.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        if (!writerEnded(TransferLeftovers::writerOf(name)))
            continue;
        r.repairs
            << QStringLiteral("temporary copy %1 left by an interrupted transfer: it is removed").arg(d.filePath(name));
    }
    if (change)
        TransferLeftovers::removeDeadCopies(dir.host);
    TransferLeftovers leftovers(m_board);
    for (const QString& line : leftovers.find(area))
        if (!line.startsWith(QLatin1String("temporary copy ")))
            r.left << line + QStringLiteral("; left as it is: keep one of the two files");
    return r;
}

std::vector<AreaRepairer::AreaResult> AreaRepairer::survey(
    const std::vector<int>& areas, const std::function<void(size_t)>& progress, const std::atomic<bool>* stop) const
{
    std::vector<AreaResult> out;
    for (size_t k = 0; k < areas.size() && !(stop && stop->load()); ++k) {
        if (progress)
            progress(k);
        out.push_back(run(areas[k], false));
    }
    return out;
}

std::vector<AreaRepairer::AreaResult> AreaRepairer::repair(
    const std::vector<int>& areas, const std::function<void(size_t)>& progress, const std::atomic<bool>* stop) const
{
    std::vector<AreaResult> out;
    for (size_t k = 0; k < areas.size() && !(stop && stop->load()); ++k) {
        if (progress)
            progress(k);
        out.push_back(run(areas[k], true));
    }
    return out;
}

QString AreaRepairer::summary(const std::vector<AreaResult>& results, bool survey)
{
    int repairs = 0, areas = 0, left = 0, failed = 0;
    for (const AreaResult& r : results) {
        repairs += int(r.repairs.size());
        areas += !r.repairs.isEmpty();
        left += int(r.left.size());
        failed += !r.error.isEmpty();
    }
    QString text = repairs == 0 ? QStringLiteral("Nothing to repair in %1 area(s).").arg(results.size())
                                : QString::fromLatin1(survey ? "%1 repair(s) to make in %2 of %3 area(s)."
                                                             : "%1 repair(s) made in %2 of %3 area(s).")
                                      .arg(repairs)
                                      .arg(areas)
                                      .arg(results.size());
    if (left > 0)
        text += QStringLiteral(" %1 problem(s) left as they are.").arg(left);
    if (failed > 0)
        text += QStringLiteral(" %1 area(s) failed.").arg(failed);
    return text;
}

} // namespace qv
