#include "envelope/assign_envelopes.h"

#include <algorithm>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "envelope/bend_sampling.h"
#include "envelope/combined_values.h"
#include "envelope/envelope_frames.h"
#include "envelope/note_sources.h"
#include "envelope/search/record_search.h"
#include "envelope/source_memo.h"
#include "envelope/token_expansion.h"
#include "envelope/track_order.h"
#include "common/conversion_error.h"

namespace tonequill {
namespace {

// Entry `index` of a per-source-track list, or an empty list when the list
// is shorter than the source track count.
template <typename List>
const List& listOf(const std::vector<List>& lists, int32_t index) {
    static const List none;
    return static_cast<size_t>(index) < lists.size() ? lists[static_cast<size_t>(index)] : none;
}

// A note of more frames than this keeps nothing in the pass's reused storage
// nor in the memo.
constexpr int32_t kLongNoteFrames = 65536;
// A note of more frames than this works its bend values out through the
// pass's table of them, which is made when first needed.
constexpr int32_t kTableFrames = 4096;

// Where one source track stands in time during a track's pass: its bend and
// its controllers 1 and 12. Made fresh for every output track.
struct SourceState {
    BendState bend;
    ControllerCursor modulation{0};
    ControllerCursor cc12{-1};
};

// Walks the output tracks and their notes in time order, works out each
// note's pitch envelope from its sources (bend, vibrato, arpeggio) and finds
// or makes its record; records are numbered by first use.
class EnvelopePass {
public:
    EnvelopePass(const MappingTables& tables, const PreparedSong& song, EnvelopeTable& table, std::ostream& log)
        : song_(song), table_(table), search_(table), log_(log), ticksPerFrame_(ticksPerFrame(song)), memo_(tables) {
        table_.noteRecords.assign(song.notes.size(), -1);
    }

    void run() {
        for (int32_t track = 0; track < song_.outputTrackCount; ++track) {
            // TR4 takes its note envelopes from combination building; TR5 plays samples.
            if (track == 3 || track == 4) continue;
            const std::vector<int32_t> order = notesInTimeOrder(song_, track);
            log_ << "[ENV] track=" << track + 1 << " notes=" << order.size() << "\n";
            states_.assign(static_cast<size_t>(std::max(0, song_.sourceTrackCount)), SourceState{});
            for (const int32_t index : order) {
                table_.noteRecords[static_cast<size_t>(index)] = recordOfNote(track, index);
                releaseLongLists();
            }
        }
    }

private:
    int32_t recordOfNote(int32_t track, int32_t index) {
        const PreparedNote& note = song_.notes[static_cast<size_t>(index)];
        if (note.track < 0 || note.track >= song_.sourceTrackCount) return -1;
        const int32_t source = note.track;
        SourceState& state = states_[static_cast<size_t>(source)];
        const NoteSite site{track + 1, note.startTick};
        VibratoMemo& vibrato =
            memo_.vibrato(state.modulation.at(listOf(song_.modulationByTrack, source), note.startTick));

        const int64_t frameCount = framesOfNote(note.startTick, note.endTick, ticksPerFrame_);
        budget_.take(frameCount, site);  // keeps frameCount within 32 bits too
        const auto frames = static_cast<int32_t>(frameCount);
        // A long note looks its bend values up in a table the pass keeps.
        BendRuns bend(state.bend, listOf(song_.bendsByTrack, source), listOf(song_.bendRangesByTrack, source),
                      note.startTick, frames, ticksPerFrame_, site, frames > kTableFrames ? &bendValues_ : nullptr);
        const bool hasBend = !bend.staysZero();

        ArpeggioMemo& arpeggio = memo_.arpeggio(note, state.cc12.at(listOf(song_.cc12ByTrack, source), note.startTick));
        const bool hasAp = arpeggio.choice.hasAp;
        const bool hasEmo = vibrato.choice.hasEmo;
        // A long note summed with a vibrato or an arpeggio is summed straight
        // from the bend's runs; every other note samples its bend into lists.
        const bool summedFromRuns = frames > kLongNoteFrames && (hasAp || hasEmo);
        if (!summedFromRuns) sampleRuns(bend_, bend);

        const int sources = (hasAp ? 1 : 0) + (hasEmo ? 1 : 0) + (hasBend ? 1 : 0);
        if (sources == 0) return -1;
        if (sources == 1) {
            if (hasBend) return valueRecord(bend_.fine, bend_.coarse, frames);
            // A token record found once stays the answer for every later note
            // of the same vibrato or arpeggio.
            int32_t& firstNote = hasEmo ? vibrato.tokenNote : arpeggio.tokenNote;
            if (firstNote >= 0) return table_.noteRecords[static_cast<size_t>(firstNote)];
            firstNote = index;
            if (hasEmo) return findTokenEmRecord(search_, vibrato.choice.tokens, vibrato.choice.name);
            TokenRuns tokens = arpeggio.tokensForChord(note.chordIntervals);
            if (tokens.empty()) tokens.append("0", 1);
            if (tokens.size > kMaxSongFrames) {
                throw ConversionError("[ApMap] key " + arpeggio.choice.apText + ": the arpeggio expands to more than " +
                                      std::to_string(kMaxSongFrames) + " values");
            }
            return findTokenEnRecord(search_, std::move(tokens), arpeggio.choice.apText);
        }

        auto summed = [&] {
            return summedFromRuns ? longCombinedRecord(vibrato, arpeggio, note, frames, bend, site)
                                  : combinedRecord(vibrato, arpeggio, note, frames, site);
        };
        int32_t k = -1;
        if (hasBend) {
            k = summed();
        } else {
            // A vibrato and an arpeggio alone: the same pair over as many
            // frames as an earlier note's gives that note's record.
            const uint64_t key = ArpeggioMemo::vibratoKey(vibrato, frames);
            if (const auto known = arpeggio.withVibrato.find(key); known != arpeggio.withVibrato.end()) {
                k = table_.noteRecords[static_cast<size_t>(known->second)];
            } else {
                k = summed();
                arpeggio.rememberWithVibrato(key, index);
            }
        }
        if (k >= 0) {
            // A note with two or three sources names the record it lands on:
            // the latest note to use a shared record names it, and labels of a
            // kind this note lacks stay as an earlier note left them.
            EnvelopeRecord& record = table_.records[static_cast<size_t>(k)];
            if (hasAp) {
                record.hasAp = true;
                record.apText = arpeggio.choice.apText;
                record.apWithEm = hasBend;
            }
            if (hasEmo) {
                record.hasEmo = true;
                record.emoName = vibrato.choice.name;
                record.plusPb = hasBend;
            }
        }
        return k;
    }

