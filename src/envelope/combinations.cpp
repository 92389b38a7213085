#include "envelope/combinations.h"

#include <cstdint>
#include <limits>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "envelope/combo_numbering.h"
#include "envelope/track_order.h"
#include "common/channel_layout.h"
#include "common/conversion_error.h"

namespace tonequill {
namespace {

constexpr int32_t kNoiseTrack = 3;  // TR4: voices are note numbers
constexpr int32_t kSampleTrack = 4; // TR5: samples, no combinations

// base + offset, refused when it leaves 32 bits (a MIDI file gives offsets
// of at most a few hundred).
int32_t voiceNumber(int32_t base, int64_t offset, int32_t trackNumber, const PreparedNote& note) {
    const int64_t voice = base + offset;
    if (voice < std::numeric_limits<int32_t>::min() || voice > std::numeric_limits<int32_t>::max()) {
        throw ConversionError("voice number out of range: the note at tick " + std::to_string(note.startTick) +
                              " on TR" + std::to_string(trackNumber) + " gives " + std::to_string(voice));
    }
    return static_cast<int32_t>(voice);
}

// The combinations a track has met so far: a set in front of the song's
// ordered index, which a note would otherwise search every time its voice
// or level changes.
struct ComboKeyHash {
    size_t operator()(const ComboKey& key) const {
        const auto [voice, level, track] = key;
        uint64_t h = static_cast<uint32_t>(voice) * 0x9E3779B97F4A7C15ull;
        h ^= (static_cast<uint64_t>(static_cast<uint32_t>(level)) << 32 | static_cast<uint32_t>(track)) *
             0xBF58476D1CE4E5B9ull;
        return static_cast<size_t>(h ^ (h >> 31));
    }
};

}  // namespace

ComboTable numberCombinations(const MappingTables& tables, const PreparedSong& song, EnvelopeTable& envelopes) {
    ComboTable combos;
    envelopes.noteRecords.resize(song.notes.size(), -1);
    std::unordered_map<int32_t, int32_t> noiseRecords;  // TR4 voice -> its record
    for (int32_t o = 0; o < song.outputTrackCount; ++o) {
        if (o == kSampleTrack) continue;
        const int32_t n = o + 1;
        const ChannelLayout layout = channelLayout(o);
        std::unordered_set<ComboKey, ComboKeyHash> met;
        // Neighbouring notes mostly share their voice and level; a pair already
        // entered needs no second look-up.
        bool entered = false;
        int32_t lastVoice = 0;
        int32_t lastLevel = 0;
        int32_t lastNoiseRecord = -1;
        for (const int32_t index : notesInTimeOrder(song, o)) {
            const PreparedNote& note = song.notes[static_cast<size_t>(index)];
            // The layout gives TR4 its 16 levels like the other tracks.
            const int32_t level = volumeLevel(layout.levelCount, note.velocity);
            const int32_t voice = o == kNoiseTrack
                                      ? voiceNumber(layout.voiceBase, note.note, n, note)
                                      : voiceNumber(layout.voiceBase, static_cast<int64_t>(note.program) + 1, n, note);
            const bool sameVoice = entered && voice == lastVoice;
            if ((!sameVoice || level != lastLevel) && met.insert(ComboKey{voice, level, n}).second) {
                comboNumber(combos, voice, level, n);
                combos.usedVoices.insert(voice);
            }
            if (o == kNoiseTrack) {
                // Each TR4 voice has a note-envelope record of its own, after
                // every record of the envelope pass, in order of first use.
                if (!sameVoice) {
                    const auto [known, isNew] =
                        noiseRecords.try_emplace(voice, static_cast<int32_t>(envelopes.records.size()));
                    if (isNew) {
                        envelopes.records.push_back(noiseRecordOf(tables, voice));
                        envelopes.enRecordPc[known->second] = voice;
                    }
                    lastNoiseRecord = known->second;
                }
                envelopes.noteRecords[static_cast<size_t>(index)] = lastNoiseRecord;
            }
            entered = true;
            lastVoice = voice;
            lastLevel = level;
        }
    }
    return combos;
}

}  // namespace tonequill
