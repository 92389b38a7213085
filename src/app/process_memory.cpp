#include "app/process_memory.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif
#if defined(__GLIBC__) && defined(__linux__)
#include <sys/mman.h>
#include <unistd.h>
#endif

namespace tonequill {
namespace {

constexpr std::size_t kMiB = std::size_t{1} << 20;
// Blocks this large are mapped by themselves; smaller ones come from the heap.
constexpr std::size_t kOwnMappingFrom = 32 * kMiB;
// The most heap the run sets out with.
constexpr std::size_t kMostReserve = 1024 * kMiB;

#if defined(__GLIBC__) && defined(__linux__)
// The stretch of the heap before its first 2 MiB boundary, held for the whole
// run; only its first page is ever written.
void* heapHead = nullptr;

// Grows the heap by about `bytes` without touching it and asks the kernel to
// back that stretch with 2 MiB pages where it can. The growth is address
// space only: memory is taken as the run first writes to it.
void reserveHugePageHeap(std::size_t bytes) {
    constexpr auto kHugePage = std::uintptr_t{2} * kMiB;
    const auto before = reinterpret_cast<std::uintptr_t>(sbrk(0));
    mallopt(M_TOP_PAD, static_cast<int>(bytes));  // the next growth of the heap adds this much
    void* grow = std::malloc(kMiB);
    mallopt(M_TOP_PAD, 128 * 1024);  // the library's default again
    if (grow == nullptr) return;
    *static_cast<volatile char*>(grow) = 0;  // an allocation the compiler must keep
    const auto after = reinterpret_cast<std::uintptr_t>(sbrk(0));
    const auto at = reinterpret_cast<std::uintptr_t>(grow);  // the block starts where the heap's free top did
    const std::uintptr_t from = (before + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t to = after & ~(kHugePage - 1);
    // Where the heap could not grow, the run goes on with small pages; where
    // huge pages are off, madvise changes nothing.
    constexpr std::uintptr_t kHeaders = 32;  // this block's and the next one's
    if (after <= before || to <= from || from <= at + 2 * kHeaders) {
        std::free(grow);
        return;
    }
    madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
    // The block is cut (or grown) in place to end at the boundary and kept:
    // every later block then comes from the part on 2 MiB pages.
    heapHead = std::realloc(grow, from - at - kHeaders);
    if (heapHead == nullptr) std::free(grow);
}
#endif

}  // namespace

void prepareProcessMemory(std::uintmax_t inputBytes) {
#if defined(__GLIBC__)
    // A conversion needs some tens of bytes of memory per byte of the song,
    // most of it in lists of thousands to millions of entries that are built
    // and dropped one after another, on several threads. Three settings keep
    // that cheap:
    // - one heap for every thread, so that what one stage frees serves the
    //   next stage, whatever thread it runs on;
    // - freed blocks are kept for reuse, not handed back to the system to be
    //   mapped again as fresh, zeroed pages;
    // - that heap is set out once at the start at about the size the song
    //   will need, on 2 MiB pages where the system allows it: fresh memory
    //   costs a page fault per page, and 4 KiB pages would take some
    //   thousands of them for a large song.
    const std::size_t reserve =
        static_cast<std::size_t>(std::min<std::uintmax_t>(inputBytes, kMostReserve / 32) * 32) + 16 * kMiB;
    mallopt(M_ARENA_MAX, 1);
    mallopt(M_MMAP_THRESHOLD, static_cast<int>(kOwnMappingFrom));
    mallopt(M_TRIM_THRESHOLD, static_cast<int>(std::max(256 * kMiB, reserve + 64 * kMiB)));
#if defined(__linux__)
    reserveHugePageHeap(std::min(reserve, kMostReserve));
#endif
#else
    (void)inputBytes;
#endif
}

}  // namespace tonequill
