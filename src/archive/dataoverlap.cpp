#include "archive/dataoverlap.h"

#include <algorithm>
#include <numeric>

namespace quillomar {

namespace {}  // namespace

DataOverlap findDataOverlap(const std::vector<ArchiveEntry>& entries) {
    std::vector<std::size_t> order;
    order.reserve(entries.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].size > 0) order.push_back(i);
    }
    // By start, then by end: an entry overlaps an earlier one when it starts before the furthest
    // end seen so far.
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        const std::uint64_t startA = entries[a].offset;
        const std::uint64_t startB = entries[b].offset;
        if (startA != startB) return startA < startB;
        return a < b;
    });
    DataOverlap overlap;
    std::uint64_t furthestEnd = 0;
    std::size_t furthest = 0;
    bool any = false;
    for (const std::size_t i : order) {
        const std::uint64_t start = entries[i].offset;
        const std::uint64_t end = start + entries[i].size;
        if (any && start < furthestEnd) {
            if (overlap.entries == 0 || i < overlap.first) {
                overlap.first = i;
                overlap.firstWith = furthest;
            }
            ++overlap.entries;
        }
        if (!any || end > furthestEnd) {
            furthestEnd = end;
            furthest = i;
        }
        any = true;
    }
    return overlap;
}

std::uint64_t bytesToWrite(const std::vector<ArchiveEntry>& entries, const std::vector<std::size_t>& indices) {
    return std::accumulate(indices.begin(), indices.end(), std::uint64_t{0}, [&](std::uint64_t sum, std::size_t index) {
        return index < entries.size() ? sum + entries[index].size : sum;
    });
}

}  // namespace quillomar
