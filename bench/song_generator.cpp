#include "song_generator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <set>
#include <stdexcept>

#include "midi_builder.h"
#include "smf_writer.h"

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


// The dense song's tracks: five of them sent to an expansion chip each by a
// "trx" name, the drums on the noise track.
struct DenseTrack {
    const char* name;
    int channel;
    int bendRange;
};
constexpr DenseTrack kDenseTracks[] = {
    {"Lead", 0, 2},         {"trx6 FDS lead", 1, 12},   {"Bass", 2, 2},
    {"Drums", 9, 2},        {"trx9 Saw", 4, 2},         {"trx10 FM keys", 5, 12},
    {"trx18 Wave pad", 6, 2}, {"trx26 PSG echo", 7, 2},
};

std::vector<uint8_t> denseSong(const SongRequest& request) {
    constexpr int kTracks = 8;
    Random random(request.seed);
    std::vector<Track> tracks(kTracks + 1);
    int32_t songEnd = 0;
    for (int s = 0; s < kTracks; ++s) {
        const DenseTrack& d = kDenseTracks[s];
        Track& track = tracks[static_cast<size_t>(s) + 1];
        const int channel = d.channel;
        const bool drums = channel == 9;
        const bool bass = s == 2;
        const int64_t quota = request.notes / kTracks + (s < request.notes % kTracks ? 1 : 0);
        track.name(d.name).program(0, channel, (s * 3) % 8).bendRange(0, channel, d.bendRange);
        track.controller(0, channel, 7, 100).controller(0, channel, 10, 64);
        int32_t tick = random.below(4) * 120;
        int pitch = bass ? 40 : 64;
        int64_t made = 0;
        int heldFor = 0;
        bool sustain = false;
        while (made < quota) {
            const int32_t step = 60 * (1 + random.below(8));
            const int32_t length = std::max(10, step * (50 + random.below(51)) / 100);
            const int32_t end = tick + length;
            // About 1.3 controller changes a step, as a sequencer records them.
            if (random.below(64) == 0) track.program(tick, channel, random.below(8));
            if (random.below(100) < 35) track.controller(tick, channel, 1, std::array{0, 0, 20, 40, 90, 127}[random.below(6)]);
            if (random.below(100) < 20) track.controller(tick, channel, 12, std::array{0, 10, 64, 70, 100, 0}[random.below(6)]);
            if (random.below(100) < 30) track.controller(tick + length / 2, channel, 11, 60 + random.below(68));
            if (random.below(100) < 25) track.controller(tick, channel, 7, 70 + random.below(58));
            if (random.below(100) < 10) track.controller(tick, channel, 10, random.below(128));
            if (random.below(100) < 8) {
                sustain = !sustain;
                track.controller(tick, channel, 64, sustain ? 127 : 0);
            }
            if (drums) {
                pitch = 35 + random.below(12);
            } else if (bass) {
                pitch = std::clamp(pitch + random.below(7) - 3, 28, 55);
            } else {
                pitch = std::clamp(pitch + random.below(9) - 4, 48, 96);
            }
            const bool chord = !drums && !bass && quota - made >= 3 && random.below(6) == 0;
            const std::array<int, 3> shape = std::array{std::array{0, 4, 7}, std::array{0, 3, 7}, std::array{0, 5, 9}}[random.below(3)];
            for (int i = 0; i < (chord ? 3 : 1); ++i) {
                track.note(tick, end, channel, pitch + shape[static_cast<size_t>(i)], 40 + random.below(88));
                ++made;
            }
            if (!drums) {
                if (heldFor > 0 && --heldFor == 0) track.pitchBend(tick, channel, kCentre);
                const int kind = random.below(100);
                const int depth = 256 + random.below(1792);
                if (kind < 33) {
                    // no bend
                } else if (kind < 60) {  // short: two steps, then back to the centre
                    track.pitchBend(tick + length / 4, channel, clampBend(kCentre + depth));
                    track.pitchBend(tick + length / 2, channel, clampBend(kCentre - depth / 2));
                    track.pitchBend(tick + 3 * length / 4, channel, kCentre);
                } else if (kind < 90) {  // a curve over the whole note, a value a frame
                    const int period = 4 + random.below(12);
                    int64_t n = 0;
                    for (int32_t t = tick; t < end; t += kTicksPerFrame) {
                        track.pitchBend(t, channel, clampBend(kCentre + triangle(n++, period, depth)));
                    }
                    track.pitchBend(end, channel, kCentre);
                } else if (heldFor == 0) {  // held over the next few notes
                    track.pitchBend(tick, channel, clampBend(kCentre + depth));
                    heldFor = 4;
                }
            }
            tick += step;
            songEnd = std::max(songEnd, end);
        }
    }
    // A tempo change every 50 notes, spread over the song.
    Track& conductor = tracks[0];
    conductor.name("Dense bench song").timeSignature(0, 4, 2).tempo(0, 500000);
    const int64_t changes = request.notes / 50;
    for (int64_t i = 1; i <= changes; ++i) {
        const auto tick = static_cast<int32_t>(static_cast<int64_t>(songEnd) * i / (changes + 1));
        conductor.tempo(tick, static_cast<uint32_t>(60000000 / (96 + random.below(65))));
    }
    return buildSong(tracks, kTicksPerQuarter);
}

