#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tonequill {

// A set of track numbers from 0 to a fixed count that answers "the lowest
// member" at once: one bit per track, and one bit per word of those telling
// whether the word holds any member.
class TrackSet {
public:
    explicit TrackSet(std::size_t count) : words_((count + 63) / 64, 0), summary_((words_.size() + 63) / 64, 0) {}

    void insert(int32_t track) {
        const auto w = static_cast<std::size_t>(track) / 64;
        words_[w] |= uint64_t{1} << (static_cast<std::size_t>(track) % 64);
        summary_[w / 64] |= uint64_t{1} << (w % 64);
    }

    void erase(int32_t track) {
        const auto w = static_cast<std::size_t>(track) / 64;
        words_[w] &= ~(uint64_t{1} << (static_cast<std::size_t>(track) % 64));
        if (words_[w] == 0) summary_[w / 64] &= ~(uint64_t{1} << (w % 64));
    }

    // The lowest member, or -1 when there is none.
    [[nodiscard]] int32_t lowest() const {
        for (std::size_t s = 0; s < summary_.size(); ++s) {
            if (summary_[s] == 0) continue;
            const std::size_t w = s * 64 + static_cast<std::size_t>(std::countr_zero(summary_[s]));
            return static_cast<int32_t>(w * 64 + static_cast<std::size_t>(std::countr_zero(words_[w])));
        }
        return -1;
    }

private:
    std::vector<uint64_t> words_;
    std::vector<uint64_t> summary_;
};

}  // namespace tonequill
