// New entries and new descriptions of old ones, committed as one change.

#include "storage/AreaStore.h"

#include "storage/Text.h"

#include <algorithm>
#include <cerrno>
#include <map>

namespace qv {

Result<void> AreaStore::insertAndRedescribe(int area, uint64_t p, std::vector<NewEntry> entries,
    std::vector<std::string> descriptions, const std::vector<DescriptionChange>& redescribed)
{
    if (descriptions.size() != entries.size())
        return Error { EINVAL, "one description per entry" };
    if (entries.empty() && redescribed.empty())
        return {};
    auto start = beginChange(area);
    if (!start)
        return start.error();
    const auto& [before, records] = *start;
    // The last change of a position wins.
    std::map<uint64_t, size_t> changeOf;
    for (size_t k = 0; k < redescribed.size(); ++k) {
        if (redescribed[k].position >= records)
            return Error { EINVAL,
                "record " + std::to_string(redescribed[k].position + 1) + " is past the end of the area" };
        changeOf[redescribed[k].position] = k;
    }
    std::vector<std::string> texts = std::move(descriptions);
    // A long name also goes into the description file, for the board's pointer at 174.
    std::vector<size_t> longNameText(entries.size(), 0);
    for (size_t k = 0; k < entries.size(); ++k) {
        const std::string longName = entries[k].longName.name();
        if (!text::trim(longName).empty()) {
            longNameText[k] = texts.size();
            texts.push_back(longName);
        }
    }
    std::map<uint64_t, size_t> textOf; // position -> text
    for (const auto& [position, k] : changeOf) {
        textOf[position] = texts.size();
        texts.push_back(redescribed[k].text);
    }
    auto appended = appendNoted(area, texts);
    if (!appended)
        return appended.error();
    const std::vector<int32_t>& pointers = appended->second;
    p = std::min(p, records);
    RewritePlan plan;
    auto keepRange = [&](uint64_t first, uint64_t end) {
        for (auto it = textOf.lower_bound(first); first < end;) {
            const uint64_t next = it == textOf.end() ? end : std::min(it->first, end);
            plan.keep(first, next - first);
            first = next;
            if (first < end) {
                plan.keepRepointed(first++, pointers[it->second]);
                ++it;
            }
        }
    };
    keepRange(0, p);
    for (size_t k = 0; k < entries.size(); ++k) {
        entries[k].header.setDescriptionPointer(pointers[k]);
        entries[k].index.setDescriptionPointer(pointers[k]);
        entries[k].header.setLongNamePointer(longNameText[k] ? pointers[longNameText[k]] : 0);
        plan.add(std::move(entries[k]));
    }
    keepRange(p, records);
    plan.setCreateLongNames(!entries.empty());
    return commitPlan(area, plan, appended->first, before);
}

} // namespace qv