// One note held for `frames` frames on the base chip, with a bend every 4
// ticks that never settles into a repeat: a slow triangle with a random walk
// on top. Written straight into the file's bytes, three bytes a bend.
std::vector<uint8_t> longNoteSong(const SongRequest& request) {
    const int64_t frames = request.framesPerNote > 0 ? request.framesPerNote : 16000000;
    constexpr int32_t kEvery = 4;
    if (frames > (int64_t{1} << 31) / kTicksPerFrame - 1) throw std::invalid_argument("too many frames for 32-bit ticks");
    const auto end = static_cast<int32_t>(frames * kTicksPerFrame);
    constexpr int kChannel = 0;
    std::vector<uint8_t> out;
    out.reserve(static_cast<size_t>(end / kEvery) * 3 + 256);
    appendHeader(out, 2, kTicksPerQuarter);
    {
        ChunkStream conductor(out);
        conductor.name("Long note");
        const uint8_t meter[] = {0xFF, 0x58, 0x04, 4, 2, 24, 8};
        const uint8_t tempo[] = {0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20};  // 500,000 us: 120 beats per minute
        conductor.event(0, meter, sizeof meter);
        conductor.event(0, tempo, sizeof tempo);
        conductor.finish();
    }
    ChunkStream track(out);
    track.name("Lead");
    const uint8_t setup[][3] = {{0xC0 | kChannel, 0, 0},   {0xB0 | kChannel, 101, 0}, {0xB0 | kChannel, 100, 0},
                                {0xB0 | kChannel, 6, 2},    {0xB0 | kChannel, 7, 100}, {0x90 | kChannel, 60, 100}};
    for (const auto& e : setup) track.event(0, e, e[0] >= 0xC0 && e[0] < 0xE0 ? 2 : 3);
    Random random(request.seed);
    int wander = 0;
    int64_t k = 0;
    for (int32_t t = 0; t < end; t += kEvery, ++k) {
        wander = std::clamp(wander + random.below(33) - 16, -1200, 1200);
        const int value = clampBend(kCentre + triangle(k, 388, 2400) + wander);
        const uint8_t bend[] = {0xE0 | kChannel, static_cast<uint8_t>(value & 0x7F), static_cast<uint8_t>(value >> 7)};
        track.event(t, bend, 3);
    }
    const uint8_t centre[] = {0xE0 | kChannel, 0, 64};
    const uint8_t off[] = {0x90 | kChannel, 60, 0};
    track.event(end, centre, 3);
    track.event(end, off, 3);
    track.finish();
    return out;
}

// What a track does in a musician's song, and its share of the notes.
enum class Role { melody, chords, bass, drums, counter, pad, arpeggio, strings, brass, lead, percussion };
struct RoleInfo {
    Role role;
    const char* name;
    int weight;  // share of the song's notes, in tenths
};
constexpr RoleInfo kRoles[] = {
    {Role::melody, "Melody", 30},   {Role::chords, "Piano", 40},     {Role::bass, "Bass", 25},
    {Role::drums, "Drums", 50},     {Role::counter, "Counter", 20},  {Role::pad, "Pad", 20},
    {Role::arpeggio, "Arp", 30},    {Role::strings, "Strings", 20},  {Role::brass, "Brass", 15},
    {Role::lead, "Lead 2", 20},     {Role::percussion, "Perc", 20},
};

