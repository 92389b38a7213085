#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <ostream>
#include <streambuf>
#include <string>
#include <vector>

#include "mml/text_sink.h"

namespace tonequill {

// A piece of the document written away from the document's sink, on a thread
// of its own: its text, the places where a sink on a stream would have
// handed text on, and its log lines with the place in the text each fell at.
// Replayed into the document's sink, it does to the stream and to the log
// exactly what writing it there would have done: the same writes with the
// same bytes, the same log lines between them, and the same end when the
// stream or the piece itself fails part way.
class RecordedText {
public:
    // `limit` bounds the text and the log lines kept, so a piece that turns
    // out far longer than expected costs little before it is given up;
    // room for `expected` bytes of text is made at once.
    RecordedText(std::size_t limit, std::size_t expected);
    RecordedText(const RecordedText&) = delete;
    RecordedText& operator=(const RecordedText&) = delete;

    // Runs write(sink, log) on the piece's own sink and log. An exception it
    // throws is kept, to be thrown again by replay. False when the piece grew
    // past its limit: then it is to be written straight to the document instead.
    bool record(const std::function<void(TextSink&, std::ostream&)>& write);

    // Appends the text to `sink`, handing it on where a stream sink would
    // have, and writes the log lines to `log` between those writes as they
    // came; then throws the piece's own exception, if it had one. A stream
    // that throws stops the replay there, as it would have stopped the piece.
    void replay(TextSink& sink, std::ostream& log) const;

private:
    // Where a run of log text fell: at text length `at`, after the noted
    // place there or before it.
    struct Mark {
        std::size_t at;
        bool afterStop;
        std::size_t logFrom;
    };

    // Keeps the log text, and a mark whenever the text has moved on since
    // the last line.
    class LogRecorder : public std::streambuf {
    public:
        LogRecorder(const TextSink& sink, std::size_t limit) : sink_(sink), limit_(limit) {}
        std::string text;
        std::vector<Mark> marks;

    protected:
        int_type overflow(int_type c) override;
        std::streamsize xsputn(const char* s, std::streamsize n) override;

    private:
        void place(std::size_t n);
        const TextSink& sink_;
        std::size_t limit_;
    };

    TextSink sink_;
    LogRecorder logText_;
    std::ostream log_;
    std::exception_ptr failure_;
};

}  // namespace tonequill
