#include "envelope/combinations.h"

#include <cstdint>
#include <limits>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "envelope/combo_numbering.h"
#include "envelope/track_order.h"
#include "prep/channel_layout.h"
#include "prep/conversion_error.h"

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

void buildCombinations(MappingTables& tables, PreparedSong& song) {
    ComboPlan plan;
    planCombinations(tables, song, plan);
    addNoiseRecords(tables, song, plan);
}

TrackComboPlan planTrackCombinations(const MappingTables& tables, int32_t outputIndex, std::vector<PreparedNote>& notes,
                                     const std::vector<int32_t>& timeOrder) {
    TrackComboPlan plan;
    if (outputIndex == kSampleTrack) return plan;
    const int32_t o = outputIndex;
    const int32_t n = o + 1;
    const ChannelLayout layout = channelLayout(o);
    std::unordered_map<int32_t, int32_t> noiseSlots;  // voice -> its position in the plan
    std::unordered_set<ComboKey, ComboKeyHash> met;
    // Neighbouring notes mostly share their voice and level; a pair already
    // entered needs no second look-up.
    bool entered = false;
    int32_t lastVoice = 0;
    int32_t lastLevel = 0;
    int32_t lastNoiseSlot = -1;
    try {
        for (const int32_t index : timeOrder) {
            PreparedNote& note = notes[static_cast<size_t>(index)];
            // The layout gives TR4 its 16 levels like the other tracks.
            const int32_t level = volumeLevel(layout.levelCount, note.velocity);
            const int32_t voice = o == kNoiseTrack
                                      ? voiceNumber(layout.voiceBase, note.note, n, note)
                                      : voiceNumber(layout.voiceBase, static_cast<int64_t>(note.program) + 1, n, note);
            const bool sameVoice = entered && voice == lastVoice;
            if (!sameVoice || level != lastLevel) {
                const ComboKey key{voice, level, n};
                if (met.insert(key).second) plan.combos.push_back(key);
            }
            if (o == kNoiseTrack) {
                if (!sameVoice) {
                    const auto [slot, isNew] =
                        noiseSlots.try_emplace(voice, static_cast<int32_t>(plan.noise.noiseVoices.size()));
                    if (isNew) {
                        plan.noise.noiseRecords.push_back(noiseRecordOf(tables, voice));
                        plan.noise.noiseVoices.push_back(voice);
                    }
                    lastNoiseSlot = slot->second;
                }
                note.envelopeIndex = lastNoiseSlot;
            }
            entered = true;
            lastVoice = voice;
            lastLevel = level;
        }
    } catch (...) {
        plan.failure = std::current_exception();
    }
    return plan;
}

void numberCombinations(PreparedSong& song, std::vector<TrackComboPlan>& plans, ComboPlan& plan) {
    plan = ComboPlan{};
    for (TrackComboPlan& track : plans) {
        for (const ComboKey& key : track.combos) {
            const auto [voice, level, trackNumber] = key;
            comboNumber(song, voice, level, trackNumber);
            song.usedVoices.insert(voice);
        }
        // Notes up to a failing one were numbered, as in one pass over the tracks.
        if (track.failure) std::rethrow_exception(track.failure);
        if (!track.noise.noiseVoices.empty()) plan = std::move(track.noise);
    }
}

void planCombinations(const MappingTables& tables, PreparedSong& song, ComboPlan& plan) {
    std::vector<TrackComboPlan> plans;
    for (int32_t o = 0; o < song.outputTrackCount; ++o) {
        plans.push_back(planTrackCombinations(tables, o, song.notes, notesInTimeOrder(song, o)));
        if (plans.back().failure) break;  // later tracks are never reached
    }
    numberCombinations(song, plans, plan);
}

void addNoiseRecords(MappingTables& tables, PreparedSong& song, ComboPlan& plan) {
    const auto base = static_cast<int32_t>(tables.records.size());
    for (size_t slot = 0; slot < plan.noiseRecords.size(); ++slot) {
        tables.records.push_back(std::move(plan.noiseRecords[slot]));
        tables.enRecordPc[base + static_cast<int32_t>(slot)] = plan.noiseVoices[slot];
    }
    plan = ComboPlan{};
    if (static_cast<size_t>(kNoiseTrack) >= song.trackNotes.size()) return;
    for (const int32_t index : song.trackNotes[static_cast<size_t>(kNoiseTrack)]) {
        int32_t& record = song.notes[static_cast<size_t>(index)].envelopeIndex;
        record += base;
    }
}

}  // namespace tonequill
