#pragma once

#include <functional>
#include <ostream>
#include <string>

namespace tonequill {

// How the text of an output file is stored.
enum class LineEnds {
    crlf,       // every "\n" becomes CR LF, the same bytes on every platform
    asWritten,  // bytes as they are written
};

// Writes an output file the way a careful tool does. `write` fills a stream
// (of at most kMaxDocumentBytes); only a complete file takes the place of
// what was at `path`:
// - the text goes into a new file beside the target, created exclusively
//   under a name no one can guess, and renamed over the target once it is
//   complete, so no link or other process can redirect or share it, and a
//   reader sees the old file or the new one, never a part;
// - a symbolic link at `path` stays, and the file it points to is replaced;
//   an existing file keeps its permission bits (and owner and group where
//   the process may set them);
// - an existing file that the user may not write is refused and left as it is;
// - where no new file can be made beside it (a read-only folder) but the
//   existing one is writable, and where the target has further hard links
//   or is no regular file, the complete text is built first and written
//   into the existing file, which keeps its links;
// - SIGINT, SIGTERM and SIGHUP remove the file in the making (see
//   installInterruptCleanup).
// Every failure throws ConversionError naming the path and the system's
// reason; the target is then as it was.
void writeOutputFile(const std::string& path, const std::function<void(std::ostream&)>& write,
                     LineEnds lineEnds = LineEnds::crlf);

}  // namespace tonequill