std::vector<uint8_t> musicianSong(const SongRequest& request) {
    Random random(request.seed);
    const int64_t notes = std::max<int64_t>(request.notes, 1);
    constexpr int kDivisions[] = {96, 120, 192, 240, 384, 480, 960};
    const int division = kDivisions[random.below(7)];
    const int meterPick = random.below(20);
    const int numerator = meterPick < 12 ? 4 : meterPick < 16 ? 3 : meterPick < 19 ? 6 : 2;
    const int power = numerator == 6 ? 3 : 2;
    const int32_t barTicks = division * 4 * numerator >> power;
    const int trackCount = std::min(11, 3 + random.below(3) + (notes >= 2000 ? 1 : 0) + (notes >= 5000 ? 2 : 0) +
                                            (notes >= 15000 ? 2 : 0));
    const int density = 8 + random.below(25);  // notes a bar, all tracks together
    const int64_t bars = std::max<int64_t>(8, notes / density);
    const int32_t songTicks = static_cast<int32_t>(bars * barTicks);
    const bool playedIn = random.below(10) < 3;  // recorded live: starts and lengths off the grid
    const bool arpByController = random.below(10) == 0;
    const int routed = random.below(4) == 0 ? 1 + random.below(2) : 0;  // tracks sent to a chip by name
    constexpr int kPrograms[] = {0, 4, 5, 24, 25, 33, 38, 48, 52, 56, 61, 73, 80, 81, 88, 89, 1, 2, 3, 6, 7};

    int weights = 0;
    for (int i = 0; i < trackCount; ++i) weights += kRoles[i].weight;
    std::vector<Track> tracks(static_cast<size_t>(trackCount) + 1);
    int64_t left = notes;
    for (int i = 0; i < trackCount; ++i) {
        const RoleInfo& info = kRoles[i];
        const Role role = info.role;
        Track& track = tracks[static_cast<size_t>(i) + 1];
        const bool drums = role == Role::drums || role == Role::percussion;
        const int channel = drums ? 9 : i < 9 ? i : i + 1;
        const bool chordal = role == Role::chords || role == Role::strings || role == Role::pad;
        const int64_t quota = i + 1 == trackCount ? left : std::max<int64_t>(1, notes * info.weight / weights);
        left = std::max<int64_t>(0, left - quota);
        if (quota == 0) continue;
        std::string name = info.name;
        if (!drums && i >= 4 && i < 4 + routed) {
            name = "trx" + std::to_string(std::array{6, 7, 9, 10, 16, 18, 26}[random.below(7)]) + " " + name;
        }
        track.name(name);
        if (!drums) track.program(0, channel, kPrograms[random.below(21)]);
        track.controller(0, channel, 7, 80 + random.below(48)).controller(0, channel, 10, 20 + random.below(88));
        const bool leading = role == Role::melody || role == Role::lead || role == Role::brass;
        if (leading && random.below(2) == 0) track.bendRange(0, channel, random.below(2) == 0 ? 2 : 12);

        const double perStep = chordal ? 3.2 : 1.0;
        const int64_t steps = std::max<int64_t>(1, static_cast<int64_t>(static_cast<double>(quota) / perStep));
        const int32_t grid = std::max(1, division / 4);
        const int32_t units = std::max<int32_t>(1, static_cast<int32_t>(songTicks / steps / grid));
        int32_t tick = role == Role::pad || role == Role::strings ? barTicks * random.below(4) : 0;
        int pitch = role == Role::bass ? 40 : chordal ? 60 : 67;
        int64_t made = 0;
        bool arpOn = false;
        while (made < quota) {
            const int32_t step = grid * std::max(1, units / 2 + random.below(units + 1));
            int32_t start = tick;
            int32_t length = step * (drums ? 25 : role == Role::arpeggio ? 60 + random.below(30) : 80 + random.below(21)) / 100;
            if (playedIn) {
                start += random.below(std::max(1, division / 24));
                length -= random.below(std::max(1, division / 16));
            }
            length = std::max(1, length);
            const int32_t end = start + length;
            tick += step;
            if (!drums && random.below(100) < 6) continue;  // a rest
            if (random.below(500) == 0 && !drums) track.program(start, channel, kPrograms[random.below(21)]);
            if (arpByController && role == Role::arpeggio && random.below(40) == 0) {
                arpOn = !arpOn;
                track.controller(start, channel, 12, arpOn ? 64 : 0);
            }
            if (role == Role::strings || role == Role::melody) {
                if (length >= 2 * division && random.below(5) == 0) {
                    track.controller(start + length / 3, channel, 1, 30 + random.below(60));
                    track.controller(end, channel, 1, 0);
                }
            }
            if (random.below(50) == 0) track.controller(start, channel, 11, 70 + random.below(58));
            int members = 1;
            if (drums) {
                pitch = std::array{36, 38, 42, 42, 42, 46, 49, 35, 40, 44}[random.below(10)];
            } else if (role == Role::bass) {
                pitch = std::clamp(pitch + random.below(9) - 4, 28, 55);
            } else {
                pitch = std::clamp(pitch + random.below(7) - 3, chordal ? 48 : 55, chordal ? 72 : 90);
                if (chordal) members = 3 + (random.below(5) == 0 ? 1 : 0);
                else if (random.below(25) == 0) members = 2;
            }
            members = static_cast<int>(std::min<int64_t>(members, quota - made));
            constexpr int kIntervals[] = {0, 4, 7, 11};
            for (int m = 0; m < members; ++m) {
                const int32_t strum = playedIn && m > 0 ? random.below(std::max(1, division / 32)) : 0;
                track.note(std::min(start + strum, end - 1), end, channel, pitch + kIntervals[m], 50 + random.below(70));
                ++made;
            }
            if (leading && length >= grid * 2 && random.below(100) < 4) {  // a scoop into the note
                track.pitchBend(start, channel, kCentre - 1024);
                track.pitchBend(start + length / 8, channel, kCentre - 512);
                track.pitchBend(start + length / 4, channel, kCentre);
            } else if (leading && length >= division && random.below(200) == 0) {  // a bend and back
                const int depth = 1024 + random.below(3000);
                const int32_t every = std::max(1, division / 16);
                int64_t n = 0;
                for (int32_t t = start; t < end; t += every) track.pitchBend(t, channel, clampBend(kCentre + triangle(n++, 8, depth)));
                track.pitchBend(end, channel, kCentre);
            }
        }
    }

    // The tempo map: steady, a few changes, a slowing at the end, or a drift.
    Track& conductor = tracks[0];
    conductor.name("Song " + std::to_string(request.seed % 100000)).timeSignature(0, numerator, power);
    int bpm = 70 + random.below(111);
    conductor.tempo(0, static_cast<uint32_t>(60000000 / bpm));
    const int32_t totalBars = songTicks / barTicks;
    switch (random.below(4)) {
        case 0: break;
        case 1:
            for (int c = 0, n = 2 + random.below(5); c < n; ++c) {
                conductor.tempo(barTicks * (1 + random.below(totalBars - 1)), static_cast<uint32_t>(60000000 / std::clamp(bpm + random.below(41) - 20, 40, 240)));
            }
            break;
        case 2:
            for (int c = 1; c <= 8; ++c) {
                conductor.tempo(songTicks - barTicks * 2 + c * barTicks / 4, static_cast<uint32_t>(60000000 / std::max(30, bpm - 5 * c)));
            }
            break;
        default:
            for (int32_t bar = 4 + random.below(12); bar < totalBars; bar += 4 + random.below(12)) {
                bpm = std::clamp(bpm + random.below(7) - 3, 40, 240);
                conductor.tempo(bar * barTicks, static_cast<uint32_t>(60000000 / bpm));
            }
            break;
    }
    return buildSong(tracks, division);
}

}  // namespace

