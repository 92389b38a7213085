#pragma once

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <string_view>
#include <utility>

#include "common/bulk_memory.h"

namespace tonequill {

// The document on its way to the output stream. The writers append their
// pieces to one reusable buffer, and the buffer goes to the stream in blocks
// of about 64 KiB: the stream sees a few dozen large writes for a whole song,
// and the sink never holds a track whole. Without a stream the sink keeps
// everything, for the functions that hand a text back.
//
// The buffer is kept longer than the text in it, so a piece is copied
// straight into place: a note costs a few small copies, not a few string
// operations. Its spare room is left as it is, not cleared.
class TextSink {
public:
    static constexpr std::size_t kBlock = std::size_t{1} << 16;

    explicit TextSink(std::ostream* out) : out_(out) { grow(out_ != nullptr ? 2 * kBlock : 256); }
    TextSink(const TextSink&) = delete;
    TextSink& operator=(const TextSink&) = delete;

    void append(std::string_view piece) {
        std::memcpy(room(piece.size()), piece.data(), piece.size());
        used_ += piece.size();
    }
    void append(char c) {
        *room(1) = c;
        ++used_;
    }
    void append(std::size_t count, char c) {
        std::memset(room(count), c, count);
        used_ += count;
    }
    void number(int64_t value) {
        char* to = room(kLongestNumber);
        used_ = static_cast<std::size_t>(std::to_chars(to, to + kLongestNumber, value).ptr - buffer_.data());
    }

    // A piece stored at the start of a block of `width` readable bytes: the
    // whole block is copied, which the compiler does in a move or two, and
    // only `length` bytes of it are kept.
    template <std::size_t width>
    void appendPadded(const char* block, std::size_t length) {
        std::memcpy(room(width), block, width);
        used_ += length;
    }

    // `piece` `times` times over, passed on block by block: a rest of a
    // million bars never stands in memory whole.
    void appendRepeated(std::string_view piece, int64_t times) {
        for (int64_t i = 0; i < times; ++i) {
            append(piece);
            passOnWhenFull();
        }
    }

    // Called between pieces: hands the buffer on once it holds a block.
    void passOnWhenFull() {
        if (out_ != nullptr && used_ >= kBlock) passOn();
    }

    // Hands everything gathered to the stream. A stream that throws (the
    // document size limit, a failed write) throws from here.
    void passOn() {
        if (out_ == nullptr || used_ == 0) return;
        out_->write(buffer_.data(), static_cast<std::streamsize>(used_));
        used_ = 0;
    }

    // Everything gathered, for a sink without a stream.
    std::string take() {
        std::string text(buffer_.data(), used_);
        used_ = 0;
        return text;
    }

    // The text gathered and not yet handed on.
    [[nodiscard]] std::size_t size() const { return used_; }
    [[nodiscard]] std::string_view text() const { return {buffer_.data(), used_}; }

private:
    static constexpr std::size_t kLongestNumber = 20;  // -9223372036854775808

    // The place for the next `n` bytes, the buffer grown when they do not fit.
    char* room(std::size_t n) {
        if (buffer_.size() - used_ < n) grow(std::max(2 * buffer_.size(), used_ + n));
        return buffer_.data() + used_;
    }

    void grow(std::size_t capacity) {
        BulkBytes larger(capacity);
        if (used_ != 0) std::memcpy(larger.data(), buffer_.data(), used_);
        buffer_ = std::move(larger);
    }

    std::ostream* out_;
    BulkBytes buffer_;  // [0, used_) is the text so far
    std::size_t used_ = 0;
};

}  // namespace tonequill
