#include "envelope/combinations.h"

#include <algorithm>
#include <string>

#include "envelope/combo_numbering.h"
#include "prep/channel_layout.h"
#include "prep/conversion_error.h"

namespace tonequill {
namespace {

constexpr int32_t kNoiseTrack = 3;  // TR4: voices are note numbers
constexpr int32_t kSampleTrack = 4; // TR5: samples, no combinations

// The track's note indices in (startTick, endTick) order; equal notes keep
// their list order.
std::vector<int32_t> notesInTimeOrder(const PreparedSong& song, int32_t outputIndex) {
    std::vector<int32_t> order =
        static_cast<size_t>(outputIndex) < song.trackNotes.size() ? song.trackNotes[static_cast<size_t>(outputIndex)]
                                                                   : std::vector<int32_t>{};
    std::stable_sort(order.begin(), order.end(), [&song](int32_t a, int32_t b) {
        const PreparedNote& x = song.notes[static_cast<size_t>(a)];
        const PreparedNote& y = song.notes[static_cast<size_t>(b)];
        if (x.startTick != y.startTick) return x.startTick < y.startTick;
        return x.endTick < y.endTick;
    });
    return order;
}

// base + offset, refused when it leaves 32 bits (a MIDI file gives offsets
// of at most a few hundred).
int32_t voiceNumber(int32_t base, int64_t offset, int32_t trackNumber, const PreparedNote& note) {
    const int64_t voice = base + offset;
    if (voice < INT32_MIN || voice > INT32_MAX) {
        throw ConversionError("voice number out of range: the note at tick " + std::to_string(note.startTick) +
                              " on TR" + std::to_string(trackNumber) + " gives " + std::to_string(voice));
    }
    return static_cast<int32_t>(voice);
}

}  // namespace

void buildCombinations(MappingTables& tables, PreparedSong& song) {
    NoiseRecords noiseRecords;
    for (int32_t o = 0; o < song.outputTrackCount; ++o) {
        if (o == kSampleTrack) continue;
        const int32_t n = o + 1;
        const ChannelLayout layout = channelLayout(o);
        for (const int32_t index : notesInTimeOrder(song, o)) {
            PreparedNote& note = song.notes[static_cast<size_t>(index)];
            const int32_t level = volumeLevel(layout.levelCount, note.velocity);
            if (o == kNoiseTrack) {
                const int32_t voice = voiceNumber(layout.voiceBase, note.note, n, note);
                comboNumber(song, voice, level, n);
                song.usedVoices.insert(voice);
                note.envelopeIndex = noiseRecord(tables, noiseRecords, voice);
            } else {
                const int32_t voice = voiceNumber(layout.voiceBase, static_cast<int64_t>(note.program) + 1, n, note);
                comboNumber(song, voice, level, n);
                song.usedVoices.insert(voice);
            }
        }
    }
}

}  // namespace tonequill
