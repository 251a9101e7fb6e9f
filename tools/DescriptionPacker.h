#pragma once

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

namespace qv {

class Board;

// Packs the description files of chosen areas: only the texts some record points at are kept,
// in record order, one change of the store per area.
class DescriptionPacker {
public:
    struct AreaResult {
        int area = 0;
        uint64_t bytesBefore = 0;
        uint64_t bytesAfter = 0; // a survey: what the pack would leave
        uint64_t texts = 0;
        bool written = false;
        uint64_t carriedOver = 0; // entries the board added meanwhile, kept
        QString error; // empty when the area was packed (or surveyed)

        uint64_t reclaimed() const { return bytesBefore > bytesAfter ? bytesBefore - bytesAfter : 0; }
    };

    explicit DescriptionPacker(Board& board);

    // What a pack would reclaim in each area; changes nothing.
    std::vector<AreaResult> survey(const std::vector<int>& areas, const std::function<void(size_t done)>& progress = {},
        const std::atomic<bool>* stop = nullptr) const;
    // Packs each area; progress(k) before area k. A stop ends between areas.
    std::vector<AreaResult> pack(const std::vector<int>& areas, const std::function<void(size_t done)>& progress = {},
        const std::atomic<bool>* stop = nullptr) const;

    // "2 area(s) packed, 1234567 bytes reclaimed."
    static QString summary(const std::vector<AreaResult>& results, bool survey);

private:
    Board& m_board;
};

} // namespace qv
