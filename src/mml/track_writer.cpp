#include "mml/track_writer.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

#include "mml/mml_ticks.h"
#include "prep/channel_layout.h"
#include "prep/conversion_error.h"
#include "prep/length_table.h"

namespace tonequill {
namespace {

constexpr const char* kNoteNames[12] = {"c", "c+", "d", "d+", "e", "f", "f+", "g", "g+", "a", "a+", "b"};

bool fitsInt32(int64_t value) {
    return value >= std::numeric_limits<int32_t>::min() && value <= std::numeric_limits<int32_t>::max();
}

// The pitch of a note's first piece by the track's rule. The noise track
// writes a plain "c" and leaves the octave alone.
std::string pitchOf(int32_t note, PitchRule rule, TrackState& state) {
    switch (rule) {
        case PitchRule::noiseC: return "c";
        case PitchRule::absolutePlusOne: return pitchText(note, note / 12 + 1, state, true);
        case PitchRule::octavePlusOne: return pitchText(note, note / 12 + 1, state, false);
        case PitchRule::octavePlain: return pitchText(note, note / 12, state, false);
        case PitchRule::octaveMinusOne: break;
    }
    return pitchText(note, note / 12 - 1, state, false);
}

const EnvelopeRecord& recordOf(const MappingTables& tables, int32_t envelopeIndex, int64_t trackNumber,
                               const PreparedNote& note) {
    if (static_cast<std::size_t>(envelopeIndex) >= tables.records.size()) {
        throw ConversionError("TR" + std::to_string(trackNumber) + ": note at MIDI tick " +
                              std::to_string(note.startTick) + " refers to envelope record " +
                              std::to_string(envelopeIndex) + ", which does not exist");
    }
    return tables.records[static_cast<std::size_t>(envelopeIndex)];
}

void appendRepeated(std::string& text, const std::string& piece, int64_t times) {
    text.reserve(text.size() + piece.size() * static_cast<std::size_t>(times));
    for (int64_t i = 0; i < times; ++i) text += piece;
}

}  // namespace

std::string pitchText(int32_t note, int32_t octaveValue, TrackState& state, bool alwaysAbsolute) {
    std::string text;
    if (alwaysAbsolute || state.octaveUnset) {
        text += 'o';
        text += std::to_string(octaveValue);
        state.octaveUnset = false;
    } else {
        const int64_t steps = static_cast<int64_t>(octaveValue) - state.octave;
        if (steps > 0) text.append(static_cast<std::size_t>(steps), '>');
        if (steps < 0) text.append(static_cast<std::size_t>(-steps), '<');
    }
    state.octave = octaveValue;
    text += kNoteNames[(note % 12 + 12) % 12];
    return text;
}

void envelopeSwitch(std::string& text, const char* name, int32_t value, int32_t& last) {
    if (value == last) return;
    text += name;
    text += value < 0 ? std::string("*") : std::to_string(value);
    last = value;
}

std::string trackText(const MappingTables& tables, const PreparedSong& song, int32_t index, std::ostream& log) {
    const int64_t n = static_cast<int64_t>(index) + 1;
    const int64_t bar = song.wholeNoteTicks;
    log << "[TR" << n << "] start\n";
    const ChannelLayout layout = channelLayout(index);

    std::string text = "TR" + std::to_string(n) + (n == 4 ? " o5" : "") + "\n";

    std::vector<int32_t> order;
    if (index >= 0 && static_cast<std::size_t>(index) < song.trackNotes.size()) {
        order = song.trackNotes[static_cast<std::size_t>(index)];
    }
    for (int32_t position : order) {
        if (position < 0 || static_cast<std::size_t>(position) >= song.notes.size()) {
            throw ConversionError("TR" + std::to_string(n) + ": note position " + std::to_string(position) +
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
    log << "[TR" << n << "] notes=" << order.size() << "\n";
    if (!order.empty() && bar < 1) {
        throw ConversionError("TR" + std::to_string(n) + ": whole note of " + std::to_string(bar) + " MML ticks");
    }

    // Whole-bar pieces are the same text every time: a long rest or a long
    // note costs one append per bar, not one spelling per bar.
    const std::string wholeBarRest = order.empty() ? "" : lengthText(static_cast<int32_t>(bar), true, song.lengthTable, log) + "\n";
    const std::string wholeBarTie = order.empty() ? "" : lengthText(static_cast<int32_t>(bar), false, song.lengthTable, log) + "^\n";

    TrackState state;
    std::optional<std::pair<ComboKey, int32_t>> lastCombo;
    for (int32_t position : order) {
        const PreparedNote& note = song.notes[static_cast<std::size_t>(position)];
        const int64_t start = mmlTick(note.startTick, song.tickScale, n);
        const int64_t stop = std::max(start, static_cast<int64_t>(mmlTick(note.endTick, song.tickScale, n)));
        const int64_t voice = index == 3 ? static_cast<int64_t>(note.note) + layout.voiceBase
                                         : static_cast<int64_t>(layout.voiceBase) + 1 + note.program;

        // The rest up to the note, cut at every whole note.
        while (state.cursor < start) {
            if (state.cursor % bar == 0 && start - state.cursor >= bar) {
                const int64_t bars = (start - state.cursor) / bar;
                appendRepeated(text, wholeBarRest, bars);
                state.cursor += bars * bar;
                continue;
            }
            const int64_t pieceEnd = std::min((state.cursor / bar + 1) * bar, start);
            text += lengthText(static_cast<int32_t>(pieceEnd - state.cursor), true, song.lengthTable, log);
            state.cursor = pieceEnd;
            if (pieceEnd % bar == 0) text += "\n";
        }

        // Switches: voice, volume, then the pitch envelopes; the DPCM track has none.
        if (index != 4) {
            const int32_t level = volumeLevel(layout.levelCount, note.velocity);
            int32_t combo = -1;
            if (fitsInt32(voice) && fitsInt32(n)) {
                // Neighbouring notes mostly share their voice and level: the last answer is kept.
                const ComboKey key{static_cast<int32_t>(voice), level, static_cast<int32_t>(n)};
                if (!lastCombo || lastCombo->first != key) {
                    const auto found = song.comboIndex.find(key);
                    lastCombo.emplace(key, found != song.comboIndex.end() ? found->second : -1);
                }
                combo = lastCombo->second;
            }
            if (voice != state.lastVoice) {
                text += "E@" + std::to_string(voice);
                state.lastVoice = voice;
                state.lastEv = -1;
            }
            if (combo != state.lastEv && combo >= 0) {
                text += "Ev" + std::to_string(combo);
                state.lastEv = combo;
            }
            const int32_t e = note.envelopeIndex;
            if (index == 3) {
                // The noise track's records carry only a note envelope.
                envelopeSwitch(text, "En", e < 0 ? -1 : e, state.lastEn);
            } else if (e < 0) {
                envelopeSwitch(text, "Em", -1, state.lastEm);
                envelopeSwitch(text, "En", -1, state.lastEn);
            } else {
                const EnvelopeRecord& record = recordOf(tables, e, n, note);
                envelopeSwitch(text, "Em", record.hasEm ? e : -1, state.lastEm);
                envelopeSwitch(text, "En", record.hasEn ? e : -1, state.lastEn);
            }
        }

        // The note, cut at every whole note and tied across it.
        bool first = true;
        for (int64_t p = start; p < stop;) {
            if (!first && stop - p > bar) {
                // Bars in the middle of the note: p is on the grid after the first piece.
                const int64_t bars = (stop - p - 1) / bar;
                appendRepeated(text, wholeBarTie, bars);
                p += bars * bar;
                state.cursor = p;
                continue;
            }
            const int64_t pieceEnd = std::min(p + (bar - p % bar), stop);
            state.cursor = pieceEnd;
            if (first) {
                first = false;
                text += pitchOf(note.note, layout.pitch, state);
            }
            text += lengthText(static_cast<int32_t>(pieceEnd - p), false, song.lengthTable, log);
            if (pieceEnd < stop) text += "^";
            if (pieceEnd % bar == 0) text += "\n";
            p = pieceEnd;
        }
    }
    text += "\n\n";
    return text;
}

}  // namespace tonequill
