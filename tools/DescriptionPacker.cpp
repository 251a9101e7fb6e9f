#include "tools/DescriptionPacker.h"

#include "board/Board.h"
#include "storage/DescriptionPack.h"

namespace qv {

DescriptionPacker::DescriptionPacker(Board& board)
    : m_board(board)
{
}

namespace {

// One result per area, in order, until stop is set; fill does the area's work.
template <typename Fill>
std::vector<DescriptionPacker::AreaResult> eachArea(const std::vector<int>& areas,
    const std::function<void(size_t)>& progress, const std::atomic<bool>* stop, const Fill& fill)
{
    std::vector<DescriptionPacker::AreaResult> out;
    for (size_t k = 0; k < areas.size(); ++k) {
        if (stop && stop->load())
            break;
        if (progress)
            progress(k);
        DescriptionPacker::AreaResult r;
        r.area = areas[k];
        fill(r);
        out.push_back(r);
    }
    return out;
}

} // namespace

std::vector<DescriptionPacker::AreaResult> DescriptionPacker::survey(
    const std::vector<int>& areas, const std::function<void(size_t)>& progress, const std::atomic<bool>* stop) const
{
    return eachArea(areas, progress, stop, [&](AreaResult& r) {
        auto s = surveyPack(m_board.io(), m_board.store().fileBaseDir(), r.area);
        if (s) {
            r.bytesBefore = s->fileBytes;
            r.bytesAfter = s->keptBytes;
            r.texts = s->texts;
        } else {
            r.error = QString::fromStdString(s.error().message);
        }
    });
}

std::vector<DescriptionPacker::AreaResult> DescriptionPacker::pack(
    const std::vector<int>& areas, const std::function<void(size_t)>& progress, const std::atomic<bool>* stop) const
{
    return eachArea(areas, progress, stop, [&](AreaResult& r) {
        auto done = packDescriptions(m_board.store(), r.area);
        if (done) {
            r.bytesBefore = done->bytesBefore;
            r.bytesAfter = done->bytesAfter;
            r.texts = done->texts;
            r.written = done->written;
            r.carriedOver = done->carried.added;
        } else {
            r.error = QString::fromStdString(done.error().message);
        }
    });
}

QString DescriptionPacker::summary(const std::vector<AreaResult>& results, bool survey)
{
    uint64_t reclaimed = 0;
    int packed = 0, failed = 0;
    for (const AreaResult& r : results) {
        if (!r.error.isEmpty()) {
            ++failed;
            continue;
        }
        reclaimed += r.reclaimed();
        packed += survey ? r.reclaimed() > 0 : r.written;
    }
    const QString bytes = QString::number(qulonglong(reclaimed));
    QString text = survey ? QStringLiteral("%1 of %2 area(s) can be packed, %3 bytes to reclaim.")
                                .arg(packed)
                                .arg(results.size())
                                .arg(bytes)
                          : QStringLiteral("%1 area(s) packed, %2 bytes reclaimed.").arg(packed).arg(bytes);
    if (failed > 0)
        text += QStringLiteral(" %1 area(s) failed.").arg(failed);
    return text;
}

} // namespace qv
