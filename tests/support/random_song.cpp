// Pseudo-random songs from a seeded generator of our own, the same on every
// platform: for comparing two builds, or two ways of running one build.
#include "random_song.h"

namespace tonequill::testing {

// Selects the pitch-bend range with registered parameter 0.
void bendRange(TrackBuilder& track, int32_t tick, int channel, int semitones, int cents) {
    track.controller(tick, channel, 101, 0).controller(tick, channel, 100, 0).controller(tick, channel, 6, semitones);
    if (cents >= 0) track.controller(tick, channel, 38, cents);
}

namespace {

// Pseudo-random tracks: notes, chords, gaps, controllers, programs, bends.
TrackBuilder randomTrack(Random& random, const std::string& name, int channel, int32_t q, int32_t length) {
    TrackBuilder track;
    track.name(0, name).program(0, channel, random.between(0, 30));
    int32_t t = random.between(0, q);
    while (t < length) {
        const int32_t duration = random.chance(70) ? (q / 4) * random.between(1, 8) : random.between(1, 3 * q);
        if (random.chance(10)) track.controller(t, channel, 1, random.between(0, 127));
        if (random.chance(8)) {
            const int cc12[] = {0, 5, 10, 64, 70, 90, 100};
            track.controller(t, channel, 12, cc12[random.between(0, 6)]);
        }
        if (random.chance(5)) track.program(t, channel, random.between(0, 30));
        if (random.chance(4)) bendRange(track, t, channel, random.between(1, 24), random.chance(50) ? random.between(0, 99) : -1);
        const int root = random.between(36, 90);
        track.note(t, t + duration, channel, root, random.between(1, 127));
        if (random.chance(20)) {
            const int members = random.between(1, 3);
            for (int m = 0; m < members; ++m) {
                const int32_t offset = random.chance(50) ? 0 : random.between(0, q / 6);
                track.note(t + offset, t + duration, channel, root + random.between(1, 12), random.between(1, 127));
            }
        }
        if (random.chance(15)) {
            for (int32_t b = t; b < t + duration; b += random.between(5, q / 4)) {
                track.pitchBend(b, channel, random.between(0, 16383));
            }
            track.pitchBend(t + duration, channel, 8192);
        }
        t += duration + (random.chance(25) ? random.between(1, q) : 0);
    }
    return track;
}

}  // namespace

std::vector<uint8_t> randomSong(uint32_t seed, int32_t q, uint32_t tempo, const std::vector<std::string>& names,
                                int32_t quarters) {
    Random random(seed);
    TrackBuilder conductor;
    conductor.name(0, "Random " + std::to_string(seed)).tempo(0, tempo);
    for (int i = 1; i < 4; ++i) conductor.tempo(i * 8 * q + random.between(0, q), tempo + static_cast<uint32_t>(random.between(0, 200000)));
    std::vector<TrackBuilder> tracks{conductor};
    for (size_t i = 0; i < names.size(); ++i) {
        tracks.push_back(randomTrack(random, names[i], static_cast<int>(i % 16), q, quarters * q));
    }
    return buildMidi(tracks, q);
}

const char* const kRandomMapping =
    "[EvMap]\n1{15,12,L,10,R,0}\n6{15,13,11,9}\n3001{14,L,12,R,3}\n5011{15,10,L,8}\n"
    "[E@Map]\n1{3}\n3001{1 2}\n"
    "[EnMap]\n1040{0,2,L,1}\n"
    "[EmoMap]\n30{0,D,3,3,6,3,0,-3,-6,-3}\n90{L,0,9,0,-9}\n"
    "[ApMap]\n1{L,U1}\n7{D2,L,0}\nE5{0,4,7}\nE70{0,12}\nE100{L,U1,D1}\n";

}  // namespace tonequill::testing
