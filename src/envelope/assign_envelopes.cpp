#include "envelope/assign_envelopes.h"

#include <algorithm>
#include <optional>
#include <tuple>
#include <utility>

#include "envelope/bend_sampling.h"
#include "envelope/combined_values.h"
#include "envelope/envelope_frames.h"
#include "envelope/note_sources.h"
#include "envelope/pitch_values.h"
#include "envelope/record_search.h"
#include "envelope/token_expansion.h"
#include "envelope/track_order.h"

namespace tonequill {
namespace {

// Entry `index` of a per-source-track list, or an empty list when the list
// is shorter than the source track count.
template <typename T>
const std::vector<T>& listOf(const std::vector<std::vector<T>>& lists, int32_t index) {
    static const std::vector<T> none;
    return static_cast<size_t>(index) < lists.size() ? lists[static_cast<size_t>(index)] : none;
}

struct Pass {
    MappingTables& tables;
    const PreparedSong& song;
    const std::vector<std::vector<PitchBend>>& bendsByTrack;
    const std::vector<std::vector<BendRange>>& bendRangesByTrack;
    double ticksPerFrame = 1.0;
    FrameBudget budget;

    // Neighbouring notes mostly ask for the same vibrato and arpeggio: the
    // last choice of each is kept rather than made and copied again.
    std::optional<int32_t> vibratoKey;
    VibratoChoice vibratoChoice;
    std::optional<std::tuple<bool, int32_t, int32_t>> arpeggioKey;  // chord or not, program, controller 12
    ArpeggioChoice arpeggioChoice;

    const VibratoChoice& vibratoFor(int32_t modulation) {
        if (vibratoKey != modulation) {
            vibratoChoice = pickVibrato(tables, modulation);
            vibratoKey = modulation;
        }
        return vibratoChoice;
    }

    // The choice depends on the note only through its being a chord and its program.
    const ArpeggioChoice& arpeggioFor(const PreparedNote& note, int32_t cc12) {
        const std::tuple<bool, int32_t, int32_t> key{note.isChord, note.program, cc12};
        if (arpeggioKey != key) {
            arpeggioChoice = pickArpeggio(tables, note, cc12);
            arpeggioKey = key;
        }
        return arpeggioChoice;
    }

    // Steps for one note whose source track is known; returns its record index.
    int32_t envelopeOf(const PreparedNote& note, BendState& bendState, const NoteSite& site) {
        const int32_t source = note.track;
        const VibratoChoice& vibrato =
            vibratoFor(controllerValueAt(listOf(song.modulationByTrack, source), note.startTick, 0));

        const int64_t frameCount = framesOfNote(note.startTick, note.endTick, ticksPerFrame);
        budget.take(frameCount, site);  // keeps frameCount within 32 bits too
        const auto frames = static_cast<int32_t>(frameCount);
        BendSample bend = sampleBend(bendState, listOf(bendsByTrack, source), listOf(bendRangesByTrack, source),
                                           note.startTick, frames, ticksPerFrame, site);

        const ArpeggioChoice& arpeggio =
            arpeggioFor(note, controllerValueAt(listOf(song.cc12ByTrack, source), note.startTick, -1));

        const int sources = (arpeggio.hasAp ? 1 : 0) + (vibrato.hasEmo ? 1 : 0) + (bend.hasBend ? 1 : 0);
        if (sources == 0) return -1;
        if (sources == 1) {
            // The record keeps the lists themselves: no copy of a long note's values.
            if (bend.hasBend) return findValueRecord(tables, std::move(bend.fine), std::move(bend.coarse));
            if (vibrato.hasEmo) return findTokenEmRecord(tables, vibrato.tokens, vibrato.name);
            TokenList tokens = expandArpeggio(arpeggio.tokens, note.chordIntervals);
            if (tokens.empty()) tokens.emplace_back("0");
            return findTokenEnRecord(tables, tokens, arpeggio.apText);
        }

        std::vector<int32_t> vib = vibrato.hasEmo ? expandValueTokens(vibrato.tokens, frames) : std::vector<int32_t>{};
        std::vector<int32_t> arp =
            arpeggio.hasAp ? expandNoteTokens(expandArpeggio(arpeggio.tokens, note.chordIntervals), frames)
                           : std::vector<int32_t>{};
        CombinedValues values = combineValues(bend, std::move(vib), std::move(arp), frames, site);
        // Only the flag of the bend is needed from here; a long note's lists are released first.
        bend.fine = std::vector<int32_t>();  // not "= {}", which keeps the memory
        bend.coarse = std::vector<int32_t>();
        const int32_t k = findValueRecord(tables, std::move(values.fine), std::move(values.coarse));
        if (k < 0) return -1;
        // The latest note to use a shared record names it; labels of a kind
        // this note lacks stay as an earlier note left them.
        EnvelopeRecord& record = tables.records[static_cast<size_t>(k)];
        if (arpeggio.hasAp) {
            record.hasAp = true;
            record.apText = arpeggio.apText;
            record.apWithEm = bend.hasBend;
        }
        if (vibrato.hasEmo) {
            record.hasEmo = true;
            record.emoName = vibrato.name;
            record.plusPb = bend.hasBend;
        }
        return k;
    }
};

}  // namespace

void assignEnvelopes(MappingTables& tables, PreparedSong& song, const std::vector<std::vector<PitchBend>>& bendsByTrack,
                     const std::vector<std::vector<BendRange>>& bendRangesByTrack, std::ostream& log) {
    Pass pass{tables, song, bendsByTrack, bendRangesByTrack, ticksPerFrame(song), FrameBudget{}, {}, {}, {}, {}};
    for (int32_t o = 0; o < song.outputTrackCount; ++o) {
        // TR4 takes its note envelopes from combination building; TR5 plays samples.
        if (o == 3 || o == 4) continue;
        const std::vector<int32_t> order = notesInTimeOrder(song, o);
        log << "[ENV] track=" << o + 1 << " notes=" << order.size() << "\n";
        std::vector<BendState> bendStates(static_cast<size_t>(std::max(0, song.sourceTrackCount)));
        for (const int32_t index : order) {
            PreparedNote& note = song.notes[static_cast<size_t>(index)];
            if (note.track < 0 || note.track >= song.sourceTrackCount) {
                note.envelopeIndex = -1;
                continue;
            }
            const NoteSite site{o + 1, note.startTick};
            note.envelopeIndex = pass.envelopeOf(note, bendStates[static_cast<size_t>(note.track)], site);
        }
    }
}

}  // namespace tonequill
