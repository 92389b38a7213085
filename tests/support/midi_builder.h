#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tonequill::testing {

// Builds the bytes of one track chunk from events at absolute ticks. Events
// are written in tick order; at one tick, note-offs come before everything
// else, and otherwise the order of the calls is kept.
class TrackBuilder {
public:
    TrackBuilder& noteOn(int32_t tick, int channel, int note, int velocity);
    TrackBuilder& noteOff(int32_t tick, int channel, int note);
    TrackBuilder& note(int32_t start, int32_t end, int channel, int note, int velocity = 100);
    TrackBuilder& program(int32_t tick, int channel, int program);
    TrackBuilder& controller(int32_t tick, int channel, int controller, int value);
    TrackBuilder& pitchBend(int32_t tick, int channel, int value);  // 0..16383, centre 8192
    TrackBuilder& tempo(int32_t tick, uint32_t usPerQuarter);
    TrackBuilder& name(int32_t tick, const std::string& text);
    TrackBuilder& text(int32_t tick, const std::string& text);
    // Any bytes after the delta time, written as they are.
    TrackBuilder& raw(int32_t tick, std::vector<uint8_t> bytes);

    // The chunk ("MTrk", length, events, end of track).
    [[nodiscard]] std::vector<uint8_t> chunk() const;

private:
    struct Pending {
        int32_t tick;
        bool isOff;
        std::vector<uint8_t> bytes;
    };
    TrackBuilder& add(int32_t tick, bool isOff, std::vector<uint8_t> bytes);
    std::vector<Pending> events_;
};

std::vector<uint8_t> vlq(uint32_t value);

// A whole file: the header chunk and one chunk per track.
std::vector<uint8_t> buildMidi(const std::vector<TrackBuilder>& tracks, int division = 480, int format = 1);

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes);
void writeText(const std::string& path, const std::string& text);
std::string readText(const std::string& path);

}  // namespace tonequill::testing
