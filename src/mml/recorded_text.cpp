#include "mml/recorded_text.h"

#include <algorithm>
#include <string_view>

namespace tonequill {

RecordedText::RecordedText(std::size_t limit, std::size_t expected)
    : sink_(TextSink::Recording{limit, std::min(limit, expected)}), logText_(sink_, limit), log_(&logText_) {
    // A log line past the limit stops the piece like text past it does.
    log_.exceptions(std::ios::badbit);
}

bool RecordedText::record(const std::function<void(TextSink&, std::ostream&)>& write) {
    try {
        write(sink_, log_);
    } catch (const TextSink::TooLong&) {
        return false;
    } catch (...) {
        failure_ = std::current_exception();
    }
    return true;
}

void RecordedText::replay(TextSink& sink, std::ostream& log) const {
    const std::string_view text = sink_.text();
    const std::vector<Mark>& marks = logText_.marks;
    const std::string& logText = logText_.text;
    std::size_t nextMark = 0;
    // Writes the log runs that came before a hand-on at text length `stop`
    // (npos: all that are left).
    auto logBefore = [&](std::size_t stop) {
        for (; nextMark < marks.size(); ++nextMark) {
            const Mark& mark = marks[nextMark];
            if (stop != TextSink::npos && (mark.at > stop || (mark.at == stop && mark.afterStop))) break;
            const std::size_t to = nextMark + 1 < marks.size() ? marks[nextMark + 1].logFrom : logText.size();
            log.write(logText.data() + mark.logFrom, static_cast<std::streamsize>(to - mark.logFrom));
        }
    };

    // The document's sink hands its text on at the first noted place where
    // it holds a block: with `held` bytes before the piece's text from
    // `from` on, that is the first noted place at least a block minus
    // `held` further on.
    // (A sink without a stream never hands on; each place is then passed once.)
    std::size_t from = 0;
    std::size_t searched = 0;
    for (;;) {
        const std::size_t held = sink.size();
        const std::size_t due = from + (held >= TextSink::kBlock ? 0 : TextSink::kBlock - held);
        const std::size_t stop = sink_.nextStop(std::max(due, searched));
        if (stop == TextSink::npos) break;
        logBefore(stop);
        sink.appendAndPassOnWhenFull(text.substr(from, stop - from));
        from = stop;
        searched = stop + 1;
    }
    logBefore(TextSink::npos);
    // A piece that failed had its last text still held back when it stopped.
    if (failure_) std::rethrow_exception(failure_);
    sink.append(text.substr(from));
}

void RecordedText::LogRecorder::place(std::size_t n) {
    if (text.size() + n > limit_) throw TextSink::TooLong{};
    const std::size_t at = sink_.size();
    const bool afterStop = sink_.atStop();
    if (marks.empty() || marks.back().at != at || marks.back().afterStop != afterStop) {
        marks.push_back(Mark{at, afterStop, text.size()});
    }
}

RecordedText::LogRecorder::int_type RecordedText::LogRecorder::overflow(int_type c) {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    place(1);
    text += traits_type::to_char_type(c);
    return c;
}

std::streamsize RecordedText::LogRecorder::xsputn(const char* s, std::streamsize n) {
    place(static_cast<std::size_t>(n));
    text.append(s, static_cast<std::size_t>(n));
    return n;
}

}  // namespace tonequill
