#include "envelope/assign_envelopes.h"

#include <algorithm>
#include <span>
#include <utility>
#include <vector>

#include "envelope/bend_sampling.h"
#include "envelope/combined_values.h"
#include "envelope/envelope_frames.h"
#include "envelope/note_sources.h"
#include "envelope/record_search.h"
#include "envelope/source_memo.h"
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

// A note of more frames than this keeps nothing in the pass's reused storage
// nor in the memo: its lists are made for it alone and handed to its record,
// as a held note's lists can be very long.
constexpr int32_t kLongNoteFrames = 65536;

// Where one source track stands in time during a track's pass: its bend and
// its controllers 1 and 12. Made fresh for every output track.
struct SourceState {
    BendState bend;
    ControllerCursor modulation{0};
    ControllerCursor cc12{-1};
};

struct Pass {
    MappingTables& tables;
    const PreparedSong& song;
    const std::vector<std::vector<PitchBend>>& bendsByTrack;
    const std::vector<std::vector<BendRange>>& bendRangesByTrack;
    double ticksPerFrame = 1.0;
    FrameBudget budget;
    SourceMemo memo;
    // Storage reused from note to note; a record takes a copy of what it keeps.
    BendSample bend;
    CombinedValues combined;

    Pass(MappingTables& t, const PreparedSong& s, const std::vector<std::vector<PitchBend>>& bends,
         const std::vector<std::vector<BendRange>>& ranges)
        : tables(t), song(s), bendsByTrack(bends), bendRangesByTrack(ranges), ticksPerFrame(tonequill::ticksPerFrame(s)),
          memo(t) {}

    // Steps for one note whose source track is known; returns its record index.
    int32_t envelopeOf(const PreparedNote& note, SourceState& state, const NoteSite& site) {
        const int32_t source = note.track;
        VibratoMemo& vibrato = memo.vibrato(state.modulation.at(listOf(song.modulationByTrack, source), note.startTick));

        const int64_t frameCount = framesOfNote(note.startTick, note.endTick, ticksPerFrame);
        budget.take(frameCount, site);  // keeps frameCount within 32 bits too
        const auto frames = static_cast<int32_t>(frameCount);
        sampleBend(bend, state.bend, listOf(bendsByTrack, source), listOf(bendRangesByTrack, source), note.startTick,
                   frames, ticksPerFrame, site);

        ArpeggioMemo& arpeggio = memo.arpeggio(note, state.cc12.at(listOf(song.cc12ByTrack, source), note.startTick));
        const bool hasAp = arpeggio.choice.hasAp;
        const bool hasEmo = vibrato.choice.hasEmo;

        const int sources = (hasAp ? 1 : 0) + (hasEmo ? 1 : 0) + (bend.hasBend ? 1 : 0);
        if (sources == 0) return -1;
        if (sources == 1) {
            if (bend.hasBend && frames > kLongNoteFrames) {
                return findValueRecord(tables, std::move(bend.fine), std::move(bend.coarse));
            }
            if (bend.hasBend) return findValueRecord(tables, bend.fine, bend.coarse);
            if (hasEmo) {
                if (vibrato.tokenRecord < 0) {
                    vibrato.tokenRecord = findTokenEmRecord(tables, vibrato.choice.tokens, vibrato.choice.name);
                }
                return vibrato.tokenRecord;
            }
            if (arpeggio.tokenRecord < 0) {
                TokenList tokens = arpeggio.tokensForChord(note.chordIntervals);
                if (tokens.empty()) tokens.emplace_back("0");
                arpeggio.tokenRecord = findTokenEnRecord(tables, tokens, arpeggio.choice.apText);
            }
            return arpeggio.tokenRecord;
        }

        int32_t k = -1;
        if (bend.hasBend) {
            k = combinedRecord(vibrato, arpeggio, note, frames, site);
        } else {
            // A vibrato and an arpeggio alone: the same pair over as many
            // frames as an earlier note's gives that note's record.
            const uint64_t key = ArpeggioMemo::vibratoKey(vibrato, frames);
            if (const auto known = arpeggio.withVibrato.find(key); known != arpeggio.withVibrato.end()) {
                k = known->second;
            } else {
                k = combinedRecord(vibrato, arpeggio, note, frames, site);
                arpeggio.rememberWithVibrato(key, k);
            }
        }
        if (k < 0) return -1;
        // The latest note to use a shared record names it; labels of a kind
        // this note lacks stay as an earlier note left them.
        EnvelopeRecord& record = tables.records[static_cast<size_t>(k)];
        if (hasAp) {
            record.hasAp = true;
            record.apText = arpeggio.choice.apText;
            record.apWithEm = bend.hasBend;
        }
        if (hasEmo) {
            record.hasEmo = true;
            record.emoName = vibrato.choice.name;
            record.plusPb = bend.hasBend;
        }
        return k;
    }

