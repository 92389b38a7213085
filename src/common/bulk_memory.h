#pragma once

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

namespace tonequill {

// Memory for a conversion's bulk lists: events, notes, bends, value lists.
//
// A run keeps one BulkArena for its whole length. Lists of some size take
// their memory from it: the arena maps memory in whole 2 MiB pages, advised
// for huge pages where the system has them, and hands it out in 4 KiB pages,
// so a song's lists fault in 2 MiB at a time instead of 4 KiB and share
// those pages. A region a list gives back stays with the arena and serves a
// later list: memory the run has touched once is used again instead of
// fresh memory. Small lists (a record's values, a few dozen frames) share
// chunks of the arena's memory in blocks of a few sizes. Dropping the arena
// gives everything back. Lists made while no arena is in place (a test that
// calls a stage directly) use the ordinary heap.
//
// Every bulk list made while an arena is in place must be gone before the
// arena is: a run declares its arena before anything that holds such lists.
class BulkArena {
public:
    BulkArena();
    ~BulkArena();
    BulkArena(const BulkArena&) = delete;
    BulkArena& operator=(const BulkArena&) = delete;

    // The arena in place, or null. Arenas nest: the latest made is in place
    // until it goes.
    static BulkArena* current();

    // The arena that was in place when this one was made.
    [[nodiscard]] BulkArena* outer() const { return outer_; }
    // Bytes of memory the arena holds, regions in use and free alike.
    [[nodiscard]] std::size_t heldBytes() const { return held_; }

    void* take(std::size_t bytes);
    // False when `p` is not memory of this arena.
    bool give(void* p);

    // A list below kBulkThreshold bytes: a block of its size class, carved
    // from chunks the arena keeps for such blocks. A block given back serves
    // the next list of its class; the chunks go with the arena.
    void* takeSmall(std::size_t bytes);
    // False when `p` is not a block of this arena.
    bool giveSmall(void* p, std::size_t bytes);

private:
    // Gives the whole huge pages of the free regions back to the system.
    void giveBackFree();

    struct Region {
        std::byte* start = nullptr;
        std::size_t size = 0;
        bool inUse = false;
    };
    std::vector<Region> regions_;
    std::size_t held_ = 0;
    // Small blocks: the chunks they are carved from, the part of the latest
    // chunk not yet carved, and for each size class the blocks given back,
    // each holding the address of the next.
    std::vector<std::uintptr_t> smallChunks_;  // by address
    std::byte* uncarved_ = nullptr;
    std::byte* chunkEnd_ = nullptr;
    std::vector<void*> freeBlocks_;
    BulkArena* outer_ = nullptr;
};

// Lists below this size take a block of a size class rather than pages of
// their own; without an arena they come from the heap.
inline constexpr std::size_t kBulkThreshold = std::size_t{64} << 10;

void* bulkAllocate(std::size_t bytes);
void bulkFree(void* p, std::size_t bytes);

// An allocator for the standard containers that takes memory as described
// above. It holds no state: every instance is interchangeable.
template <typename T>
struct BulkAllocator {
    using value_type = T;

    BulkAllocator() = default;
    template <typename U>
    BulkAllocator(const BulkAllocator<U>&) noexcept {}  // NOLINT: converting, as allocators are

    // Blocks are aligned as the heap's are.
    static_assert(alignof(T) <= __STDCPP_DEFAULT_NEW_ALIGNMENT__);

    T* allocate(std::size_t n) {
        if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
        return static_cast<T*>(bulkAllocate(n * sizeof(T)));
    }
    void deallocate(T* p, std::size_t n) noexcept { bulkFree(p, n * sizeof(T)); }

    template <typename U>
    friend bool operator==(const BulkAllocator&, const BulkAllocator<U>&) noexcept {
        return true;
    }
};

template <typename T>
using BulkList = std::vector<T, BulkAllocator<T>>;

// A fixed buffer of bytes taken as above and not cleared first, so that a
// short text touches only the memory it fills.
class BulkBytes {
public:
    BulkBytes() = default;
    explicit BulkBytes(std::size_t size) : data_(static_cast<char*>(bulkAllocate(size))), size_(size) {}
    ~BulkBytes() { bulkFree(data_, size_); }
    BulkBytes(BulkBytes&& other) noexcept : data_(other.data_), size_(other.size_) {
        other.data_ = nullptr;
        other.size_ = 0;
    }
    BulkBytes& operator=(BulkBytes&& other) noexcept {
        if (this != &other) {
            bulkFree(data_, size_);
            data_ = other.data_;
            size_ = other.size_;
            other.data_ = nullptr;
            other.size_ = 0;
        }
        return *this;
    }
    BulkBytes(const BulkBytes&) = delete;
    BulkBytes& operator=(const BulkBytes&) = delete;

    [[nodiscard]] char* data() const { return data_; }
    [[nodiscard]] std::size_t size() const { return size_; }

private:
    char* data_ = nullptr;
    std::size_t size_ = 0;
};

}  // namespace tonequill
