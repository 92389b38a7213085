#include "envelope/assign_envelopes.h"

#include <algorithm>
#include <exception>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "common/parallel.h"
#include "envelope/bend_sampling.h"
#include "envelope/chunk_handoff.h"
#include "envelope/combined_values.h"
#include "envelope/envelope_frames.h"
#include "envelope/note_sources.h"
#include "envelope/record_search.h"
#include "envelope/source_memo.h"
#include "envelope/token_expansion.h"
#include "envelope/track_order.h"
#include "envelope/value_pair_index.h"
#include "prep/conversion_error.h"

// The pass works in two steps. The first samples each note's sources in time
// order (bend, vibrato, arpeggio) and works out its values; the second finds
// or makes the note's record, in the same order, as records are numbered by
// first use. On a large song the first step runs ahead on a thread of its own.

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

// What the record search is to do for one note (or the start of a track),
// worked out by the first step.
struct NoteTask {
    enum class Kind : uint8_t {
        trackStart,  // `note` is the output track, `count` its number of notes
        noRecord,    // the note has no pitch envelope
        values,      // the record of the value lists `fine` and `coarse`
        tokenEm,     // the Em token record of `tokens`, named `name`
        tokenEn,     // the En token record of `tokens` under arpeggio `name`
        sameAs,      // the record an earlier note (`sameAs`) was given
    };
    Kind kind = Kind::noRecord;
    int32_t note = -1;  // index into the song's notes
    int32_t count = 0;
    int32_t sameAs = -1;
    bool giveLists = false;  // a long note's lists: the record takes them
    std::vector<int32_t> fine;
    std::vector<int32_t> coarse;
    ValuePairFacts facts;  // the lists' fingerprints
    TokenList tokens;      // an Em token record's
    TokenRuns enTokens;    // an En token record's
    std::string name;
    // A note with two or three sources names the record it lands on.
    bool labels = false;
    bool hasAp = false;
    bool hasEmo = false;
    bool hasBend = false;
    std::string apText;
    std::string emoName;
};

// Tasks handed from the first step to the second together: a few hundred
// notes, or fewer when their lists are long.
struct TaskChunk {
    static constexpr size_t kMostTasks = 256;
    static constexpr size_t kMostValues = size_t{1} << 16;
    // Lists longer than this are not kept for reuse once a chunk is taken in.
    static constexpr size_t kKeptCapacity = 4096;

    std::vector<NoteTask> tasks;  // the first `used` are this chunk's
    size_t used = 0;
    size_t values = 0;
    std::exception_ptr failure;

    NoteTask& add(NoteTask::Kind kind, int32_t note) {
        if (used == tasks.size()) tasks.emplace_back();
        NoteTask& task = tasks[used++];
        task.kind = kind;
        task.note = note;
        task.sameAs = -1;
        task.giveLists = false;
        task.labels = false;
        return task;
    }
    [[nodiscard]] bool full() const { return used >= kMostTasks || values >= kMostValues; }
};

// Where one source track stands in time during a track's pass: its bend and
// its controllers 1 and 12. Made fresh for every output track.
struct SourceState {
    BendState bend;
    ControllerCursor modulation{0};
    ControllerCursor cc12{-1};
};

// The first step: walks the tracks and their notes in time order and turns
// each note into a task. Reads the song and the mapping tables, writes
// neither, so it may run beside the second step.
class NoteSampler {
public:
    NoteSampler(const MappingTables& tables, const PreparedSong& song,
                const std::vector<std::vector<PitchBend>>& bends, const std::vector<std::vector<BendRange>>& ranges)
        : song_(song),
          bendsByTrack_(bends),
          bendRangesByTrack_(ranges),
          ticksPerFrame_(ticksPerFrame(song)),
          memo_(tables) {}

    // Fills `chunk` from the start; false once every track is done.
    bool fill(TaskChunk& chunk) {
        chunk.used = 0;
        chunk.values = 0;
        while (!chunk.full()) {
            if (position_ == order_.size() && !startNextTrack(chunk)) return false;
            if (position_ == order_.size()) continue;
            const int32_t index = order_[position_++];
            sample(chunk, index);
            releaseLongLists();
        }
        return true;
    }

private:
    // Moves to the next track that has envelopes, announcing it in the chunk;
    // false when there is none.
    bool startNextTrack(TaskChunk& chunk) {
        for (++track_; track_ < song_.outputTrackCount; ++track_) {
            // TR4 takes its note envelopes from combination building; TR5 plays samples.
            if (track_ == 3 || track_ == 4) continue;
            order_ = notesInTimeOrder(song_, track_);
            position_ = 0;
            states_.assign(static_cast<size_t>(std::max(0, song_.sourceTrackCount)), SourceState{});
            chunk.add(NoteTask::Kind::trackStart, track_).count = static_cast<int32_t>(order_.size());
            return true;
        }
        return false;
    }

