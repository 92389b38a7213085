// The least a converter can do: read the whole input into memory, write a
// file of the output's size, exit. bench/run.sh times Tonequill against it.
//   floor-copy IN OUT BYTES
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

// Memory for the input on 2 MiB pages where the system gives them, so that a
// large input costs few page faults.
char* allocate(size_t bytes) {
    void* p = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (p == MAP_FAILED) return nullptr;
    madvise(p, bytes, MADV_HUGEPAGE);
    return static_cast<char*>(p);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return 2;
    const int in = open(argv[1], O_RDONLY);
    struct stat info {};
    if (in < 0 || fstat(in, &info) != 0) return 1;
    size_t capacity = std::max<size_t>(static_cast<size_t>(info.st_size) + 1, 4096);
    char* whole = allocate(capacity);
    size_t size = 0;
    for (ssize_t n; whole != nullptr && (n = read(in, whole + size, capacity - size)) != 0;) {
        if (n < 0) return 1;
        size += static_cast<size_t>(n);
        if (size == capacity) {  // not a regular file, or it grew
            char* larger = allocate(capacity * 2);
            if (larger == nullptr) return 1;
            std::copy(whole, whole + size, larger);
            munmap(whole, capacity);
            whole = larger;
            capacity *= 2;
        }
    }
    if (whole == nullptr) return 1;
    close(in);
    const int out = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (out < 0) return 1;
    // The output's bytes: the input's first 64 KiB over and over (fresh
    // memory is touched only as far as the output needs it).
    long long left = std::atoll(argv[3]);
    std::vector<char> chunk(static_cast<size_t>(std::clamp<long long>(left, 1, 1 << 16)), ' ');
    std::copy(whole, whole + std::min(size, chunk.size()), chunk.begin());
    while (left > 0) {
        const size_t n = left < static_cast<long long>(chunk.size()) ? static_cast<size_t>(left) : chunk.size();
        const ssize_t written = write(out, chunk.data(), n);
        if (written <= 0) return 1;
        left -= written;
    }
    return close(out) == 0 ? 0 : 1;
}
