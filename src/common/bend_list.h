#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <iterator>

#include "common/bulk_memory.h"
#include "common/channel_events.h"

namespace tonequill {

// One track's pitch bends in the order they came, packed: a song can hold
// tens of millions of them, one every few ticks. A bend that comes at most
// 16382 ticks after the one before it (the first: after tick 0), with a value
// of 0 to 16383 and a channel of 0 to 15, as every bend the reader makes,
// takes one 32-bit word:
//
//   bits 18 to 31  the ticks since the bend before
//   bits 14 to 17  the channel
//   bits  0 to 13  the value
//
// Any other bend takes three words: one whose tick bits are all set, then the
// tick, then the value and the channel. The list is read from its start,
// bend by bend, through a Cursor.
class BendList {
public:
    // A place in the list: the next bend to read, and the tick of the one
    // before it. Made at the start of the list.
    class Cursor {
    public:
        // How many bends lie before this place.
        [[nodiscard]] size_t passed() const { return passed_; }
        friend bool operator==(const Cursor& a, const Cursor& b) { return a.word_ == b.word_; }

    private:
        friend class BendList;
        size_t word_ = 0;
        size_t passed_ = 0;
        int32_t tick_ = 0;  // of the bend before, 0 at the start
    };

    class Iterator {
    public:
        using iterator_category = std::input_iterator_tag;
        using value_type = PitchBend;
        using difference_type = std::ptrdiff_t;
        using pointer = const PitchBend*;
        using reference = PitchBend;

        Iterator(const BendList& list, Cursor at) : list_(&list), at_(at) {}
        PitchBend operator*() const { return list_->at(at_); }
        Iterator& operator++() {
            list_->step(at_);
            return *this;
        }
        friend bool operator==(const Iterator& a, const Iterator& b) { return a.at_ == b.at_; }

    private:
        const BendList* list_;
        Cursor at_;
    };

    BendList() = default;
    BendList(std::initializer_list<PitchBend> bends) {
        for (const PitchBend& bend : bends) push_back(bend);
    }

    // The words that `bend` takes after a bend at `previousTick`.
    static size_t wordsFor(int32_t previousTick, const PitchBend& bend) {
        return packs(previousTick, bend) ? 1 : kLongWords;
    }

    // Room for bends that take `words` words in all.
    void reserveWords(size_t words) { words_.reserve(words); }

    void push_back(const PitchBend& bend) {
        if (packs(lastTick_, bend)) {
            words_.push_back(oneWord(static_cast<uint32_t>(bend.tick - lastTick_), bend.channel, bend.value));
        } else {
            words_.push_back(kLongMark);
            words_.push_back(static_cast<uint32_t>(bend.tick));
            words_.push_back(uint32_t{bend.value} | uint32_t{bend.channel} << 16);
        }
        lastTick_ = bend.tick;
        ++size_;
    }

    // Appends `count` bends on `channel` (0 to 15) that each come a few ticks
    // after the one before: bend i comes stepAt(i) ticks after it (0 to 127)
    // with value valueAt(i) (0 to 16383), and the last lands on `lastTick`.
    // Each takes one word, and the words are written in one go rather than
    // one call each: a pitch wheel sends such streams.
    template <typename StepAt, typename ValueAt>
    void appendNear(size_t count, uint8_t channel, int32_t lastTick, StepAt stepAt, ValueAt valueAt) {
        const size_t first = words_.size();
        words_.resize(first + count);
        uint32_t* const out = words_.data() + first;
        for (size_t i = 0; i < count; ++i) {
            const uint32_t step = stepAt(i);
            const uint32_t value = valueAt(i);
            assert(step <= 127 && value <= kValueMask && channel <= 0xF);
            out[i] = oneWord(step, channel, value);
        }
        lastTick_ = lastTick;
        size_ += count;
    }

    [[nodiscard]] size_t size() const { return size_; }
    [[nodiscard]] bool empty() const { return size_ == 0; }

    [[nodiscard]] bool atEnd(const Cursor& c) const { return c.word_ >= words_.size(); }
    // The bend at `c`, which is not at the end.
    [[nodiscard]] PitchBend at(const Cursor& c) const { return read(c).bend; }
    // The tick of the bend at `c`, which is not at the end.
    [[nodiscard]] int32_t tickAt(const Cursor& c) const { return read(c).bend.tick; }
    // Moves `c`, which is not at the end, to the next bend.
    void step(Cursor& c) const { pass(c, read(c)); }

    // Moves `c` past every bend from it on whose tick is at or before `tick`;
    // gives the value of the last one passed, or -1 when none was.
    template <typename Tick>
    int32_t passUpTo(Cursor& c, Tick tick) const {
        // Moved on a copy: the cursor's tick, a 32-bit number, could share
        // memory with the words for all the compiler knows, and would be
        // written back after every bend.
        Cursor at = c;
        int32_t value = -1;
        while (!atEnd(at)) {
            const Read next = read(at);
            if (next.bend.tick > tick) break;
            value = next.bend.value;
            pass(at, next);
        }
        c = at;
        return value;
    }

    [[nodiscard]] Iterator begin() const { return Iterator(*this, Cursor{}); }
    [[nodiscard]] Iterator end() const {
        Cursor c;
        c.word_ = words_.size();
        return Iterator(*this, c);
    }

private:
    static constexpr int kStepShift = 18;
    static constexpr int kChannelShift = 14;
    static constexpr uint32_t kValueMask = (uint32_t{1} << kChannelShift) - 1;
    static constexpr uint32_t kLongestStep = (uint32_t{1} << (32 - kStepShift)) - 2;  // 16382
    static constexpr uint32_t kLongMark = (kLongestStep + 1) << kStepShift;
    static constexpr size_t kLongWords = 3;

    // A bend as read at a cursor, and the words it takes.
    struct Read {
        PitchBend bend;
        size_t words = 1;
    };
    [[nodiscard]] Read read(const Cursor& c) const {
        const uint32_t word = words_[c.word_];
        if (word >= kLongMark) {
            const uint32_t rest = words_[c.word_ + 2];
            return {PitchBend{static_cast<int32_t>(words_[c.word_ + 1]), static_cast<uint8_t>(rest >> 16),
                              static_cast<uint16_t>(rest & 0xFFFFu)},
                    kLongWords};
        }
        return {PitchBend{c.tick_ + static_cast<int32_t>(word >> kStepShift),
                          static_cast<uint8_t>(word >> kChannelShift & 0xFu), static_cast<uint16_t>(word & kValueMask)},
                1};
    }
    static void pass(Cursor& c, const Read& read) {
        c.tick_ = read.bend.tick;
        c.word_ += read.words;
        ++c.passed_;
    }

    // The word of a bend that packs.
    static uint32_t oneWord(uint32_t step, uint32_t channel, uint32_t value) {
        return step << kStepShift | channel << kChannelShift | value;
    }
    static bool packs(int32_t previousTick, const PitchBend& bend) {
        const int64_t step = int64_t{bend.tick} - previousTick;
        return step >= 0 && step <= kLongestStep && bend.value <= kValueMask && bend.channel <= 0xF;
    }

    BulkList<uint32_t> words_;
    size_t size_ = 0;
    int32_t lastTick_ = 0;
};

}  // namespace tonequill
