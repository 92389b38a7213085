#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "envelope/envelope_frames.h"
#include "envelope/pitch_values.h"
#include "common/prepared_song.h"

namespace tonequill {

// Where one source track's pitch bend stands while a track's notes are
// sampled in time order: the next unread bend and range events and the values
// in force. Made fresh for every output track's pass.
struct BendState {
    size_t bendCursor = 0;
    size_t rangeCursor = 0;
    int32_t bend = 8192;   // centre
    double range = 2.0;    // semitones
};

// A note's pitch bend, one value per frame split into Em (fine) and En
// (coarse) parts, each with trailing zeros trimmed.
struct BendSample {
    std::vector<int32_t> fine;
    std::vector<int32_t> coarse;
    bool hasBend = false;  // some value is not 0
};

// Takes in every bend and range event at or before `tick`. Cursors only move
// forward, so notes must be sampled in start order.
void advanceBend(BendState& state, const std::vector<PitchBend>& bends, const std::vector<BendRange>& ranges,
                 double tick);

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
    BendRuns(BendState& state, const std::vector<PitchBend>& bends, const std::vector<BendRange>& ranges,
             int32_t startTick, int64_t frames, double ticksPerFrame, const NoteSite& site);

    // The next run: its value and its length in frames (at least 1); false
    // once every frame of the note has been given.
    bool next(SplitPitch& value, size_t& length);

    // Whether the bend is 0 on every frame of the note, which its first run
    // tells (neighbouring runs differ); the first run is read ahead and still
    // given by next().
    bool staysZero();

    // Reads the runs not yet given, for the errors they raise.
    void readToEnd();

    [[nodiscard]] size_t frames() const { return count_; }

private:
    [[nodiscard]] double frameTick(size_t i) const;
    // The value the state gives now.
    SplitPitch valueNow();
    // The first frame after `from` whose tick reaches `tick`; frame `from` does
    // not reach it and the note's last frame does.
    [[nodiscard]] size_t firstFrameReaching(double tick, size_t from) const;
    bool read(SplitPitch& value, size_t& length);

    BendState& state_;
    const std::vector<PitchBend>& bends_;
    const std::vector<BendRange>& ranges_;
    NoteSite site_;
    int32_t startTick_;
    double ticksPerFrame_;
    size_t count_;
    double lastFrameTick_ = 0.0;
    size_t at_ = 0;          // the first frame not yet read
    bool readAhead_ = false;  // a run has been read and not yet given
    SplitPitch aheadValue_;
    size_t aheadLength_ = 0;
    SplitPitch value_;       // the value at frame at_, the state advanced to its tick
    // The last state turned into a value, which the next one often repeats.
    int32_t knownBend_ = 8192;
    double knownRange_ = 0.0;
    SplitPitch known_;
};

// Samples the bend once per frame from `startTick`, frame i at startTick +
// floor(i * ticksPerFrame). A range of 0 or below contributes nothing. A bend
// too deep for 32 bits throws ConversionError naming `site`.
BendSample sampleBend(BendState& state, const std::vector<PitchBend>& bends, const std::vector<BendRange>& ranges,
                      int32_t startTick, int64_t frames, double ticksPerFrame, const NoteSite& site);
// The same into `into`, whose storage is reused from note to note; a note
// whose bend stays 0 throughout leaves both lists empty instead of a zero
// for every frame (the envelope pass reads no lists then).
void sampleBend(BendSample& into, BendState& state, const std::vector<PitchBend>& bends,
                const std::vector<BendRange>& ranges, int32_t startTick, int64_t frames, double ticksPerFrame,
                const NoteSite& site);

// The same from a note's runs, none of them given yet (the first may have
// been read ahead); reads them all.
void sampleRuns(BendSample& into, BendRuns& runs);

// Two value lists filled run by run, in order, each written once: a run of
// one or two frames costs a store or two rather than a call that grows the
// list. Storage for the whole note is reserved beforehand.
class PairFiller {
public:
    PairFiller(std::vector<int32_t>& fine, std::vector<int32_t>& coarse) : fine_(fine), coarse_(coarse) {}

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
    std::vector<int32_t>& fine_;
    std::vector<int32_t>& coarse_;
};

}  // namespace tonequill
