#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

#include "common/bulk_memory.h"

// The few file operations the converter needs beyond the standard streams,
// on POSIX systems and on Windows: descriptors, exclusive creation, links,
// modes and an atomic rename. Every failure comes back as an error code
// whose message is the system's own reason ("No space left on device").
namespace tonequill::files {

// What lies at a path (links followed).
struct FileFacts {
    bool exists = false;
    bool isDirectory = false;
    bool isRegular = false;
    uint32_t mode = 0;       // permission bits
    uint64_t linkCount = 1;  // hard links to the file
    uint32_t owner = 0;
    uint32_t group = 0;
};

// The path that a write to `path` reaches: symbolic links are followed, a
// relative link from the folder that holds it; a link to a missing file
// gives that file's path. A path that is no link comes back as it is.
std::error_code resolveLinks(const std::string& path, std::string& target);

std::error_code describe(const std::string& path, FileFacts& facts);

// Opens an existing file for writing, neither creating nor cutting it.
std::error_code openForWriting(const std::string& path, int& fd);

// Creates a new file that no one else can have opened: exclusive creation,
// no link followed. A private file is readable and writable by its owner
// alone; otherwise the usual mode for new files applies.
std::error_code createExclusive(const std::string& path, bool privateFile, int& fd);

std::error_code writeAll(int fd, const char* data, std::size_t size);
std::error_code truncateTo(int fd, int64_t size);
std::error_code closeFile(int fd);

// Gives the file the permission bits of `facts`, and its owner and group
// where the process may set them.
void copyOwnerAndMode(int fd, const FileFacts& facts);

// Renames `from` over `to` in one step.
std::error_code replace(const std::string& from, const std::string& to);
void removeFile(const std::string& path);

// Whether both paths reach one existing file (links followed, hard links
// included).
bool sameFile(const std::string& a, const std::string& b);

// A few random letters and digits for a name no one can guess.
std::string randomLetters(std::size_t count);

// How a file is read by readWholeFile.
struct ReadRules {
    std::size_t limit = 0;      // more bytes than this is an error (EFBIG)
    bool regularOnly = false;   // anything but a regular file is refused (EINVAL), unread
    std::string mustStartWith;  // when the first bytes differ, reading stops there
};

// Whether `path` is a regular file that this process can open for reading.
bool canReadRegularFile(const std::string& path);

// Reads a whole file with one open and one pass: a FIFO or a pipe is read
// as it comes, a regular file in one go into room made once.
std::error_code readWholeFile(const std::string& path, const ReadRules& rules, BulkList<uint8_t>& bytes);

// The folder part of a path, up to and including its last separator; empty
// when there is none.
std::string folderOf(const std::string& path);

// The path without the extension of its file name ("music/song.mid" gives
// "music/song"): the extension starts at the name's last ".", and a dot in a
// folder's name, or one that starts the file name, starts none.
std::string withoutExtension(const std::string& path);

}  // namespace tonequill::files
