#include "app/measured_document.h"

#include <streambuf>

#include "app/crlf_streambuf.h"

namespace tonequill {
namespace {

// Takes whatever is written to it and keeps nothing.
class DiscardStreambuf : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

}  // namespace

void writeMeasuredDocument(const std::function<void(std::ostream&)>& write, int64_t maxDocumentBytes) {
    // The same layers as the document file's, so that the count and the
    // message are the file's own.
    DiscardStreambuf nowhere;
    LimitedStreambuf limited(&nowhere, maxDocumentBytes);
    CrlfStreambuf crlf(&limited);
    std::ostream out(&crlf);
    out.exceptions(std::ios::badbit);
    write(out);
    out.flush();
}

}  // namespace tonequill
