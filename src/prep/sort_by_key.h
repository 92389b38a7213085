#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace tonequill {

// Stable sort of large records on a few 32-bit keys (compared in order): the
// sort runs over the keys with each record's place, and every record is then
// moved once, which is far cheaper than moving records through a merge sort.
// Sorts the records from `first` on; a stretch already in order is left
// alone. The result is that of std::stable_sort with the same keys.
template <typename Record, std::size_t N, typename KeyOf, typename Allocator>
void stableSortByKey(std::vector<Record, Allocator>& records, KeyOf keyOf, std::size_t first = 0) {
    struct Entry {
        std::array<int32_t, N> key;
        uint32_t place;
    };
    std::vector<Entry> entries;
    entries.reserve(records.size() - first);
    bool ordered = true;
    for (std::size_t i = first; i < records.size(); ++i) {
        entries.push_back(Entry{keyOf(records[i]), static_cast<uint32_t>(i)});
        if (entries.size() > 1 && entries.back().key < entries[entries.size() - 2].key) ordered = false;
    }
    if (ordered) return;
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.key < b.key; });
    std::vector<Record> sorted;
    sorted.reserve(entries.size());
    for (const Entry& e : entries) sorted.push_back(std::move(records[e.place]));
    std::move(sorted.begin(), sorted.end(), records.begin() + static_cast<std::ptrdiff_t>(first));
}

}  // namespace tonequill
