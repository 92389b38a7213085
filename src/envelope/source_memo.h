#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <unordered_map>
#include <vector>

#include "common/token_runs.h"
#include "envelope/note_sources.h"
#include "mapping/mapping_tables.h"
#include "common/prepared_song.h"

namespace tonequill {

// A note source's values for the longest note asked for so far. Spelling
// tokens out to fewer frames gives the beginning of spelling them out to
// more, so a shorter note reads the beginning of these.
class FramePrefix {
public:
    // The first `frames` values; `expand(n)` spells the tokens out to n frames.
    template <typename Expand>
    std::span<const int32_t> first(int32_t frames, Expand expand) {
        const size_t n = frames > 0 ? static_cast<size_t>(frames) : 0;
        if (values_.size() < n) values_ = expand(grownLength(n));
        return {values_.data(), n};
    }

private:
    // Room for somewhat longer notes too, so that notes growing one frame at
    // a time do not spell the tokens out again each time.
    [[nodiscard]] int32_t grownLength(size_t n) const;

    std::vector<int32_t> values_;
};

// What one modulation depth gives a note: its vibrato, the vibrato's values
// and the first note that needed its token record.
struct VibratoMemo {
    uint32_t id = 0;  // tells memos apart, also after the memo has started over
    VibratoChoice choice;
    FramePrefix values;
    int32_t tokenNote = -1;  // the note whose record later notes share; -1: none yet
};

// What one arpeggio key gives a note: the arpeggio, its En tokens for the
// chord, their values and the first note that needed its token record, each
// made when first needed.
struct ArpeggioMemo {
    ArpeggioChoice choice;
    bool spelled = false;
    TokenRuns enTokens;
    FramePrefix values;
    int32_t tokenNote = -1;  // the note whose record later notes share; -1: none yet

    // The first note with this arpeggio, a vibrato and no bend, by vibrato and
    // frame count: such a note's values depend on nothing else, and a pair of
    // value lists, once answered, keeps its record, so a later note takes
    // that note's record.
    std::unordered_map<uint64_t, int32_t> withVibrato;
    static uint64_t vibratoKey(const VibratoMemo& vibrato, int32_t frames) {
        return uint64_t{vibrato.id} << 32 | static_cast<uint32_t>(frames);
    }
    void rememberWithVibrato(uint64_t key, int32_t note);

    const TokenRuns& tokensForChord(std::span<const int32_t> intervals);
};

// Neighbouring notes mostly play the same vibrato and arpeggio. Their
// choices, values and token records are kept per modulation depth and per
// arpeggio key (chord or not, program, controller 12, chord intervals) instead
// of being made again for every note. Token records found once stay the answer:
// a token record never changes and the search returns the first one that fits.
// The memo belongs to the pass's first step alone: it keeps notes, not records.
class SourceMemo {
public:
    explicit SourceMemo(const MappingTables& tables) : tables_(tables) {}

    VibratoMemo& vibrato(int32_t modulation);
    // The reference holds until the next call.
    ArpeggioMemo& arpeggio(const PreparedNote& note, int32_t cc12);

private:
    struct ArpeggioKey {
        bool chord = false;
        int32_t program = 0;
        int32_t cc12 = 0;
        std::vector<int32_t> intervals;
        bool operator==(const ArpeggioKey&) const = default;
    };
    struct ArpeggioKeyHash {
        size_t operator()(const ArpeggioKey& key) const;
    };

    const MappingTables& tables_;
    uint32_t nextVibratoId_ = 0;
    std::unordered_map<int32_t, VibratoMemo> vibratos_;
    std::unordered_map<ArpeggioKey, ArpeggioMemo, ArpeggioKeyHash> arpeggios_;
    ArpeggioKey probe_;  // reused for look-ups, so that a look-up allocates nothing; the last key asked for
    ArpeggioMemo* last_ = nullptr;  // the memo of probe_ (memos stay in place until the table starts over)
};

}  // namespace tonequill
