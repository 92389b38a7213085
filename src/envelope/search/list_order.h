#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>


namespace tonequill {

// One value record in the order of one of its lists: the list's values (they
// stay where they are while the record is in the index; a record leaves the
// index before its lists change) and the record's index.
struct ListEntry {
    static constexpr std::size_t kHead = 3;
    const int32_t* values = nullptr;
    uint32_t length = 0;
    int32_t record = 0;
    // The first values again, so that most comparisons are settled without
    // reaching into the record's list.
    int32_t head[kHead] = {};
};

// The entry for a list; a search probe takes the record number
// std::numeric_limits<int32_t>::min(), which sorts before every record.
ListEntry listEntry(std::span<const int32_t> values, int32_t record);

// Value records in the order of one of their lists (value by value, a list
// before its own continuations, then by record number), kept in
// sorted blocks of bounded size. Many lists share long beginnings (one
// vibrato over notes of different lengths), so a search carries how far the
// probe agrees with the entries on either side of the range still open: a
// comparison starts where the lists may first differ, and a search costs the
// length of the probe plus a step per halving, not their product. An
// insertion moves at most one block.
class ListOrder {
public:
    struct Position {
        std::size_t block = 0;
        std::size_t index = 0;
    };

    // The first entry not before `probe`, or the end.
    [[nodiscard]] Position lowerBound(const ListEntry& probe) const;
    [[nodiscard]] bool atEnd(Position at) const { return at.block >= blocks_.size(); }
    [[nodiscard]] const ListEntry& operator[](Position at) const { return blocks_[at.block][at.index]; }
    [[nodiscard]] Position next(Position at) const;

    void insert(const ListEntry& entry);
    // The same where the place is known: `at` is lowerBound(entry), from a
    // search made since the last change.
    void insert(const ListEntry& entry, Position at);
    // Removes the entry with this list and record; it must be present.
    void erase(const ListEntry& entry);
    void clear() { blocks_.clear(); }
    [[nodiscard]] std::size_t size() const;

private:
    std::vector<std::vector<ListEntry>> blocks_;
};

}  // namespace tonequill
