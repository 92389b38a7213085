#include "app/output_file.h"

#include <ios>
#include <optional>
#include <sstream>
#include <system_error>

#include "app/crlf_streambuf.h"
#include "app/descriptor_streambuf.h"
#include "app/interrupt_cleanup.h"
#include "app/limited_streambuf.h"
#include "common/file_system.h"
#include "common/conversion_error.h"

namespace tonequill {
namespace {

using Write = std::function<void(std::ostream&)>;

[[noreturn]] void fail(const std::string& what, const std::string& path, const std::error_code& code) {
    throw ConversionError(what + " '" + path + "': " + code.message());
}

// An open file, closed when it goes.
struct Descriptor {
    int fd = -1;
    Descriptor() = default;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd >= 0) files::closeFile(fd);
    }
    std::error_code close() {
        if (fd < 0) return {};
        const int was = fd;
        fd = -1;
        return files::closeFile(was);
    }
};

// Runs `write` into `destination` through the size limit and, for CR LF
// text, the line-end conversion. Throws what the writer or the limit throws,
// and std::ios_base::failure when the destination fails.
void produce(std::streambuf* destination, const Write& write, LineEnds lineEnds) {
    LimitedStreambuf limited(destination, kMaxDocumentBytes);
    std::optional<CrlfStreambuf> crlf;
    if (lineEnds == LineEnds::crlf) crlf.emplace(&limited);
    std::ostream out(crlf ? static_cast<std::streambuf*>(&*crlf) : &limited);
    out.exceptions(std::ios::badbit);  // a write error or the size limit ends the run
    write(out);
    out.flush();
}

// Writes the whole text first built in memory into the existing file, which
// so keeps its links, owner and mode.
void writeInPlace(Descriptor& existing, const files::FileFacts& facts, const std::string& path, const Write& write,
                  LineEnds lineEnds) {
    std::stringbuf text;
    produce(&text, write, lineEnds);
    const std::string bytes = std::move(text).str();
    if (auto code = files::writeAll(existing.fd, bytes.data(), bytes.size())) {
        fail("cannot write the output file", path, code);
    }
    if (facts.isRegular) {
        if (auto code = files::truncateTo(existing.fd, static_cast<int64_t>(bytes.size()))) {
            fail("cannot write the output file", path, code);
        }
    }
    if (auto code = existing.close()) fail("cannot write the output file", path, code);
}

// Creates the new file beside `target`; forgets nothing on an interrupt.
std::error_code createTemporary(const std::string& target, bool keepPrivate, Descriptor& file,
                                std::string& temporary) {
    const std::string folder = files::folderOf(target);
    const std::string name = target.substr(folder.size()).substr(0, 160);
    std::error_code code;
    InterruptsHeld held;
    for (int attempt = 0; attempt < 32; ++attempt) {
        temporary = folder + "." + name + "." + files::randomLetters(10) + ".tmp";
        code = files::createExclusive(temporary, keepPrivate, file.fd);
        if (code != std::errc::file_exists) break;
    }
    if (!code) watchTemporaryFile(temporary);
    return code;
}

void forgetTemporary(const std::string& temporary, bool remove) {
    InterruptsHeld held;
    if (remove) files::removeFile(temporary);
    watchTemporaryFile("");
}

}  // namespace

void writeOutputFile(const std::string& path, const Write& write, LineEnds lineEnds) {
    std::string target;
    if (auto code = files::resolveLinks(path, target)) fail("cannot write the output file", path, code);
    files::FileFacts facts;
    if (auto code = files::describe(target, facts)) fail("cannot write the output file", path, code);
    if (facts.isDirectory) throw ConversionError("cannot write '" + path + "': it is a directory");

    // The rules open an existing output for writing: where that is refused,
    // nothing is written.
    Descriptor existing;
    if (facts.exists) {
        if (auto code = files::openForWriting(target, existing.fd)) fail("cannot write the output file", path, code);
        if (!facts.isRegular || facts.linkCount > 1) {
            writeInPlace(existing, facts, path, write, lineEnds);
            return;
        }
    }

    Descriptor file;
    std::string temporary;
    if (auto code = createTemporary(target, facts.exists, file, temporary)) {
        if (facts.exists) {
            writeInPlace(existing, facts, path, write, lineEnds);
            return;
        }
        fail("cannot create the output file", path, code);
    }
    existing.close();  // Windows cannot rename over a file that is open

    DescriptorStreambuf destination(file.fd);
    try {
        try {
            produce(&destination, write, lineEnds);
        } catch (const std::ios_base::failure&) {
            if (destination.error()) fail("cannot write the output file", path, destination.error());
            throw ConversionError("cannot write the output file '" + path + "'");
        }
        if (facts.exists) files::copyOwnerAndMode(file.fd, facts);
        if (auto code = file.close()) fail("cannot write the output file", path, code);
    } catch (...) {
        file.close();
        forgetTemporary(temporary, true);
        throw;
    }

    std::error_code replaced;
    {
        InterruptsHeld held;
        replaced = files::replace(temporary, target);
        if (replaced) files::removeFile(temporary);
        watchTemporaryFile("");
    }
    if (replaced) fail("cannot replace the output file", path, replaced);
}

}  // namespace tonequill
