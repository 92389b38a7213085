#include "mml/track_writer.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <memory>
#include <string_view>
#include <vector>

#include "mml/mml_ticks.h"
#include "mml/track_combos.h"
#include "common/channel_layout.h"
#include "common/conversion_error.h"

namespace tonequill {
namespace {

// Each name padded to two bytes, so it is copied as one block.
constexpr char kNoteNames[12][2] = {{'c', ' '}, {'c', '+'}, {'d', ' '}, {'d', '+'}, {'e', ' '}, {'f', ' '},
                                    {'f', '+'}, {'g', ' '}, {'g', '+'}, {'a', ' '}, {'a', '+'}, {'b', ' '}};
constexpr uint8_t kNoteNameLengths[12] = {1, 2, 1, 2, 1, 1, 2, 1, 2, 1, 2, 1};

constexpr uint8_t kHasEm = 1;
constexpr uint8_t kHasEn = 2;

bool fitsInt32(int64_t value) {
    return value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
}

void appendPitchText(TextSink& sink, int32_t note, int32_t octaveValue, TrackState& state, bool alwaysAbsolute) {
    if (alwaysAbsolute || state.octaveUnset) {
        sink.append('o');
        sink.number(octaveValue);
        state.octaveUnset = false;
    } else {
        const int64_t steps = static_cast<int64_t>(octaveValue) - state.octave;
        if (steps > 0) sink.append(static_cast<std::size_t>(steps), '>');
        if (steps < 0) sink.append(static_cast<std::size_t>(-steps), '<');
    }
    state.octave = octaveValue;
    const int32_t name = (note % 12 + 12) % 12;
    sink.appendPadded<2>(kNoteNames[name], kNoteNameLengths[name]);
}

// The pitch of a note's first piece by the track's rule. The noise track
// writes a plain "c" and leaves the octave alone.
void appendPitch(TextSink& sink, int32_t note, PitchRule rule, TrackState& state) {
    switch (rule) {
        case PitchRule::noiseC: sink.append('c'); return;
        case PitchRule::absolutePlusOne: appendPitchText(sink, note, note / 12 + 1, state, true); return;
        case PitchRule::octavePlusOne: appendPitchText(sink, note, note / 12 + 1, state, false); return;
        case PitchRule::octavePlain: appendPitchText(sink, note, note / 12, state, false); return;
        case PitchRule::octaveMinusOne: break;
    }
    appendPitchText(sink, note, note / 12 - 1, state, false);
}

// The parts (Em, En) of the record a note refers to.
uint8_t partsOf(const std::vector<uint8_t>& envelopeParts, int32_t envelopeIndex, int64_t trackNumber,
                const PreparedNote& note) {
    if (static_cast<std::size_t>(envelopeIndex) >= envelopeParts.size()) {
        throw ConversionError("TR" + std::to_string(trackNumber) + ": note at MIDI tick " +
                              std::to_string(note.startTick) + " refers to envelope record " +
                              std::to_string(envelopeIndex) + ", which does not exist");
    }
    return envelopeParts[static_cast<std::size_t>(envelopeIndex)];
}

// The notes of a track in time order: by start, then by end.
std::vector<int32_t> notesInOrder(const PreparedSong& song, int32_t index, int64_t trackNumber) {
    std::vector<int32_t> order;
    if (index >= 0 && static_cast<std::size_t>(index) < song.trackNotes.size()) {
        const BulkList<int32_t>& notes = song.trackNotes[static_cast<std::size_t>(index)];
        order.assign(notes.begin(), notes.end());
    }
    for (int32_t position : order) {
        if (position < 0 || static_cast<std::size_t>(position) >= song.notes.size()) {
            throw ConversionError("TR" + std::to_string(trackNumber) + ": note position " + std::to_string(position) +
                                  " lies outside the note list");
        }
    }
    auto earlier = [&](int32_t a, int32_t b) {
        const PreparedNote& x = song.notes[static_cast<std::size_t>(a)];
        const PreparedNote& y = song.notes[static_cast<std::size_t>(b)];
        if (x.startTick != y.startTick) return x.startTick < y.startTick;
        return x.endTick < y.endTick;
    };
    // Usually in this order already; then sorting changes nothing.
    if (!std::is_sorted(order.begin(), order.end(), earlier)) std::stable_sort(order.begin(), order.end(), earlier);
    return order;
}

}  // namespace

TrackTextTools::TrackTextTools(const PreparedSong& song, const EnvelopeTable& envelopes, const ComboTable& combos,
                               std::ostream& log)
    : lengths(song.lengthTable, log), envelopes(envelopes), combos(combos) {
    // Read once here: the records are large, and a note looking at its own
    // record's two flags would miss the cache nearly every time.
    envelopeParts.reserve(envelopes.records.size());
    for (const EnvelopeRecord& record : envelopes.records) {
        envelopeParts.push_back(static_cast<uint8_t>((record.hasEm ? kHasEm : 0) | (record.hasEn ? kHasEn : 0)));
    }
}

std::string pitchText(int32_t note, int32_t octaveValue, TrackState& state, bool alwaysAbsolute) {
    TextSink sink(nullptr);
    appendPitchText(sink, note, octaveValue, state, alwaysAbsolute);
    return sink.take();
}

void envelopeSwitch(TextSink& sink, std::string_view name, int32_t value, int32_t& last) {
    if (value == last) return;
    sink.append(name);
    if (value < 0) {
        sink.append('*');
    } else {
        sink.number(value);
    }
    last = value;
}

std::string trackText(const PreparedSong& song, const EnvelopeTable& envelopes, const ComboTable& combos, int32_t index,
                      std::ostream& log) {
    TextSink sink(nullptr);
    const TrackTextTools tools(song, envelopes, combos, log);
    writeTrackText(sink, tools, song, index, log);
    return sink.take();
}

void writeTrackText(TextSink& sink, const TrackTextTools& tools, const PreparedSong& song, int32_t index,
                    std::ostream& log) {
    const int64_t n = static_cast<int64_t>(index) + 1;
    const int32_t bar = song.wholeNoteTicks;
    log << "[TR" << n << "] start\n";
    const ChannelLayout layout = channelLayout(index);
    const LengthSpeller& lengths = tools.lengths;
    const std::vector<uint8_t>& envelopeParts = tools.envelopeParts;

    sink.append("TR");
    sink.number(n);
    if (n == 4) sink.append(" o5");
    sink.append('\n');

    const std::vector<int32_t> order = notesInOrder(song, index, n);
    log << "[TR" << n << "] notes=" << order.size() << "\n";
    if (!order.empty() && bar < 1) {
        throw ConversionError("TR" + std::to_string(n) + ": whole note of " + std::to_string(bar) + " MML ticks");
    }

    // Whole-bar pieces are the same text every time: a long rest or a long
    // note costs one append per bar, not one spelling per bar.
    const std::string wholeBarRest = order.empty() ? "" : lengths.text(bar, true) + "\n";
    const std::string wholeBarTie = order.empty() ? "" : lengths.text(bar, false) + "^\n";

    TrackState state;
    // A track number beyond 32 bits has no combinations and is never looked up.
    const bool numbered = fitsInt32(n);
    const TrackCombos combos(tools.combos.index, numbered ? static_cast<int32_t>(n) : 0);
    // Every tick below lies in the 32-bit range (places of notes, bars
    // between them), so the remainders on the bar grid are taken in 32 bits;
    // sums that may pass it are kept in 64.
    auto offsetInBar = [bar](int64_t tick) { return static_cast<int32_t>(tick) % bar; };
    for (int32_t position : order) {
        const PreparedNote& note = song.notes[static_cast<std::size_t>(position)];
        const int64_t start = mmlTick(note.startTick, song.tickScale, n);
        const int64_t stop = std::max(start, static_cast<int64_t>(mmlTick(note.endTick, song.tickScale, n)));
        const int64_t voice = index == 3 ? static_cast<int64_t>(note.note) + layout.voiceBase
                                         : static_cast<int64_t>(layout.voiceBase) + 1 + note.program;

        // The rest up to the note, cut at every whole note.
        while (state.cursor < start) {
            const int32_t offset = offsetInBar(state.cursor);
            if (offset == 0 && start - state.cursor >= bar) {
                const int64_t bars = (start - state.cursor) / bar;
                sink.appendRepeated(wholeBarRest, bars);
                state.cursor += bars * bar;
                continue;
            }
            const int64_t nextBar = state.cursor - offset + bar;
            const int64_t pieceEnd = std::min(nextBar, start);
            lengths.append(sink, static_cast<int32_t>(pieceEnd - state.cursor), true);
            state.cursor = pieceEnd;
            if (pieceEnd == nextBar || offsetInBar(pieceEnd) == 0) sink.append('\n');
        }

        // Switches: voice, volume, then the pitch envelopes; the DPCM track has none.
        if (index != 4) {
            const int32_t level = volumeLevel(layout.levelCount, note.velocity);
            const int32_t combo = numbered && fitsInt32(voice) ? combos.find(static_cast<int32_t>(voice), level) : -1;
            if (voice != state.lastVoice) {
                sink.append("E@");
                sink.number(voice);
                state.lastVoice = voice;
                state.lastEv = -1;
            }
            if (combo != state.lastEv && combo >= 0) {
                sink.append("Ev");
                sink.number(combo);
                state.lastEv = combo;
            }
            const int32_t e = tools.envelopes.recordOf(position);
            if (index == 3) {
                // The noise track's records carry only a note envelope.
                envelopeSwitch(sink, "En", e < 0 ? -1 : e, state.lastEn);
            } else if (e < 0) {
                envelopeSwitch(sink, "Em", -1, state.lastEm);
                envelopeSwitch(sink, "En", -1, state.lastEn);
            } else {
                const uint8_t parts = partsOf(envelopeParts, e, n, note);
                envelopeSwitch(sink, "Em", (parts & kHasEm) != 0 ? e : -1, state.lastEm);
                envelopeSwitch(sink, "En", (parts & kHasEn) != 0 ? e : -1, state.lastEn);
            }
        }

        // The note, cut at every whole note and tied across it.
        bool first = true;
        for (int64_t p = start; p < stop;) {
            if (!first && stop - p > bar) {
                // Bars in the middle of the note: p is on the grid after the first piece.
                const int64_t bars = (stop - p - 1) / bar;
                sink.appendRepeated(wholeBarTie, bars);
                p += bars * bar;
                state.cursor = p;
                continue;
            }
            const int64_t nextBar = p - offsetInBar(p) + bar;
            const int64_t pieceEnd = std::min(nextBar, stop);
            state.cursor = pieceEnd;
            if (first) {
                first = false;
                appendPitch(sink, note.note, layout.pitch, state);
            }
            lengths.append(sink, static_cast<int32_t>(pieceEnd - p), false);
            if (pieceEnd < stop) sink.append('^');
            if (pieceEnd == nextBar || offsetInBar(pieceEnd) == 0) sink.append('\n');
            p = pieceEnd;
        }
        sink.passOnWhenFull();
    }
    sink.append("\n\n");
}

}  // namespace tonequill
