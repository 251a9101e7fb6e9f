#include "storage/RewritePlan.h"

#include <algorithm>

namespace qv {

std::optional<uint64_t> DescriptionLayout::moved(uint64_t p) const
{
    if (p >= tailFrom)
        return tailTo + (p - tailFrom);
    auto it = std::upper_bound(
        stretches.begin(), stretches.end(), p, [](uint64_t v, const Stretch& s) { return v < s.from; });
    if (it == stretches.begin())
        return std::nullopt;
    --it;
    if (p >= it->from + it->length)
        return std::nullopt;
    return it->to + (p - it->from);
}

void RewritePlan::push(Run run)
{
    if (run.count == 0)
        return;
    m_size += run.count;
    // Consecutive records of one source become one run, so unchanged stretches copy as blocks.
    if (!m_runs.empty() && !run.pointer) {
        Run& last = m_runs.back();
        if (last.source == run.source && !last.pointer && last.first + last.count == run.first) {
            last.count += run.count;
            return;
        }
    }
    m_runs.push_back(run);
}

void RewritePlan::keep(uint64_t first, uint64_t count)
{
    push({ Source::ThisArea, first, count, std::nullopt });
}

void RewritePlan::keepRepointed(uint64_t first, int32_t pointer)
{
    push({ Source::ThisArea, first, 1, pointer });
}

void RewritePlan::take(uint64_t first, std::optional<int32_t> pointer)
{
    push({ Source::OtherArea, first, 1, pointer });
}

void RewritePlan::takeRun(uint64_t first, uint64_t count)
{
    push({ Source::OtherArea, first, count, std::nullopt });
}

void RewritePlan::add(NewEntry entry)
{
    m_new.push_back(std::move(entry));
    push({ Source::New, m_new.size() - 1, 1, std::nullopt });
}

RewritePlan RewritePlan::removal(uint64_t count, std::vector<uint64_t> positions)
{
    std::sort(positions.begin(), positions.end());
    RewritePlan plan;
    uint64_t next = 0;
    for (uint64_t p : positions) {
        if (p >= count)
            break;
        if (p < next)
            continue;
        plan.keep(next, p - next);
        next = p + 1;
    }
    plan.keep(next, count - next);
    return plan;
}

RewritePlan RewritePlan::permutation(const std::vector<uint64_t>& order)
{
    RewritePlan plan;
    for (uint64_t p : order)
        plan.keep(p);
    return plan;
}

} // namespace qv