std::vector<uint8_t> generateSong(const SongRequest& request) {
    switch (request.shape) {
        case SongShape::longBends: return longBendSong(request);
        case SongShape::bendCurves: return bendCurveSong(request);
        case SongShape::dense: return denseSong(request);
        case SongShape::longNote: return longNoteSong(request);
        case SongShape::musician: return musicianSong(request);
        case SongShape::ordinary: break;
    }
    return ordinarySong(request);
}

std::vector<SongRequest> songFolder(int songs, uint64_t seed) {
    Random random(seed);
    std::vector<SongRequest> folder;
    for (int i = 0; i < songs; ++i) {
        SongRequest request;
        request.shape = SongShape::musician;
        request.seed = random.next();
        const double u = static_cast<double>(random.below(1000001)) / 1e6;
        request.notes = i == 0 ? 200 : i == 1 ? 30000 : std::llround(200.0 * std::pow(150.0, u));
        folder.push_back(request);
    }
    return folder;
}

std::string benchMappingText() {
    std::string text =
        "[E@Map]\n1{2}\n2{1}\n4{0}\n7{3}\n2001{0}\n3001{1}\n5004{7}\n6007{2}\n"
        "[EvMap]\n1{15,14,13,12,L,11,R,6}\n2{15,D,4,12,10,R,4,0}\n4{12,L,11,10,R,3}\n"
        "1037{15,12,9,6,3,0}\n2001{32,30,28,L,26,R,10}\n3001{15,15,14,L,13,R,2}\n"
        "[EnMap]\n1036{4,2,0}\n1038{0}\n1042{L,0,1}\n"
        "[EmoMap]\n32{0,D,10,L,1,2,1,0,-1,-2,-1,0}\n127{0,D,5,L,2,4,2,0,-2,-4,-2,0}\n"
        "[ApMap]\n1{L,U1}\n2{L,D1}\n4{U2,L,0}\nE64{L,0,0,12,12}\nE10{L,U1,D1}\n";
    // Voices 1 to 8 of every expansion chip's voice base, and a few more on
    // the base chip, each with its settings and a volume shape that fits the
    // chip's levels (33 on the FDS, 43 on TR9, 16 elsewhere).
    const std::set<int> hasSettings{1, 2, 4, 7, 2001, 3001, 5004, 6007};
    const std::set<int> hasVolume{1, 2, 4, 2001, 3001};
    std::string settings = "[E@Map]\n";
    std::string volumes = "[EvMap]\n";
    for (const int base : {0, 2000, 3000, 4000, 5000, 6000, 7000}) {
        const int top = base == 2000 ? 32 : base == 4000 ? 42 : 15;
        for (int voice = base + 1; voice <= base + 8; ++voice) {
            if (hasSettings.count(voice) == 0) settings += std::to_string(voice) + "{" + std::to_string(voice % 4) + "}\n";
            if (hasVolume.count(voice) != 0) continue;
            const int v = voice % 4;
            const auto level = [&](int percent) { return std::to_string(top * percent / 100); };
            volumes += std::to_string(voice) + "{";
            if (v == 0) volumes += level(100) + "," + level(90) + ",L," + level(80) + ",R," + level(40) + "," + level(0);
            if (v == 1) volumes += level(100) + ",D,6," + level(70) + ",L," + level(60) + "," + level(55) + ",R," + level(20);
            if (v == 2) volumes += level(40) + "," + level(70) + "," + level(100) + ",L," + level(90) + ",R," + level(30);
            if (v == 3) volumes += level(100) + "," + level(80) + "," + level(60) + "," + level(40) + "," + level(20) + "," + level(0);
            volumes += "}\n";
        }
    }
    for (const int voice : {25, 26, 34, 49, 53, 81, 82}) {
        settings += std::to_string(voice) + "{" + std::to_string(voice % 3) + "}\n";
        volumes += std::to_string(voice) + "{15,13,12,L,11,R,5,0}\n";
    }
    text += settings + volumes;
    text += "[EmoMap]\n64{0,D,8,L,1,3,1,-1,-3,-1}\n";
    text += "[ApMap]\n6{L,0,12}\n49{L,U1,D1}\nE100{L,D1}\n";
    return text;
}

}  // namespace tonequill::bench
