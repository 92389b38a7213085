#include "common/file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <random>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <io.h>
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace tonequill::files {
namespace {

std::error_code lastError() { return {errno, std::generic_category()}; }

#ifdef _WIN32
using StatBuffer = struct _stat64;
int statPath(const std::string& path, StatBuffer& st) { return _stat64(path.c_str(), &st); }
int statFd(int fd, StatBuffer& st) { return _fstat64(fd, &st); }
bool isRegular(const StatBuffer& st) { return (st.st_mode & _S_IFMT) == _S_IFREG; }
bool isDirectory(const StatBuffer& st) { return (st.st_mode & _S_IFMT) == _S_IFDIR; }
int readSome(int fd, uint8_t* to, std::size_t size) {
    return _read(fd, to, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
}
int closeFd(int fd) { return _close(fd); }
#else
using StatBuffer = struct stat;
int statPath(const std::string& path, StatBuffer& st) { return ::stat(path.c_str(), &st); }
int statFd(int fd, StatBuffer& st) { return ::fstat(fd, &st); }
bool isRegular(const StatBuffer& st) { return S_ISREG(st.st_mode); }
bool isDirectory(const StatBuffer& st) { return S_ISDIR(st.st_mode); }
ssize_t readSome(int fd, uint8_t* to, std::size_t size) {
    ssize_t got;
    do {
        got = ::read(fd, to, size);
    } while (got < 0 && errno == EINTR);
    return got;
}
int closeFd(int fd) { return ::close(fd); }
#endif

}  // namespace

std::string folderOf(const std::string& path) {
    const auto separator = path.find_last_of("/\\");
    return separator == std::string::npos ? std::string() : path.substr(0, separator + 1);
}

std::string withoutExtension(const std::string& path) {
    const auto nameStart = folderOf(path).size();
    const auto dot = path.find_last_of('.');
    return dot != std::string::npos && dot > nameStart ? path.substr(0, dot) : path;
}

std::error_code describe(const std::string& path, FileFacts& facts) {
    facts = FileFacts{};
    StatBuffer st{};
    if (statPath(path, st) != 0) {
        if (errno == ENOENT) return {};
        return lastError();
    }
    facts.exists = true;
    facts.isDirectory = isDirectory(st);
    facts.isRegular = isRegular(st);
    facts.mode = static_cast<uint32_t>(st.st_mode) & 07777;
    facts.linkCount = static_cast<uint64_t>(st.st_nlink);
    facts.owner = static_cast<uint32_t>(st.st_uid);
    facts.group = static_cast<uint32_t>(st.st_gid);
    return {};
}

std::string randomLetters(std::size_t count) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    std::random_device device;
    std::seed_seq seed{device(), device(),
                       static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count())};
    std::mt19937 generator(seed);
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kLetters - 2);
    std::string letters;
    for (std::size_t i = 0; i < count; ++i) letters += kLetters[pick(generator)];
    return letters;
}

std::error_code closeFile(int fd) {
    if (closeFd(fd) != 0 && errno != EINTR) return lastError();
    return {};
}

bool canReadRegularFile(const std::string& path) {
#ifdef _WIN32
    const int fd = _open(path.c_str(), _O_RDONLY | _O_BINARY);
#else
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
#endif
    if (fd < 0) return false;
    StatBuffer st{};
    const bool regular = statFd(fd, st) == 0 && isRegular(st);
    closeFd(fd);
    return regular;
}

std::error_code readWholeFile(const std::string& path, const ReadRules& rules, BulkList<uint8_t>& bytes) {
    bytes.clear();
#ifdef _WIN32
    const int fd = _open(path.c_str(), _O_RDONLY | _O_BINARY);
#else
    // Without O_NONBLOCK a FIFO would wait here for a writer even when the
    // rules refuse it; for anything that is read, blocking reads come back.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | (rules.regularOnly ? O_NONBLOCK : 0));
#endif
    if (fd < 0) return lastError();
    auto fail = [&](std::error_code code) {
        closeFd(fd);
        return code;
    };
    StatBuffer st{};
    if (statFd(fd, st) != 0) return fail(lastError());
    if (isDirectory(st)) return fail(std::make_error_code(std::errc::is_a_directory));
    if (rules.regularOnly && !isRegular(st)) return fail(std::make_error_code(std::errc::invalid_argument));
#ifndef _WIN32
    if (rules.regularOnly) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
#endif

    auto readInto = [&](std::size_t size) -> std::error_code {
        // Reads until `size` bytes are held or the file ends.
        while (bytes.size() < size) {
            const std::size_t before = bytes.size();
            bytes.resize(size);
            const auto got = readSome(fd, bytes.data() + before, size - before);
            if (got < 0) {
                bytes.resize(before);
                return lastError();
            }
            bytes.resize(before + static_cast<std::size_t>(got));
            if (got == 0) break;
        }
        return {};
    };

    // The first bytes tell whether the rest is worth reading.
    if (!rules.mustStartWith.empty()) {
        if (auto code = readInto(rules.mustStartWith.size())) return fail(code);
        if (!std::equal(bytes.begin(), bytes.end(), rules.mustStartWith.begin(),
                        rules.mustStartWith.begin() + static_cast<std::ptrdiff_t>(bytes.size())) ||
            bytes.size() < rules.mustStartWith.size()) {
            return fail({});
        }
    }
    // Whatever follows a regular file's size (a file that grew), or all of a
    // pipe or a device, is read in steps of this size.
    constexpr std::size_t kStep = std::size_t{1} << 16;
    if (isRegular(st) && st.st_size > 0) {
        // A regular file says its size: its bytes go into room made once,
        // with room for the step that finds its end.
        if (static_cast<uint64_t>(st.st_size) > rules.limit) return fail(std::make_error_code(std::errc::file_too_large));
        bytes.reserve(static_cast<std::size_t>(st.st_size) + kStep);
        if (auto code = readInto(static_cast<std::size_t>(st.st_size))) return fail(code);
    }
    for (;;) {
        const std::size_t before = bytes.size();
        const std::size_t want = std::min(kStep, rules.limit + 1 - std::min(before, rules.limit));
        if (auto code = readInto(before + want)) return fail(code);
        if (bytes.size() > rules.limit) return fail(std::make_error_code(std::errc::file_too_large));
        if (bytes.size() < before + want) break;
    }
    if (closeFd(fd) != 0 && errno != EINTR) return lastError();
    return {};
}