    void sample(TaskChunk& chunk, int32_t index) {
        const PreparedNote& note = song_.notes[static_cast<size_t>(index)];
        if (note.track < 0 || note.track >= song_.sourceTrackCount) {
            chunk.add(NoteTask::Kind::noRecord, index);
            return;
        }
        const int32_t source = note.track;
        SourceState& state = states_[static_cast<size_t>(source)];
        const NoteSite site{track_ + 1, note.startTick};
        VibratoMemo& vibrato =
            memo_.vibrato(state.modulation.at(listOf(song_.modulationByTrack, source), note.startTick));

        const int64_t frameCount = framesOfNote(note.startTick, note.endTick, ticksPerFrame_);
        budget_.take(frameCount, site);  // keeps frameCount within 32 bits too
        const auto frames = static_cast<int32_t>(frameCount);
        sampleBend(bend_, state.bend, listOf(bendsByTrack_, source), listOf(bendRangesByTrack_, source),
                   note.startTick, frames, ticksPerFrame_, site);

        ArpeggioMemo& arpeggio = memo_.arpeggio(note, state.cc12.at(listOf(song_.cc12ByTrack, source), note.startTick));
        const bool hasAp = arpeggio.choice.hasAp;
        const bool hasEmo = vibrato.choice.hasEmo;

        const int sources = (hasAp ? 1 : 0) + (hasEmo ? 1 : 0) + (bend_.hasBend ? 1 : 0);
        if (sources == 0) {
            chunk.add(NoteTask::Kind::noRecord, index);
            return;
        }
        if (sources == 1) {
            if (bend_.hasBend) {
                NoteTask& task = chunk.add(NoteTask::Kind::values, index);
                task.fine.swap(bend_.fine);
                task.coarse.swap(bend_.coarse);
                task.giveLists = frames > kLongNoteFrames;
                fingerprint(chunk, task);
                return;
            }
            // A token record found once stays the answer for every later note
            // of the same vibrato or arpeggio.
            int32_t& firstNote = hasEmo ? vibrato.tokenNote : arpeggio.tokenNote;
            if (firstNote >= 0) {
                chunk.add(NoteTask::Kind::sameAs, index).sameAs = firstNote;
                return;
            }
            firstNote = index;
            if (hasEmo) {
                NoteTask& task = chunk.add(NoteTask::Kind::tokenEm, index);
                task.tokens = vibrato.choice.tokens;
                task.name = vibrato.choice.name;
            } else {
                NoteTask& task = chunk.add(NoteTask::Kind::tokenEn, index);
                task.enTokens = arpeggio.tokensForChord(note.chordIntervals);
                if (task.enTokens.empty()) task.enTokens.append("0", 1);
                if (task.enTokens.size > kMaxSongFrames) {
                    throw ConversionError("[ApMap] key " + arpeggio.choice.apText +
                                          ": the arpeggio expands to more than " + std::to_string(kMaxSongFrames) +
                                          " values");
                }
                task.name = arpeggio.choice.apText;
                chunk.values += static_cast<size_t>(task.enTokens.runs.size());
            }
            return;
        }

        NoteTask* task = nullptr;
        if (bend_.hasBend) {
            task = &chunk.add(NoteTask::Kind::values, index);
            combine(chunk, *task, vibrato, arpeggio, note, frames, site);
        } else {
            // A vibrato and an arpeggio alone: the same pair over as many
            // frames as an earlier note's gives that note's record.
            const uint64_t key = ArpeggioMemo::vibratoKey(vibrato, frames);
            if (const auto known = arpeggio.withVibrato.find(key); known != arpeggio.withVibrato.end()) {
                task = &chunk.add(NoteTask::Kind::sameAs, index);
                task->sameAs = known->second;
            } else {
                task = &chunk.add(NoteTask::Kind::values, index);
                combine(chunk, *task, vibrato, arpeggio, note, frames, site);
                arpeggio.rememberWithVibrato(key, index);
            }
        }
        task->labels = true;
        task->hasAp = hasAp;
        task->hasEmo = hasEmo;
        task->hasBend = bend_.hasBend;
        if (hasAp) task->apText = arpeggio.choice.apText;
        if (hasEmo) task->emoName = vibrato.choice.name;
    }

    // The summed values of a note with two or three sources.
    void combine(TaskChunk& chunk, NoteTask& task, VibratoMemo& vibrato, ArpeggioMemo& arpeggio,
                 const PreparedNote& note, int32_t frames, const NoteSite& site) {
        if (frames > kLongNoteFrames) {
            combineLong(task, vibrato, arpeggio, note, frames, site);
        } else {
            std::span<const int32_t> vib;
            if (vibrato.choice.hasEmo) {
                vib = vibrato.values.first(frames,
                                           [&](int32_t n) { return expandValueTokens(vibrato.choice.tokens, n); });
            }
            std::span<const int32_t> arp;
            if (arpeggio.choice.hasAp) {
                arp = arpeggio.values.first(frames, [&](int32_t n) {
                    return expandNoteTokens(arpeggio.tokensForChord(note.chordIntervals), n);
                });
            }
            combineValues(combined_, bend_, vib, arp, frames, site);
            task.fine.swap(combined_.fine);
            task.coarse.swap(combined_.coarse);
        }
        fingerprint(chunk, task);
    }

