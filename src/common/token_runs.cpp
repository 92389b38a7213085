#include "common/token_runs.h"

#include <algorithm>
#include <functional>

namespace tonequill {

TokenRuns TokenRuns::of(const std::vector<std::string>& tokens) {
    TokenRuns out;
    for (const std::string& token : tokens) out.append(token, 1);
    return out;
}

int32_t TokenRuns::addText(std::string_view token) {
    texts.emplace_back(token);
    return static_cast<int32_t>(texts.size() - 1);
}

void TokenRuns::append(int32_t text, int32_t count) {
    if (count < 1) return;
    size = count >= kMostSize - size ? kMostSize : size + count;
    if (!runs.empty() && token(runs.back()) == texts[static_cast<size_t>(text)]) {
        // Fill the last run; what does not fit starts the next.
        TokenRun& last = runs.back();
        const int32_t added = std::min(count, kMostPerRun - last.count);
        last.count += added;
        count -= added;
    }
    if (count > 0) runs.push_back(TokenRun{text, count});
}

void TokenRuns::append(std::string_view token, int32_t count) {
    if (count < 1) return;
    if (!runs.empty() && this->token(runs.back()) == token) {
        append(runs.back().text, count);
        return;
    }
    append(addText(token), count);
}

std::vector<std::string> TokenRuns::spelled() const {
    std::vector<std::string> out;
    for (const TokenRun& run : runs) out.insert(out.end(), static_cast<size_t>(run.count), token(run));
    return out;
}

bool operator==(const TokenRuns& a, const TokenRuns& b) {
    if (a.size != b.size || a.runs.size() != b.runs.size()) return false;
    for (size_t i = 0; i < a.runs.size(); ++i) {
        if (a.runs[i].count != b.runs[i].count || a.token(a.runs[i]) != b.token(b.runs[i])) return false;
    }
    return true;
}

uint64_t tokenRunsHash(const TokenRuns& runs) {
    uint64_t hash = static_cast<uint64_t>(runs.size);
    for (const TokenRun& run : runs.runs) {
        hash ^= std::hash<std::string>{}(runs.token(run)) + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
        hash = (hash ^ static_cast<uint32_t>(run.count)) * 0xBF58476D1CE4E5B9ull;
    }
    return hash;
}

}  // namespace tonequill