#ifdef _WIN32

std::error_code resolveLinks(const std::string& path, std::string& target) {
    target = path;  // links on Windows are left to the system
    return {};
}

std::error_code openForWriting(const std::string& path, int& fd) {
    fd = _open(path.c_str(), _O_WRONLY | _O_BINARY | _O_NOINHERIT);
    return fd < 0 ? lastError() : std::error_code{};
}

std::error_code createExclusive(const std::string& path, bool, int& fd) {
    fd = _open(path.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT, _S_IREAD | _S_IWRITE);
    return fd < 0 ? lastError() : std::error_code{};
}

std::error_code writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const int wrote = _write(fd, data, static_cast<unsigned>(std::min<std::size_t>(size, 1u << 30)));
        if (wrote < 0) return lastError();
        data += wrote;
        size -= static_cast<std::size_t>(wrote);
    }
    return {};
}

std::error_code truncateTo(int fd, int64_t size) {
    const errno_t code = _chsize_s(fd, size);
    return code != 0 ? std::error_code(code, std::generic_category()) : std::error_code{};
}

void copyOwnerAndMode(int, const FileFacts&) {}

std::error_code replace(const std::string& from, const std::string& to) {
    if (MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) return {};
    return std::error_code(static_cast<int>(GetLastError()), std::system_category());
}

void removeFile(const std::string& path) { _unlink(path.c_str()); }

bool sameFile(const std::string& a, const std::string& b) {
    // A file is known by its volume and its index on it.
    auto identify = [](const std::string& path, BY_HANDLE_FILE_INFORMATION& info) {
        HANDLE handle = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (handle == INVALID_HANDLE_VALUE) return false;
        const bool known = GetFileInformationByHandle(handle, &info) != 0;
        CloseHandle(handle);
        return known;
    };
    BY_HANDLE_FILE_INFORMATION first{};
    BY_HANDLE_FILE_INFORMATION second{};
    return identify(a, first) && identify(b, second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
           first.nFileIndexHigh == second.nFileIndexHigh && first.nFileIndexLow == second.nFileIndexLow;
}

#else

std::error_code resolveLinks(const std::string& path, std::string& target) {
    target = path;
    for (int hops = 0;; ++hops) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0) {
            if (errno == ENOENT) return {};  // a new file, or the missing end of a link
            return lastError();
        }
        if (!S_ISLNK(st.st_mode)) return {};
        if (hops == 40) return std::make_error_code(std::errc::too_many_symbolic_link_levels);
        std::string link(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 255) + 1, '\0');
        const ssize_t length = ::readlink(target.c_str(), link.data(), link.size());
        if (length < 0) return lastError();
        if (static_cast<std::size_t>(length) >= link.size()) return std::make_error_code(std::errc::filename_too_long);
        link.resize(static_cast<std::size_t>(length));
        target = (!link.empty() && link[0] == '/') ? link : folderOf(target) + link;
    }
}

std::error_code openForWriting(const std::string& path, int& fd) {
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    return fd < 0 ? lastError() : std::error_code{};
}

std::error_code createExclusive(const std::string& path, bool privateFile, int& fd) {
    fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY,
                privateFile ? 0600 : 0666);
    return fd < 0 ? lastError() : std::error_code{};
}

std::error_code writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t wrote = ::write(fd, data, size);
        if (wrote < 0) {
            if (errno == EINTR) continue;
            return lastError();
        }
        data += wrote;
        size -= static_cast<std::size_t>(wrote);
    }
    return {};
}

std::error_code truncateTo(int fd, int64_t size) {
    return ::ftruncate(fd, static_cast<off_t>(size)) != 0 ? lastError() : std::error_code{};
}

void copyOwnerAndMode(int fd, const FileFacts& facts) {
    // Owner first: changing it may clear the set-user and set-group bits,
    // which the mode then puts back. Each is kept only where allowed.
    if (::fchown(fd, facts.owner, facts.group) != 0) {
        [[maybe_unused]] const int ignored = ::fchown(fd, static_cast<uid_t>(-1), facts.group);
    }
    ::fchmod(fd, static_cast<mode_t>(facts.mode));
}

std::error_code replace(const std::string& from, const std::string& to) {
    return std::rename(from.c_str(), to.c_str()) != 0 ? lastError() : std::error_code{};
}

void removeFile(const std::string& path) { ::unlink(path.c_str()); }

bool sameFile(const std::string& a, const std::string& b) {
    struct stat first {};
    struct stat second {};
    return ::stat(a.c_str(), &first) == 0 && ::stat(b.c_str(), &second) == 0 && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

#endif

}  // namespace tonequill::files