    // The lists' fingerprints are worked out here, off the record search's thread.
    static void fingerprint(TaskChunk& chunk, NoteTask& task) {
        task.facts = valuePairFacts(task.fine, task.coarse);
        chunk.values += task.fine.size() + task.coarse.size();
    }

    // The same for a long note: the sums are written over the vibrato and
    // arpeggio values, and the record takes the lists themselves.
    void combineLong(NoteTask& task, const VibratoMemo& vibrato, ArpeggioMemo& arpeggio, const PreparedNote& note,
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
        combineValues(values, bend_, vib, arp, frames, site);
        releaseLongLists();
        task.fine = std::move(values.fine);
        task.coarse = std::move(values.coarse);
        task.giveLists = true;
    }

    // Gives back reused storage that a long note has grown.
    void releaseLongLists() {
        for (std::vector<int32_t>* list : {&bend_.fine, &bend_.coarse, &combined_.fine, &combined_.coarse}) {
            if (list->capacity() > static_cast<size_t>(kLongNoteFrames)) *list = std::vector<int32_t>();
        }
    }

    const PreparedSong& song_;
    const std::vector<std::vector<PitchBend>>& bendsByTrack_;
    const std::vector<std::vector<BendRange>>& bendRangesByTrack_;
    double ticksPerFrame_ = 1.0;
    FrameBudget budget_;
    SourceMemo memo_;
    // Storage reused from note to note, traded with the tasks' lists.
    BendSample bend_;
    CombinedValues combined_;
    // Where the walk stands.
    int32_t track_ = -1;
    std::vector<int32_t> order_;
    size_t position_ = 0;
    std::vector<SourceState> states_;
};

// The second step: gives each note its record, in the order of the tasks.
class RecordFinder {
public:
    RecordFinder(MappingTables& tables, PreparedSong& song, std::ostream& log)
        : tables_(tables), song_(song), log_(log) {}

    void take(TaskChunk& chunk) {
        for (size_t i = 0; i < chunk.used; ++i) take(chunk.tasks[i]);
    }

private:
    void take(NoteTask& task) {
        if (task.kind == NoteTask::Kind::trackStart) {
            log_ << "[ENV] track=" << task.note + 1 << " notes=" << task.count << "\n";
            return;
        }
        const int32_t k = recordOf(task);
        if (k >= 0 && task.labels) {
            // The latest note to use a shared record names it; labels of a kind
            // this note lacks stay as an earlier note left them.
            EnvelopeRecord& record = tables_.records[static_cast<size_t>(k)];
            if (task.hasAp) {
                record.hasAp = true;
                record.apText = task.apText;
                record.apWithEm = task.hasBend;
            }
            if (task.hasEmo) {
                record.hasEmo = true;
                record.emoName = task.emoName;
                record.plusPb = task.hasBend;
            }
        }
        song_.notes[static_cast<size_t>(task.note)].envelopeIndex = k;
        for (std::vector<int32_t>* list : {&task.fine, &task.coarse}) {
            if (list->capacity() > TaskChunk::kKeptCapacity) *list = std::vector<int32_t>();
        }
        task.enTokens = TokenRuns();  // the record has taken them
    }

    int32_t recordOf(NoteTask& task) {
        switch (task.kind) {
            case NoteTask::Kind::values:
                if (task.giveLists) {
                    return findValueRecord(tables_, std::move(task.fine), std::move(task.coarse), task.facts);
                }
                return findValueRecord(tables_, task.fine, task.coarse, task.facts);
            case NoteTask::Kind::tokenEm:
                return findTokenEmRecord(tables_, task.tokens, task.name);
            case NoteTask::Kind::tokenEn:
                return findTokenEnRecord(tables_, std::move(task.enTokens), task.name);
            case NoteTask::Kind::sameAs:
                return song_.notes[static_cast<size_t>(task.sameAs)].envelopeIndex;
            case NoteTask::Kind::noRecord:
            case NoteTask::Kind::trackStart:
                break;
        }
        return -1;
    }

    MappingTables& tables_;
    PreparedSong& song_;
    std::ostream& log_;
};

}  // namespace

void assignEnvelopes(MappingTables& tables, PreparedSong& song, const std::vector<std::vector<PitchBend>>& bendsByTrack,
                     const std::vector<std::vector<BendRange>>& bendRangesByTrack, std::ostream& log) {
    NoteSampler sampler(tables, song, bendsByTrack, bendRangesByTrack);
    RecordFinder finder(tables, song, log);
    produceAndConsume<TaskChunk>(
        threadsFor(song.notes.size()), [&](TaskChunk& chunk) { return sampler.fill(chunk); },
        [&](TaskChunk& chunk) { finder.take(chunk); });
}

}  // namespace tonequill
