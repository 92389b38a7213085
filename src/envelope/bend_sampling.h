#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "envelope/envelope_frames.h"
#include "envelope/pitch_values.h"
#include "envelope/value_list.h"
#include "common/prepared_song.h"

namespace tonequill {

// Where one source track's pitch bend stands while a track's notes are
// sampled in time order: the next unread bend and range events and the values
// in force. Made fresh for every output track's pass.
struct BendState {
    BendList::Cursor bendCursor;
    size_t rangeCursor = 0;
    int32_t bend = 8192;   // centre
    double range = 2.0;    // semitones
};

// A note's pitch bend, one value per frame split into Em (fine) and En
// (coarse) parts, each with trailing zeros trimmed.
struct BendSample {
    ValueList fine;
    ValueList coarse;
    bool hasBend = false;  // some value is not 0
};

// Takes in every bend and range event at or before `tick`. Cursors only move
// forward, so notes must be sampled in start order.
void advanceBend(BendState& state, const BendList& bends, const BulkList<BendRange>& ranges,
                 double tick);

// The Em and En parts of bend values at one range, each worked out when
// first asked for: a bend that moves every frame of a long note asks for the
// same few thousand values over and over. Kept by the envelope pass from note
// to note; a new range starts the table over.
class BendValueTable {
public:
    // The value of `bend` at `range`; a depth beyond 32 bits throws
    // ConversionError naming `site`.
    SplitPitch at(int32_t bend, double range, const NoteSite& site) {
        if (range == range_ && generation_ != 0 && bend >= 0 && bend < kBendValues) {
            const Entry& entry = entries_[static_cast<size_t>(bend)];
            if (entry.generation == generation_) return entry.value;
        }
        return workOut(bend, range, site);
    }

private:
    SplitPitch workOut(int32_t bend, double range, const NoteSite& site);

    static constexpr int32_t kBendValues = 16384;
    struct Entry {
        SplitPitch value;
        uint32_t generation = 0;  // the entry holds a value when this is the table's
    };
    std::vector<Entry> entries_;
    double range_ = 0.0;
    uint32_t generation_ = 0;  // 0 before the first range
};

class PairFiller;

// A note's bend as runs of frames with one value, read one run at a time:
// frame i is sampled at tick startTick + floor(i * ticksPerFrame), and
// neighbouring frames that hear the same value, through however many events,
// make one run. Only the frames where an event has come in are looked at, so
// a held bend costs one step whatever its length, and events that a later one
// replaces before the next frame are passed over without being read for their
// value. A range of 0 or below contributes nothing. A bend too deep for 32
// bits throws ConversionError naming `site`, when the run that hears it is read.
class BendRuns {
public:
    // `values`, when given, is asked for the value of each new bend state
    // and outlives the runs.
    BendRuns(BendState& state, const BendList& bends, const BulkList<BendRange>& ranges,
             int32_t startTick, int64_t frames, double ticksPerFrame, const NoteSite& site,
             BendValueTable* values = nullptr);

    // The next run: its value and its length in frames (at least 1); false
    // once every frame of the note has been given.
    bool next(SplitPitch& value, size_t& length);

    // The same in stretches of frames that hear one bend state, each ending
    // where an event comes in: neighbouring stretches may share a value, and
    // nothing is spent on looking. For a bend that moves every frame or two.
    bool nextStretch(SplitPitch& value, size_t& length);

    // Hands every stretch not yet given to `fill`.
    void fillRest(PairFiller& fill);

    // Whether the bend is 0 on every frame of the note, which its first run
    // tells (neighbouring runs differ); asked before any run is given. The
    // first run is read ahead and still given afterwards.
    bool staysZero();

    // Reads the runs not yet given, for the errors they raise.
    void readToEnd();

    [[nodiscard]] size_t frames() const { return count_; }

private:
    [[nodiscard]] int64_t frameTick(size_t i) const;
    // Makes value_ the value the state gives now.
    void takeValue();
    // The first frame after `from` whose tick reaches `tick`; frames `from`
    // and `from` + 1 do not reach it and the note's last frame does.
    [[nodiscard]] size_t firstFrameReaching(int64_t tick, size_t from) const;
    // The first frame after `at` that reaches an event at tick `change`,
    // which is not beyond the note's last frame; sets `tick` to that frame's.
    [[nodiscard]] size_t frameOfChange(int64_t change, size_t at, int64_t& tick) const;
    // Moves past the frames from at_ on that hear the state in force, taking
    // in the events that end them; gives how many frames that was.
    size_t step();
    // Whether no range event comes in after at_ within the note.
    [[nodiscard]] bool rangeSettled() const;
    // The frames from at_ on into `fill`, read in a loop of their own while
    // only bends come in and their values are in a table: a long note's bend
    // that moves every frame.
    void fillFromBends(PairFiller& fill);

    BendState& state_;
    const BendList& bends_;
    std::span<const BendRange> ranges_;
    NoteSite site_;
    int32_t startTick_;
    double ticksPerFrame_;
    size_t count_;
    BendValueTable* values_;
    int64_t lastFrameTick_ = 0;
    size_t at_ = 0;          // the first frame not yet read
    bool readAhead_ = false;  // a run has been read and not yet given
    SplitPitch aheadValue_;
    size_t aheadLength_ = 0;
    // The value at frame at_, the state advanced to its tick, and the bend
    // and range it was worked out from: the next state often repeats them.
    SplitPitch value_;
    int32_t valueBend_ = 8192;
    double valueRange_ = 0.0;
};

// Samples the bend once per frame from `startTick`, frame i at startTick +
// floor(i * ticksPerFrame). A range of 0 or below contributes nothing. A bend
// too deep for 32 bits throws ConversionError naming `site`.
BendSample sampleBend(BendState& state, const BendList& bends, const BulkList<BendRange>& ranges,
                      int32_t startTick, int64_t frames, double ticksPerFrame, const NoteSite& site);
// The same into `into`, whose storage is reused from note to note; a note
// whose bend stays 0 throughout leaves both lists empty instead of a zero
// for every frame (the envelope pass reads no lists then).
void sampleBend(BendSample& into, BendState& state, const BendList& bends,
                const BulkList<BendRange>& ranges, int32_t startTick, int64_t frames, double ticksPerFrame,
                const NoteSite& site);

// The same from a note's runs, none of them given yet (the first may have
// been read ahead); reads them all.
void sampleRuns(BendSample& into, BendRuns& runs);

// Two value lists filled run by run, in order, each written once: a run of
// one or two frames costs a store or two rather than a call that grows the
// list. Storage for the whole note is reserved beforehand.
class PairFiller {
public:
    PairFiller(ValueList& fine, ValueList& coarse) : fine_(fine), coarse_(coarse) {}

    void add(int32_t fine, int32_t coarse) {
        fine_.push_back(fine);
        coarse_.push_back(coarse);
    }
    void add(SplitPitch value, size_t count) {
        if (count > kShortRun) {
            fine_.insert(fine_.end(), count, value.fine);
            coarse_.insert(coarse_.end(), count, value.coarse);
            return;
        }
        for (size_t i = 0; i < count; ++i) add(value.fine, value.coarse);
    }

private:
    static constexpr size_t kShortRun = 8;
    ValueList& fine_;
    ValueList& coarse_;
};

}  // namespace tonequill
