#include "envelope/token_expansion.h"

#include <algorithm>
#include <string>

#include "mapping/number_text.h"

namespace tonequill {
namespace {

bool isLoopMark(const std::string& token) { return token == "L" || token == "l"; }

// The values before the loop mark and those after it; each list stops
// growing at the frame count, since no frame past it can read them.
struct HeadAndLoop {
    std::vector<int32_t> head;
    std::vector<int32_t> loop;
    bool looping = false;
    size_t limit = 0;

    void append(int32_t value, int64_t times) {
        std::vector<int32_t>& target = looping ? loop : head;
        const int64_t room = static_cast<int64_t>(limit) - static_cast<int64_t>(target.size());
        if (room > 0) target.insert(target.end(), static_cast<size_t>(std::min(times, room)), value);
    }

    // No later value can reach a frame: the head fills the note, or the
    // loop holds every value the note reads after the head.
    [[nodiscard]] bool settled() const {
        if (head.size() >= limit) return true;
        return looping && loop.size() >= limit - head.size();
    }

    // The note's values: the head, then the loop over and over (the head
    // itself when there is no loop mark; zeros when there are no values).
    ValueCycle cycle() && {
        ValueCycle out;
        if (head.empty() && loop.empty()) {
            out.loop.push_back(0);
            return out;
        }
        if (loop.empty() && head.size() < limit) loop = head;
        out.head = std::move(head);
        out.loop = std::move(loop);
        return out;
    }
};

// The number after the first character ("3" of "U3"), when there is one.
bool restIsNumber(const std::string& token) {
    return token.size() > 1 && isIntegerToken(std::string_view(token).substr(1));
}

int32_t restValue(const std::string& token) { return parseInt32(std::string_view(token).substr(1)); }

}  // namespace

TokenRuns expandArpeggio(const TokenList& tokens, std::span<const int32_t> intervals) {
    std::vector<int32_t> ascending =
        intervals.empty() ? std::vector<int32_t>{0} : std::vector<int32_t>(intervals.begin(), intervals.end());
    std::stable_sort(ascending.begin(), ascending.end());
    TokenRuns out;
    // Each interval's text is added once, when first used.
    std::vector<int32_t> textOf(ascending.size(), -1);
    auto emit = [&](size_t i, int32_t repeat) {
        if (textOf[i] < 0) textOf[i] = out.addText(std::to_string(ascending[i]));
        out.append(textOf[i], repeat);
    };
    for (const std::string& token : tokens) {
        if (token.empty()) continue;
        if (isLoopMark(token)) {
            out.append("L", 1);
            continue;
        }
        const char first = token[0];
        if (first == 'U' || first == 'u' || first == 'D' || first == 'd') {
            int32_t repeat = 1;
            if (restIsNumber(token)) repeat = std::max(1, restValue(token));
            if (first == 'U' || first == 'u') {
                for (size_t i = 0; i < ascending.size(); ++i) emit(i, repeat);
            } else {
                for (size_t i = ascending.size(); i-- > 0;) emit(i, repeat);
            }
            continue;
        }
        if (isIntegerToken(token)) out.append(token, 1);
    }
    return out;
}

std::vector<int32_t> ValueCycle::spelled(size_t frames) const {
    std::vector<int32_t> out(head.begin(), head.begin() + static_cast<std::ptrdiff_t>(std::min(head.size(), frames)));
    out.reserve(frames);
    while (out.size() < frames && !loop.empty()) {
        const size_t take = std::min(loop.size(), frames - out.size());
        out.insert(out.end(), loop.begin(), loop.begin() + static_cast<std::ptrdiff_t>(take));
    }
    return out;
}

std::vector<int32_t> expandValueTokens(const TokenList& tokens, int32_t frames) {
    return valueTokenCycle(tokens, frames).spelled(frames > 0 ? static_cast<size_t>(frames) : 0);
}

ValueCycle valueTokenCycle(const TokenList& tokens, int32_t frames) {
    HeadAndLoop lists;
    lists.limit = frames > 0 ? static_cast<size_t>(frames) : 0;
    bool haveValue = false;
    int32_t current = 0;
    for (size_t i = 0; i < tokens.size(); ++i) {
        const std::string& token = tokens[i];
        if (token.empty()) continue;
        if (isLoopMark(token)) {
            lists.looping = true;
            continue;
        }
        if ((token == "D" || token == "d") && i + 1 < tokens.size() && isIntegerToken(tokens[i + 1])) {
            // "D" <n>: hold for n more frames, at least once.
            const int64_t held = static_cast<int64_t>(parseInt32(tokens[i + 1])) + 1;
            if (haveValue) lists.append(current, std::max<int64_t>(1, held));
            ++i;
            continue;
        }
        if (token[0] == 'D' || token[0] == 'd') {
            // "D<h>": hold for h more frames; a missing, malformed or negative h holds none more.
            int64_t extra = 0;
            if (restIsNumber(token)) extra = std::max<int64_t>(0, restValue(token));
            if (haveValue) lists.append(current, extra + 1);
            continue;
        }
        if (isIntegerToken(token)) {
            current = parseInt32(token);
            haveValue = true;
            lists.append(current, 1);
        }
    }
    return std::move(lists).cycle();
}

std::vector<int32_t> expandNoteTokens(const TokenList& tokens, int32_t frames) {
    HeadAndLoop lists;
    lists.limit = frames > 0 ? static_cast<size_t>(frames) : 0;
    for (const std::string& token : tokens) {
        if (isLoopMark(token)) {
            lists.looping = true;
        } else if (isIntegerToken(token)) {
            lists.append(parseInt32(token), 1);
        }
    }
    const size_t limit = lists.limit;
    return std::move(lists).cycle().spelled(limit);
}

std::vector<int32_t> expandNoteTokens(const TokenRuns& tokens, int32_t frames) {
    return noteTokenCycle(tokens, frames).spelled(frames > 0 ? static_cast<size_t>(frames) : 0);
}

ValueCycle noteTokenCycle(const TokenRuns& tokens, int32_t frames) {
    // What each text stands for, read once: a number, the loop mark, or
    // nothing. Reading them all raises the error a number beyond 32 bits
    // gives, wherever it stands.
    enum class Kind : uint8_t { skip, loop, number };
    std::vector<Kind> kinds(tokens.texts.size(), Kind::skip);
    std::vector<int32_t> values(tokens.texts.size(), 0);
    for (size_t t = 0; t < tokens.texts.size(); ++t) {
        const std::string& text = tokens.texts[t];
        if (isLoopMark(text)) {
            kinds[t] = Kind::loop;
        } else if (isIntegerToken(text)) {
            kinds[t] = Kind::number;
            values[t] = parseInt32(text);
        }
    }
    HeadAndLoop lists;
    lists.limit = frames > 0 ? static_cast<size_t>(frames) : 0;
    for (const TokenRun& run : tokens.runs) {
        if (lists.settled()) break;
        const auto t = static_cast<size_t>(run.text);
        if (kinds[t] == Kind::loop) {
            lists.looping = true;
        } else if (kinds[t] == Kind::number) {
            lists.append(values[t], run.count);
        }
    }
    return std::move(lists).cycle();
}

}  // namespace tonequill
