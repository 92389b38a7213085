#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace tonequill {

// A read position over a byte buffer. Every read is bounds-checked and
// returns nothing when the bytes are not there, so callers keep a single
// error path.
class ByteCursor {
public:
    explicit ByteCursor(std::span<const uint8_t> bytes) : bytes_(bytes) {}

    [[nodiscard]] size_t position() const { return pos_; }
    [[nodiscard]] size_t size() const { return bytes_.size(); }
    [[nodiscard]] size_t remaining() const { return bytes_.size() - pos_; }

    // Moves to `position` (the end when past it).
    void seek(size_t position) { pos_ = std::min(position, bytes_.size()); }

    // Moves the position back by one byte (a running-status data byte is read again).
    void unread() {
        if (pos_ > 0) --pos_;
    }

    std::optional<uint8_t> u8() {
        if (pos_ >= bytes_.size()) return std::nullopt;
        return bytes_[pos_++];
    }

    std::optional<uint16_t> u16() {
        if (remaining() < 2) return std::nullopt;
        uint16_t v = static_cast<uint16_t>((bytes_[pos_] << 8) | bytes_[pos_ + 1]);
        pos_ += 2;
        return v;
    }

    std::optional<uint32_t> u32() {
        if (remaining() < 4) return std::nullopt;
        uint32_t v = (uint32_t{bytes_[pos_]} << 24) | (uint32_t{bytes_[pos_ + 1]} << 16) |
                     (uint32_t{bytes_[pos_ + 2]} << 8) | uint32_t{bytes_[pos_ + 3]};
        pos_ += 4;
        return v;
    }

    // A variable-length quantity: 7 bits per byte while the top bit is set.
    // The value keeps its low 32 bits; any number of bytes is accepted.
    std::optional<uint32_t> vlq() {
        uint32_t value = 0;
        while (true) {
            auto b = u8();
            if (!b) return std::nullopt;
            value = (value << 7) | (*b & 0x7Fu);
            if ((*b & 0x80u) == 0) return value;
        }
    }

    // The next n bytes as a view, or nothing when fewer remain.
    std::optional<std::span<const uint8_t>> take(size_t n) {
        if (remaining() < n) return std::nullopt;
        auto view = bytes_.subspan(pos_, n);
        pos_ += n;
        return view;
    }

    bool skip(size_t n) { return take(n).has_value(); }

private:
    std::span<const uint8_t> bytes_;
    size_t pos_ = 0;
};

}  // namespace tonequill
