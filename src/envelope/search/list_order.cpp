#include "envelope/search/list_order.h"

#include <algorithm>
#include <iterator>

namespace tonequill {
namespace {

constexpr std::size_t kBlockSplit = 128;  // a block this large is cut in two

int32_t valueAt(const ListEntry& e, std::size_t i) { return i < ListEntry::kHead ? e.head[i] : e.values[i]; }

// Whether `entry` sorts before `probe`, the lists compared from `from` on
// (both agree before it); `common` becomes how far they agree.
bool before(const ListEntry& entry, const ListEntry& probe, std::size_t from, std::size_t& common) {
    const std::size_t shorter = std::min(entry.length, probe.length);
    std::size_t i = from;
    while (i < shorter && valueAt(entry, i) == valueAt(probe, i)) ++i;
    common = i;
    if (i < shorter) return valueAt(entry, i) < valueAt(probe, i);
    if (entry.length != probe.length) return entry.length < probe.length;  // a list sorts before its continuations
    return entry.record < probe.record;
}

}  // namespace

ListEntry listEntry(std::span<const int32_t> values, int32_t record) {
    ListEntry entry{values.data(), static_cast<uint32_t>(values.size()), record};
    std::copy_n(values.begin(), std::min(values.size(), ListEntry::kHead), entry.head);
    return entry;
}

ListOrder::Position ListOrder::lowerBound(const ListEntry& probe) const {
    // The last block whose first entry sorts before the probe, searched over
    // the blocks' first entries; lowAgree and highAgree tell how far the
    // probe agrees with the entries bounding the open range.
    std::size_t low = 0;
    std::size_t high = blocks_.size();
    std::size_t lowAgree = 0;
    std::size_t highAgree = 0;
    bool found = false;  // some block's first entry sorts before the probe
    {
        std::size_t lo = 0;  // blocks [lo, hi) still open
        std::size_t hi = blocks_.size();
        while (lo < hi) {
            const std::size_t mid = lo + (hi - lo) / 2;
            std::size_t common = 0;
            if (before(blocks_[mid].front(), probe, std::min(lowAgree, highAgree), common)) {
                low = mid;
                lowAgree = common;
                found = true;
                lo = mid + 1;
            } else {
                high = mid;
                highAgree = common;
                hi = mid;
            }
        }
    }
    if (!found) return Position{0, 0};
    // Within block `low`: its first entry sorts before the probe, and
    // everything in it sorts before the next block's first entry.
    const std::vector<ListEntry>& entries = blocks_[low];
    std::size_t lo = 0;  // sorts before the probe
    std::size_t hi = entries.size();
    if (high != low + 1) highAgree = 0;  // the upper bound is the end of the block alone
    while (hi - lo > 1) {
        const std::size_t mid = lo + (hi - lo) / 2;
        std::size_t common = 0;
        if (before(entries[mid], probe, std::min(lowAgree, highAgree), common)) {
            lo = mid;
            lowAgree = common;
        } else {
            hi = mid;
            highAgree = common;
        }
    }
    if (hi == entries.size()) return Position{low + 1, 0};
    return Position{low, hi};
}

ListOrder::Position ListOrder::next(Position at) const {
    if (++at.index < blocks_[at.block].size()) return at;
    return Position{at.block + 1, 0};
}

void ListOrder::insert(const ListEntry& entry) { insert(entry, lowerBound(entry)); }

void ListOrder::insert(const ListEntry& entry, Position at) {
    if (blocks_.empty()) {
        blocks_.emplace_back(1, entry);
        return;
    }
    if (atEnd(at) || (at.index == 0 && at.block > 0)) {
        // Between two blocks, or after the last: the end of the block before.
        at.block -= 1;
        at.index = blocks_[at.block].size();
    }
    std::vector<ListEntry>& entries = blocks_[at.block];
    entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(at.index), entry);
    if (entries.size() >= kBlockSplit) {
        std::vector<ListEntry> upper(entries.begin() + static_cast<std::ptrdiff_t>(kBlockSplit / 2), entries.end());
        entries.resize(kBlockSplit / 2);
        blocks_.insert(blocks_.begin() + static_cast<std::ptrdiff_t>(at.block) + 1, std::move(upper));
    }
}

void ListOrder::erase(const ListEntry& entry) {
    const Position at = lowerBound(entry);
    std::vector<ListEntry>& entries = blocks_[at.block];
    entries.erase(entries.begin() + static_cast<std::ptrdiff_t>(at.index));
    if (entries.empty()) blocks_.erase(blocks_.begin() + static_cast<std::ptrdiff_t>(at.block));
}

std::size_t ListOrder::size() const {
    std::size_t n = 0;
    for (const auto& entries : blocks_) n += entries.size();
    return n;
}

}  // namespace tonequill
