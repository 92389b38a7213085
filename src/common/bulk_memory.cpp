#include "common/bulk_memory.h"

#include <algorithm>
#include <iterator>
#include <vector>
#include <cstdint>

// The browser build's memory is one linear heap, whose mapping calls cannot
// give back part of a mapping: there the regions come from the heap.
#if (defined(__unix__) || defined(__APPLE__)) && !defined(__EMSCRIPTEN__)
#include <sys/mman.h>
#define TONEQUILL_MAPPED_REGIONS 1
#endif

// Under AddressSanitizer a small block is open to use only as far as its
// list asked, and closed again once given back, as a heap block would be.
#if defined(__SANITIZE_ADDRESS__)
#define TONEQUILL_CHECKED_BLOCKS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TONEQUILL_CHECKED_BLOCKS 1
#endif
#endif
#ifdef TONEQUILL_CHECKED_BLOCKS
#include <sanitizer/asan_interface.h>
#endif

namespace tonequill {
namespace {

#ifdef TONEQUILL_CHECKED_BLOCKS
void openBlock(void* p, std::size_t bytes) { ASAN_UNPOISON_MEMORY_REGION(p, bytes); }
void closeBlock(void* p, std::size_t bytes) { ASAN_POISON_MEMORY_REGION(p, bytes); }
#else
void openBlock(void*, std::size_t) {}
void closeBlock(void*, std::size_t) {}
#endif

// Memory is mapped in whole huge pages, advised as such, and handed out in
// small pages: a list takes what it needs of a mapping, and the rest serves
// the lists that come after it. Where faulting in a small page is dear (a
// virtual machine traps on each), one fault for 2 MiB is far cheaper than 512.
constexpr std::size_t kPage = std::size_t{2} << 20;
constexpr std::size_t kSmallPage = std::size_t{4} << 10;

// The arena in place. A run is one thread; a test that runs conversions on
// threads of its own gives each its own arena.
thread_local BulkArena* currentArena = nullptr;

std::size_t wholeSmallPages(std::size_t bytes) { return (bytes + kSmallPage - 1) / kSmallPage * kSmallPage; }

// Small blocks come in sizes of 16 bytes apart up to 512, then in powers of
// two up to kBulkThreshold: a block is at most 16 bytes or twice too large.
constexpr std::size_t kStep = 16;
constexpr std::size_t kFineLimit = 512;
constexpr std::size_t kFineClasses = kFineLimit / kStep;  // 16 to 512 bytes

std::size_t classOf(std::size_t bytes) {
    if (bytes <= kFineLimit) return bytes <= kStep ? 0 : (bytes - 1) / kStep;
    std::size_t size = kFineLimit * 2;
    std::size_t c = kFineClasses;
    while (size < bytes) {
        size *= 2;
        ++c;
    }
    return c;
}

std::size_t sizeOfClass(std::size_t c) {
    return c < kFineClasses ? (c + 1) * kStep : kFineLimit << (c - kFineClasses + 1);
}

constexpr std::size_t kClasses = kFineClasses + 7;  // 1 KiB to 64 KiB
static_assert(kFineLimit << 7 == kBulkThreshold);

#ifdef TONEQUILL_MAPPED_REGIONS

std::byte* mapRegion(std::size_t size) {
    // One page more than needed, so that the region can start on a page;
    // what lies before and after it is given back at once.
    const std::size_t mapped = size + kPage;
    void* p = ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    auto* base = static_cast<std::byte*>(p);
    const auto address = reinterpret_cast<std::uintptr_t>(base);
    const std::size_t lead = (kPage - address % kPage) % kPage;
    if (lead > 0) ::munmap(base, lead);
    const std::size_t trail = mapped - lead - size;
    if (trail > 0) ::munmap(base + lead + size, trail);
    std::byte* start = base + lead;
#ifdef MADV_HUGEPAGE
    // A hint: without huge pages the region works the same.
    ::madvise(start, size, MADV_HUGEPAGE);
#endif
    return start;
}

void unmapRegion(std::byte* start, std::size_t size) { ::munmap(start, size); }

// Mapped pages can be given back in any part, so a region can be split.
constexpr bool kRegionsSplit = true;

#else

std::byte* mapRegion(std::size_t size) {
    return static_cast<std::byte*>(::operator new(size, std::align_val_t{kPage}));
}

void unmapRegion(std::byte* start, std::size_t) { ::operator delete(start, std::align_val_t{kPage}); }

// A block of the heap goes back whole.
constexpr bool kRegionsSplit = false;

#endif

// Small blocks are carved from chunks the arena takes as it takes lists.
// Where regions split, a chunk is a quarter of a huge page, so that a small
// song's blocks and its few larger lists (the input, the writer's buffer)
// share one huge page rather than fault in one each.
constexpr std::size_t kSmallChunk = kRegionsSplit ? kPage / 4 : kPage;

}  // namespace

BulkArena::BulkArena() : freeBlocks_(kClasses, nullptr), outer_(currentArena) { currentArena = this; }

BulkArena::~BulkArena() {
    for (const std::uintptr_t chunk : smallChunks_) openBlock(reinterpret_cast<void*>(chunk), kSmallChunk);
    for (const Region& region : regions_) unmapRegion(region.start, region.size);
    currentArena = outer_;
}

BulkArena* BulkArena::current() { return currentArena; }

void* BulkArena::take(std::size_t bytes) {
    const std::size_t size = wholeSmallPages(std::max<std::size_t>(bytes, 1));
    // The smallest free region that holds the list, and all the free memory.
    std::size_t best = regions_.size();
    std::size_t free = 0;
    for (std::size_t i = 0; i < regions_.size(); ++i) {
        const Region& region = regions_[i];
        if (region.inUse) continue;
        free += region.size;
        if (region.size < size) continue;
        if (best == regions_.size() || region.size < regions_[best].size) best = i;
    }
    if (best < regions_.size()) {
        // What the list leaves of the region stays free for another list.
        if (kRegionsSplit && regions_[best].size > size) {
            const Region rest{regions_[best].start + size, regions_[best].size - size, false};
            regions_[best].size = size;
            regions_.insert(regions_.begin() + static_cast<std::ptrdiff_t>(best) + 1, rest);
        }
        regions_[best].inUse = true;
        return regions_[best].start;
    }
    // No free region holds the list. When the free memory is more than the
    // list, it goes back to the system first, as keeping it would raise what
    // the run holds at once by more than the list does. When it is less, it
    // stays for the lists that come after: memory touched once costs nothing
    // to use again, where fresh memory costs a fault and a clearing.
    if (free > size) giveBackFree();
    regions_.reserve(regions_.size() + 1);  // before mapping, so a failure here leaks nothing
    const std::size_t mapped = kRegionsSplit ? (size + kPage - 1) / kPage * kPage : size;
    const Region region{mapRegion(mapped), mapped, false};
    regions_.push_back(region);
    held_ += mapped;
    return take(bytes);
}

void BulkArena::giveBackFree() {
    std::vector<Region> kept;
    kept.reserve(regions_.size() + 2);
    for (const Region& region : regions_) {
        if (region.inUse) {
            kept.push_back(region);
            continue;
        }
        if (!kRegionsSplit) {
            unmapRegion(region.start, region.size);
            held_ -= region.size;
            continue;
        }
        // Only whole huge pages go: giving back part of one would leave the
        // lists that share it on small pages. The parts before and after
        // stay free for later lists.
        const auto address = reinterpret_cast<std::uintptr_t>(region.start);
        const std::size_t lead = std::min((kPage - address % kPage) % kPage, region.size);
        const std::size_t whole = (region.size - lead) / kPage * kPage;
        if (whole == 0) {
            kept.push_back(region);
            continue;
        }
        unmapRegion(region.start + lead, whole);
        held_ -= whole;
        if (lead > 0) kept.push_back(Region{region.start, lead, false});
        const std::size_t tail = region.size - lead - whole;
        if (tail > 0) kept.push_back(Region{region.start + lead + whole, tail, false});
    }
    regions_ = std::move(kept);
}

bool BulkArena::give(void* p) {
    for (std::size_t i = 0; i < regions_.size(); ++i) {
        if (regions_[i].start != p || !regions_[i].inUse) continue;
        regions_[i].inUse = false;
        // A free neighbour from the same split joins it again.
        if (kRegionsSplit && i + 1 < regions_.size() && !regions_[i + 1].inUse &&
            regions_[i].start + regions_[i].size == regions_[i + 1].start) {
            regions_[i].size += regions_[i + 1].size;
            regions_.erase(regions_.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        }
        if (kRegionsSplit && i > 0 && !regions_[i - 1].inUse &&
            regions_[i - 1].start + regions_[i - 1].size == regions_[i].start) {
            regions_[i - 1].size += regions_[i].size;
            regions_.erase(regions_.begin() + static_cast<std::ptrdiff_t>(i));
        }
        return true;
    }
    return false;
}

void* BulkArena::takeSmall(std::size_t bytes) {
    const std::size_t c = classOf(bytes);
    if (void* block = freeBlocks_[c]) {
        openBlock(block, sizeof(void*));
        freeBlocks_[c] = *static_cast<void**>(block);
        closeBlock(block, sizeof(void*));
        openBlock(block, bytes);
        return block;
    }
    const std::size_t size = sizeOfClass(c);
    if (static_cast<std::size_t>(chunkEnd_ - uncarved_) < size) {
        // The rest of the chunk is too small for this block; it stays uncarved.
        smallChunks_.reserve(smallChunks_.size() + 1);  // before taking, so a failure here leaks nothing
        uncarved_ = static_cast<std::byte*>(take(kSmallChunk));
        chunkEnd_ = uncarved_ + kSmallChunk;
        closeBlock(uncarved_, kSmallChunk);
        const auto address = reinterpret_cast<std::uintptr_t>(uncarved_);
        smallChunks_.insert(std::upper_bound(smallChunks_.begin(), smallChunks_.end(), address), address);
    }
    void* block = uncarved_;
    uncarved_ += size;
    openBlock(block, bytes);
    return block;
}

bool BulkArena::giveSmall(void* p, std::size_t bytes) {
    // The chunk that starts last at or before `p`, if `p` lies in it.
    const auto address = reinterpret_cast<std::uintptr_t>(p);
    const auto after = std::upper_bound(smallChunks_.begin(), smallChunks_.end(), address);
    if (after == smallChunks_.begin() || address - *std::prev(after) >= kSmallChunk) return false;
    const std::size_t c = classOf(bytes);
    openBlock(p, sizeof(void*));  // the list may have asked for less than the link needs
    *static_cast<void**>(p) = freeBlocks_[c];
    closeBlock(p, sizeOfClass(c));
    freeBlocks_[c] = p;
    return true;
}

void* bulkAllocate(std::size_t bytes) {
    BulkArena* arena = BulkArena::current();
    if (arena == nullptr) return ::operator new(bytes);
    return bytes < kBulkThreshold ? arena->takeSmall(bytes) : arena->take(bytes);
}

void bulkFree(void* p, std::size_t bytes) {
    if (p == nullptr) return;
    for (BulkArena* arena = BulkArena::current(); arena != nullptr; arena = arena->outer()) {
        if (bytes < kBulkThreshold ? arena->giveSmall(p, bytes) : arena->give(p)) return;
    }
    ::operator delete(p);
}

}  // namespace tonequill
