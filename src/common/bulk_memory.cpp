#include "common/bulk_memory.h"

#include <algorithm>
#include <cstdint>

#if defined(__unix__) || defined(__APPLE__)
#include <sys/mman.h>
#define TONEQUILL_MAPPED_REGIONS 1
#endif

namespace tonequill {
namespace {

// Regions come in whole huge pages, each starting on one.
constexpr std::size_t kPage = std::size_t{2} << 20;

// The arena in place. A run is one thread; a test that runs conversions on
// threads of its own gives each its own arena.
thread_local BulkArena* currentArena = nullptr;

std::size_t wholePages(std::size_t bytes) { return (bytes + kPage - 1) / kPage * kPage; }

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
    ::madvise(start, size, MADV_HUGEPAGE);  // a hint: without huge pages the region works the same
#endif
    return start;
}

void unmapRegion(std::byte* start, std::size_t size) { ::munmap(start, size); }

#else

std::byte* mapRegion(std::size_t size) {
    return static_cast<std::byte*>(::operator new(size, std::align_val_t{kPage}));
}

void unmapRegion(std::byte* start, std::size_t) { ::operator delete(start, std::align_val_t{kPage}); }

#endif

}  // namespace

BulkArena::BulkArena() : outer_(currentArena) { currentArena = this; }

BulkArena::~BulkArena() {
    for (const Region& region : regions_) unmapRegion(region.start, region.size);
    currentArena = outer_;
}

BulkArena* BulkArena::current() { return currentArena; }

void* BulkArena::take(std::size_t bytes) {
    const std::size_t size = wholePages(std::max<std::size_t>(bytes, 1));
    // The smallest free region that holds the list, unless it is more than
    // twice the size: a small list does not keep a large region from a
    // large one.
    Region* best = nullptr;
    for (Region& region : regions_) {
        if (region.inUse || region.size < size || region.size / 2 > size) continue;
        if (best == nullptr || region.size < best->size) best = &region;
    }
    if (best != nullptr) {
        best->inUse = true;
        return best->start;
    }
    regions_.reserve(regions_.size() + 1);  // before mapping, so a failure here leaks nothing
    Region region{mapRegion(size), size, true};
    regions_.push_back(region);
    held_ += size;
    return region.start;
}

bool BulkArena::give(void* p) {
    for (Region& region : regions_) {
        if (region.start == p && region.inUse) {
            region.inUse = false;
            return true;
        }
    }
    return false;
}

void* bulkAllocate(std::size_t bytes) {
    BulkArena* arena = BulkArena::current();
    if (arena == nullptr || bytes < kBulkThreshold) return ::operator new(bytes);
    return arena->take(bytes);
}

void bulkFree(void* p, std::size_t bytes) {
    if (p == nullptr) return;
    if (bytes >= kBulkThreshold) {
        for (BulkArena* arena = BulkArena::current(); arena != nullptr; arena = arena->outer()) {
            if (arena->give(p)) return;
        }
    }
    ::operator delete(p);
}

}  // namespace tonequill