    // The record of a note's value lists. A long note's lists are made for it
    // alone and handed to its record, as a held note's lists can be very long.
    int32_t valueRecord(ValueList& fine, ValueList& coarse, int32_t frames) {
        if (frames > kLongNoteFrames) return findValueRecord(search_, std::move(fine), std::move(coarse));
        return findValueRecord(search_, std::as_const(fine), std::as_const(coarse));
    }

    // The summed values of a long note with two or three sources, made for
    // it alone from the bend's runs and the vibrato's and arpeggio's cycles.
    int32_t longCombinedRecord(const VibratoMemo& vibrato, ArpeggioMemo& arpeggio, const PreparedNote& note,
                               int32_t frames, BendRuns& bend, const NoteSite& site) {
        ValueCycle vib;
        ValueCycle arp;
        try {
            if (vibrato.choice.hasEmo) vib = valueTokenCycle(vibrato.choice.tokens, frames);
            if (arpeggio.choice.hasAp) arp = noteTokenCycle(arpeggio.tokensForChord(note.chordIntervals), frames);
        } catch (...) {
            // The whole bend is sampled before the tokens are read: its error comes first.
            bend.readToEnd();
            throw;
        }
        CombinedValues values;
        combineRuns(values, bend, vibrato.choice.hasEmo ? &vib : nullptr, arpeggio.choice.hasAp ? &arp : nullptr,
                    site);
        return valueRecord(values.fine, values.coarse, frames);
    }

    // The summed values of a note with two or three sources.
    int32_t combinedRecord(VibratoMemo& vibrato, ArpeggioMemo& arpeggio, const PreparedNote& note, int32_t frames,
                           const NoteSite& site) {
        std::span<const int32_t> vib;
        if (vibrato.choice.hasEmo) {
            vib = vibrato.values.first(frames, [&](int32_t n) { return expandValueTokens(vibrato.choice.tokens, n); });
        }
        std::span<const int32_t> arp;
        if (arpeggio.choice.hasAp) {
            arp = arpeggio.values.first(frames, [&](int32_t n) {
                return expandNoteTokens(arpeggio.tokensForChord(note.chordIntervals), n);
            });
        }
        combineValues(combined_, bend_, vib, arp, frames, site);
        return valueRecord(combined_.fine, combined_.coarse, frames);
    }

    // Gives back reused storage that a long note has grown.
    void releaseLongLists() {
        for (ValueList* list : {&bend_.fine, &bend_.coarse, &combined_.fine, &combined_.coarse}) {
            if (list->capacity() > static_cast<size_t>(kLongNoteFrames)) *list = ValueList();
        }
    }

    const PreparedSong& song_;
    EnvelopeTable& table_;
    RecordSearch search_;
    std::ostream& log_;
    double ticksPerFrame_ = 1.0;
    FrameBudget budget_;
    SourceMemo memo_;
    // Storage reused from note to note.
    BendValueTable bendValues_;
    BendSample bend_;
    CombinedValues combined_;
    std::vector<SourceState> states_;
};

}  // namespace

EnvelopeTable assignEnvelopes(const MappingTables& tables, const PreparedSong& song, std::ostream& log) {
    EnvelopeTable table;
    EnvelopePass(tables, song, table, log).run();
    return table;
}

}  // namespace tonequill
