#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <span>
#include <vector>

namespace tonequill {

// The intervals of a chord above its lowest member. Most notes are no chord
// and keep none: the record is one pointer (null when empty) to a block that
// holds the count and then the values, so a note costs 8 bytes here instead of
// a vector's 24. Reads like a std::vector<int32_t>.
class ChordIntervals {
public:
    using value_type = int32_t;
    using size_type = std::size_t;
    using const_iterator = const int32_t*;
    using iterator = const int32_t*;

    ChordIntervals() = default;
    ChordIntervals(std::initializer_list<int32_t> values) { assign(values.begin(), values.size()); }
    ChordIntervals(const std::vector<int32_t>& values) { assign(values.data(), values.size()); }  // NOLINT: reads like the vector it replaces
    explicit ChordIntervals(std::span<const int32_t> values) { assign(values.data(), values.size()); }
    ChordIntervals(const ChordIntervals& other) { assign(other.data(), other.size()); }
    ChordIntervals(ChordIntervals&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
    ChordIntervals& operator=(const ChordIntervals& other) {
        if (this != &other) {
            clear();
            assign(other.data(), other.size());
        }
        return *this;
    }
    ChordIntervals& operator=(ChordIntervals&& other) noexcept {
        if (this != &other) {
            clear();
            block_ = other.block_;
            other.block_ = nullptr;
        }
        return *this;
    }
    ~ChordIntervals() { clear(); }

    [[nodiscard]] std::size_t size() const { return block_ ? static_cast<std::size_t>(block_[0]) : 0; }
    [[nodiscard]] bool empty() const { return size() == 0; }
    [[nodiscard]] const int32_t* data() const { return block_ ? block_ + 1 : nullptr; }
    [[nodiscard]] const int32_t* begin() const { return data(); }
    [[nodiscard]] const int32_t* end() const { return data() + size(); }
    const int32_t& operator[](std::size_t i) const { return data()[i]; }

    void clear() {
        delete[] block_;
        block_ = nullptr;
    }
    void push_back(int32_t value) {
        const std::size_t n = size();
        auto* grown = new int32_t[n + 2];
        grown[0] = static_cast<int32_t>(n + 1);
        if (n != 0) std::memcpy(grown + 1, data(), n * sizeof(int32_t));
        grown[n + 1] = value;
        delete[] block_;
        block_ = grown;
    }

    operator std::vector<int32_t>() const { return {begin(), end()}; }  // NOLINT: reads like the vector it replaces

    friend bool operator==(const ChordIntervals& a, const ChordIntervals& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }
    friend bool operator==(const ChordIntervals& a, const std::vector<int32_t>& b) {
        return std::equal(a.begin(), a.end(), b.begin(), b.end());
    }

private:
    // Called with no block held.
    void assign(const int32_t* values, std::size_t n) {
        if (n == 0) return;
        block_ = new int32_t[n + 1];
        block_[0] = static_cast<int32_t>(n);
        std::memcpy(block_ + 1, values, n * sizeof(int32_t));
    }

    int32_t* block_ = nullptr;  // count, then the values; null when there are none
};

}  // namespace tonequill
