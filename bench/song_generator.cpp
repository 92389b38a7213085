#include "song_generator.h"

#include <algorithm>
#include <array>

#include "midi_builder.h"

namespace tonequill::bench {
namespace {

using testing::TrackBuilder;

constexpr int kTicksPerQuarter = 480;
constexpr int32_t kTicksPerFrame = 16;  // 480 ticks per quarter at 120 beats per minute
constexpr int kCentre = 8192;

// A small deterministic generator (splitmix64), the same on every platform.
class Random {
public:
    explicit Random(uint64_t seed) : state_(seed) {}
    uint64_t next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    int below(int n) { return static_cast<int>(next() % static_cast<uint64_t>(n)); }

private:
    uint64_t state_;
};

int clampBend(int value) { return std::clamp(value, 0, 16383); }

// A triangle wave from -amplitude to +amplitude over `period` steps.
int triangle(int64_t step, int period, int amplitude) {
    const int64_t phase = step % period;
    const int64_t half = period / 2;
    const int64_t rise = phase < half ? phase : period - phase;
    return static_cast<int>(-amplitude + 2 * amplitude * rise / std::max<int64_t>(half, 1));
}

void bendRange(TrackBuilder& track, int32_t tick, int channel, int semitones) {
    track.controller(tick, channel, 101, 0).controller(tick, channel, 100, 0).controller(tick, channel, 6, semitones);
}

TrackBuilder conductor(int32_t songEnd, bool tempoChanges) {
    TrackBuilder track;
    track.name(0, "Bench song").tempo(0, 500000);
    if (tempoChanges) {
        const uint32_t tempos[] = {500000, 454545, 545454, 400000};
        int index = 1;
        for (int32_t tick = 4 * 4 * kTicksPerQuarter; tick < songEnd; tick += 4 * 4 * kTicksPerQuarter) {
            track.tempo(tick, tempos[index++ % 4]);
        }
    }
    return track;
}

// The eight tracks of an ordinary song of `notes` notes, after an empty
// conductor track; `songEnd` grows to the last note's end.
std::vector<TrackBuilder> ordinaryTracks(int64_t notes, uint64_t seed, int32_t& songEnd) {
    constexpr int kTracks = 8;
    const char* names[kTracks] = {"Lead", "Harmony", "Bass", "Drums", "Samples", "trx10 FM lead", "Pad", "trx2 Echo"};
    Random random(seed);
    std::vector<TrackBuilder> tracks(kTracks + 1);
    for (int s = 0; s < kTracks; ++s) {
        TrackBuilder& track = tracks[static_cast<size_t>(s) + 1];
        const int channel = s == 3 ? 9 : s;
        const bool melodic = s != 3 && s != 4;
        const int64_t quota = notes / kTracks + (s < notes % kTracks ? 1 : 0);
        track.name(0, names[s]).program(0, channel, (s * 3) % 8);
        bendRange(track, 0, channel, s % 2 == 0 ? 2 : 12);
        int32_t tick = random.below(4) * 120;
        int pitch = 60;
        int64_t made = 0;
        int heldFor = 0;
        while (made < quota) {
            const int32_t step = 60 * (1 + random.below(8));
            const int32_t length = std::max(10, step * (50 + random.below(51)) / 100);
            const int32_t end = tick + length;
            if (random.below(64) == 0) track.program(tick, channel, random.below(8));
            if (random.below(40) == 0) track.controller(tick, channel, 1, std::array{0, 0, 40, 100}[random.below(4)]);
            if (random.below(50) == 0) track.controller(tick, channel, 12, std::array{0, 10, 64, 70, 0}[random.below(5)]);
            if (melodic) {
                pitch = std::clamp(pitch + random.below(9) - 4, 40, 88);
            } else {
                pitch = (s == 3 ? 36 : 60) + random.below(12);
            }
            const bool chord = melodic && quota - made >= 3 && random.below(6) == 0;
            for (int member : chord ? std::vector<int>{0, 4, 7} : std::vector<int>{0}) {
                track.note(tick, end, channel, pitch + member, 40 + random.below(88));
                ++made;
            }
            if (melodic) {
                if (heldFor > 0 && --heldFor == 0) track.pitchBend(tick, channel, kCentre);
                const int kind = random.below(100);
                const int depth = 256 + random.below(1792);
                if (kind < 10) {  // short: two steps, then back to the centre
                    track.pitchBend(tick + length / 4, channel, clampBend(kCentre + depth));
                    track.pitchBend(tick + length / 2, channel, clampBend(kCentre - depth / 2));
                    track.pitchBend(tick + 3 * length / 4, channel, kCentre);
                } else if (kind < 13) {  // long: a curve over the whole note
                    const int period = 4 + random.below(12);
                    int64_t n = 0;
                    for (int32_t t = tick; t < end; t += 20) track.pitchBend(t, channel, clampBend(kCentre + triangle(n++, period, depth)));
                    track.pitchBend(end, channel, kCentre);
                } else if (kind < 15 && heldFor == 0) {  // held over the next few notes
                    track.pitchBend(tick, channel, clampBend(kCentre + depth));
                    heldFor = 4;
                }
            }
            tick += step;
            songEnd = std::max(songEnd, end);
        }
    }
    return tracks;
}

std::vector<uint8_t> ordinarySong(const SongRequest& request) {
    int32_t songEnd = 0;
    std::vector<TrackBuilder> tracks = ordinaryTracks(request.notes, request.seed, songEnd);
    tracks[0] = conductor(songEnd, true);
    return testing::buildMidi(tracks, kTicksPerQuarter);
}

// An ordinary song in which four of the notes are very long, on a track of
// their own (TR11), each with a bend that moves every frame: one repeats every
// 97 frames, one never repeats, one sweeps and then holds, and one is summed
// with vibrato and an arpeggio frame by frame.
std::vector<uint8_t> longBendSong(const SongRequest& request) {
    constexpr int64_t kLongNotes = 4;
    constexpr int kChannel = 8;
    const int64_t frames = request.framesPerNote > 0 ? request.framesPerNote : 120000;
    const auto length = static_cast<int32_t>(frames * kTicksPerFrame);
    int32_t songEnd = 0;
    std::vector<TrackBuilder> tracks =
        ordinaryTracks(std::max<int64_t>(request.notes - kLongNotes, 0), request.seed, songEnd);
    TrackBuilder& track = tracks.emplace_back();
    track.name(0, "trx11 Long bends").program(0, kChannel, 5);
    bendRange(track, 0, kChannel, 2);
    Random random(request.seed + 1);
    int32_t tick = 0;
    for (int64_t shape = 0; shape < std::min(kLongNotes, request.notes); ++shape) {
        if (shape == 3) track.controller(tick, kChannel, 1, 100).controller(tick, kChannel, 12, 64);
        track.note(tick, tick + length, kChannel, 60, 100);
        for (int64_t f = 0; f < frames; ++f) {
            if (shape == 2 && f > frames / 10) break;  // held from here to the end
            const int32_t t = tick + static_cast<int32_t>(f) * kTicksPerFrame;
            int value = kCentre;
            switch (shape) {
                case 0: value = kCentre + triangle(f, 97, 3000); break;
                case 1: value = kCentre + random.below(6001) - 3000; break;
                case 2: value = kCentre + static_cast<int>(f * 3000 / std::max<int64_t>(frames / 10, 1)); break;
                default: value = kCentre + triangle(f, 61, 1500); break;
            }
            track.pitchBend(t, kChannel, clampBend(value));
        }
        tick += length;
        track.pitchBend(tick, kChannel, kCentre);
        if (shape == 3) track.controller(tick, kChannel, 1, 0).controller(tick, kChannel, 12, 0);
    }
    tracks[0] = conductor(std::max(songEnd, tick), true);
    return testing::buildMidi(tracks, kTicksPerQuarter);
}

// An ordinary song in which up to 5000 of the notes (at most half) lie on two
// tracks of their own (TR11, TR12), each note with a bend curve of its own:
// the same rise over its first 60 frames, then a curve that parts from every
// other one.
std::vector<uint8_t> bendCurveSong(const SongRequest& request) {
    const int64_t curveNotes = std::min<int64_t>(5000, request.notes / 2);
    int32_t songEnd = 0;
    std::vector<TrackBuilder> tracks = ordinaryTracks(request.notes - curveNotes, request.seed, songEnd);
    constexpr int kCurveTracks = 2;
    for (int c = 0; c < kCurveTracks; ++c) {
        TrackBuilder& track = tracks.emplace_back();
        track.name(0, "trx" + std::to_string(11 + c) + " Curves").program(0, 10 + c, 2 + c);
        bendRange(track, 0, 10 + c, 2);
    }
    constexpr int32_t kLength = 150 * kTicksPerFrame;  // 150 frames
    constexpr int32_t kEvery = 3 * kTicksPerFrame;
    int32_t ticks[kCurveTracks] = {0, 0};
    for (int64_t j = 0; j < curveNotes; ++j) {
        const int c = static_cast<int>(j % kCurveTracks);
        TrackBuilder& track = tracks[tracks.size() - kCurveTracks + static_cast<size_t>(c)];
        const int channel = 10 + c;
        const int32_t tick = ticks[c];
        track.note(tick, tick + kLength, channel, 48 + static_cast<int>(j % 37), 100);
        int step = 0;
        for (int32_t t = tick; t < tick + kLength; t += kEvery, ++step) {
            int value = kCentre + 40 * step;
            if (t - tick >= 2 * kLength / 5) {
                value = kCentre + 800 + static_cast<int>((j * 37 + step * (j % 17 + 1)) % 1500) - 750;
            }
            track.pitchBend(t, channel, clampBend(value));
        }
        track.pitchBend(tick + kLength, channel, kCentre);
        ticks[c] = tick + kLength + kTicksPerQuarter / 4;
    }
    tracks[0] = conductor(std::max({songEnd, ticks[0], ticks[1]}), true);
    return testing::buildMidi(tracks, kTicksPerQuarter);
}

}  // namespace

std::vector<uint8_t> generateSong(const SongRequest& request) {
    switch (request.shape) {
        case SongShape::longBends: return longBendSong(request);
        case SongShape::bendCurves: return bendCurveSong(request);
        case SongShape::ordinary: break;
    }
    return ordinarySong(request);
}

std::string benchMappingText() {
    return "[E@Map]\n1{2}\n2{1}\n4{0}\n7{3}\n2001{0}\n3001{1}\n5004{7}\n6007{2}\n"
           "[EvMap]\n1{15,14,13,12,L,11,R,6}\n2{15,D,4,12,10,R,4,0}\n4{12,L,11,10,R,3}\n"
           "1037{15,12,9,6,3,0}\n2001{32,30,28,L,26,R,10}\n3001{15,15,14,L,13,R,2}\n"
           "[EnMap]\n1036{4,2,0}\n1038{0}\n1042{L,0,1}\n"
           "[EmoMap]\n32{0,D,10,L,1,2,1,0,-1,-2,-1,0}\n127{0,D,5,L,2,4,2,0,-2,-4,-2,0}\n"
           "[ApMap]\n1{L,U1}\n2{L,D1}\n4{U2,L,0}\nE64{L,0,0,12,12}\nE10{L,U1,D1}\n";
}

}  // namespace tonequill::bench
