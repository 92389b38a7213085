#include "app/output_file.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "app/crlf_streambuf.h"
#include "app/limited_streambuf.h"
#include "prep/conversion_error.h"

namespace tonequill {
namespace {

namespace fs = std::filesystem;

// A name beside `path` that nothing uses yet.
std::string temporaryName(const std::string& path) {
    for (unsigned attempt = 0;; ++attempt) {
        std::string candidate = path + ".tmp" + std::to_string(attempt);
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(candidate, ec))) return candidate;
    }
}

std::string systemReason() {
    const int code = errno;
    return code != 0 ? std::string(": ") + std::strerror(code) : std::string();
}

}  // namespace

void writeFileAtomically(const std::string& path, const std::function<void(std::ostream&)>& write) {
    std::error_code ec;
    if (fs::is_directory(path, ec)) throw ConversionError("cannot write '" + path + "': it is a directory");

    const std::string temporary = temporaryName(path);
    errno = 0;
    std::ofstream file(temporary, std::ios::binary | std::ios::trunc);
    if (!file) throw ConversionError("cannot create the output file '" + path + "'" + systemReason());

    auto discard = [&](const std::string& what) {
        const std::string reason = systemReason();
        file.close();
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw ConversionError(what + reason);
    };

    try {
        LimitedStreambuf limited(file.rdbuf(), kMaxDocumentBytes);
        CrlfStreambuf crlf(&limited);
        std::ostream out(&crlf);
        out.exceptions(std::ios::badbit);  // a write error or the size limit ends the run
        errno = 0;
        write(out);
        out.flush();
        if (!out || !file.flush()) discard("cannot write the output file '" + path + "'");
    } catch (...) {
        file.close();
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw;
    }
    errno = 0;
    file.close();
    if (!file) discard("cannot write the output file '" + path + "'");

    fs::rename(temporary, path, ec);
    if (ec) {
        std::error_code ignored;
        fs::remove(temporary, ignored);
        throw ConversionError("cannot replace the output file '" + path + "': " + ec.message());
    }
}

}  // namespace tonequill
