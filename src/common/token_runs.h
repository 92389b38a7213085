#pragma once

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

namespace tonequill {

// A stretch of one token repeated `count` times.
struct TokenRun {
    int32_t text = 0;   // index into TokenRuns::texts
    int32_t count = 0;  // 1 to TokenRuns::kMostPerRun
};

// A token list held as runs of equal tokens, so that an arpeggio tone held
// for millions of frames costs one run, not millions of strings. The runs
// are kept merged: a run is followed by a run of a different token unless it
// is full (kMostPerRun tokens). So two lists spell the same tokens exactly
// when their runs match one for one in token and count.
struct TokenRuns {
    static constexpr int32_t kMostPerRun = std::numeric_limits<int32_t>::max();
    // Beyond this `size` stops counting; far past any list that is written.
    static constexpr int64_t kMostSize = int64_t{1} << 62;

    std::vector<std::string> texts;  // the tokens the runs refer to
    std::vector<TokenRun> runs;
    int64_t size = 0;  // tokens in all, at most kMostSize

    static TokenRuns of(const std::vector<std::string>& tokens);

    // Adds a token text for append(int32_t, ...) and returns its index.
    int32_t addText(std::string_view token);
    // Appends `count` copies of texts[text] (nothing when count is below 1).
    void append(int32_t text, int32_t count);
    // Appends `count` copies of `token`, adding its text unless the last run
    // already holds it.
    void append(std::string_view token, int32_t count);

    [[nodiscard]] const std::string& token(const TokenRun& run) const {
        return texts[static_cast<std::size_t>(run.text)];
    }
    [[nodiscard]] bool empty() const { return size == 0; }
    // Every token in order; for short lists.
    [[nodiscard]] std::vector<std::string> spelled() const;
};

bool operator==(const TokenRuns& a, const TokenRuns& b);

// Runs that spell the same tokens hash alike.
uint64_t tokenRunsHash(const TokenRuns& runs);

}  // namespace tonequill