    // The record of a note with two or three sources, from its summed values.
    int32_t combinedRecord(VibratoMemo& vibrato, ArpeggioMemo& arpeggio, const PreparedNote& note, int32_t frames,
                           const NoteSite& site) {
        if (frames > kLongNoteFrames) return longCombinedRecord(vibrato, arpeggio, note, frames, site);
        std::span<const int32_t> vib;
        if (vibrato.choice.hasEmo) {
            vib = vibrato.values.first(frames, [&](int32_t n) { return expandValueTokens(vibrato.choice.tokens, n); });
        }
        std::span<const int32_t> arp;
        if (arpeggio.choice.hasAp) {
            arp = arpeggio.values.first(
                frames, [&](int32_t n) { return expandNoteTokens(arpeggio.tokensForChord(note.chordIntervals), n); });
        }
        combineValues(combined, bend, vib, arp, frames, site);
        return findValueRecord(tables, combined.fine, combined.coarse);
    }

    // The same for a long note: the sums are written over the vibrato and
    // arpeggio values, the bend is let go before the search, and the record
    // takes the lists themselves.
    int32_t longCombinedRecord(const VibratoMemo& vibrato, ArpeggioMemo& arpeggio, const PreparedNote& note,
                               int32_t frames, const NoteSite& site) {
        CombinedValues values;
        if (vibrato.choice.hasEmo) values.fine = expandValueTokens(vibrato.choice.tokens, frames);
        if (arpeggio.choice.hasAp) {
            values.coarse = expandNoteTokens(arpeggio.tokensForChord(note.chordIntervals), frames);
        }
        const std::span<const int32_t> vib = vibrato.choice.hasEmo ? std::span<const int32_t>(values.fine)
                                                                    : std::span<const int32_t>();
        const std::span<const int32_t> arp = arpeggio.choice.hasAp ? std::span<const int32_t>(values.coarse)
                                                                    : std::span<const int32_t>();
        combineValues(values, bend, vib, arp, frames, site);
        releaseLongLists();
        return findValueRecord(tables, std::move(values.fine), std::move(values.coarse));
    }

    // Gives back reused storage that a long note has grown.
    void releaseLongLists() {
        for (std::vector<int32_t>* list : {&bend.fine, &bend.coarse, &combined.fine, &combined.coarse}) {
            if (list->capacity() > static_cast<size_t>(kLongNoteFrames)) *list = std::vector<int32_t>();
        }
    }
};

}  // namespace

void assignEnvelopes(MappingTables& tables, PreparedSong& song, const std::vector<std::vector<PitchBend>>& bendsByTrack,
                     const std::vector<std::vector<BendRange>>& bendRangesByTrack, std::ostream& log) {
    Pass pass(tables, song, bendsByTrack, bendRangesByTrack);
    for (int32_t o = 0; o < song.outputTrackCount; ++o) {
        // TR4 takes its note envelopes from combination building; TR5 plays samples.
        if (o == 3 || o == 4) continue;
        const std::vector<int32_t> order = notesInTimeOrder(song, o);
        log << "[ENV] track=" << o + 1 << " notes=" << order.size() << "\n";
        std::vector<SourceState> states(static_cast<size_t>(std::max(0, song.sourceTrackCount)));
        for (const int32_t index : order) {
            PreparedNote& note = song.notes[static_cast<size_t>(index)];
            if (note.track < 0 || note.track >= song.sourceTrackCount) {
                note.envelopeIndex = -1;
                continue;
            }
            const NoteSite site{o + 1, note.startTick};
            note.envelopeIndex = pass.envelopeOf(note, states[static_cast<size_t>(note.track)], site);
            pass.releaseLongLists();
        }
    }
}

}  // namespace tonequill
