#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tonequill::bench {

// Appends the events of one track chunk to a byte buffer as they come, in tick
// order, with running status, as sequencers save them. Holds nothing but the
// bytes, so a track of tens of millions of events costs three or four bytes
// an event.
class ChunkStream {
public:
    explicit ChunkStream(std::vector<uint8_t>& out);
    // A channel message or a meta event (0xFF ...) at `tick`, not before the last one.
    void event(int32_t tick, const uint8_t* bytes, size_t size);
    void name(const std::string& text);  // at tick 0, before any other event
    // The end of track, and the chunk's length put in place.
    void finish();

private:
    std::vector<uint8_t>& out_;
    size_t lengthAt_;
    int32_t now_ = 0;
    uint8_t running_ = 0;
};

// The events of one track at absolute ticks, 16 bytes each, for songs of
// millions of notes. Written in tick order; at one tick note-offs come first,
// and otherwise the order of the calls is kept.
class Track {
public:
    Track& name(std::string text);
    Track& note(int32_t start, int32_t end, int channel, int key, int velocity);
    Track& program(int32_t tick, int channel, int program);
    Track& controller(int32_t tick, int channel, int controller, int value);
    Track& pitchBend(int32_t tick, int channel, int value);  // 0..16383, centre 8192
    Track& bendRange(int32_t tick, int channel, int semitones);
    Track& tempo(int32_t tick, uint32_t usPerQuarter);
    Track& timeSignature(int32_t tick, int numerator, int denominatorPower);
    [[nodiscard]] size_t events() const { return events_.size(); }

    // Sorts the events and appends the chunk to `out`.
    void appendChunk(std::vector<uint8_t>& out);

private:
    struct Event {
        int32_t tick;
        uint8_t isOff;
        uint8_t size;
        uint8_t bytes[10];
    };
    static_assert(sizeof(Event) == 16);
    Track& add(int32_t tick, bool isOff, std::initializer_list<uint8_t> bytes);

    std::string name_;
    std::vector<Event> events_;
};

// The header chunk of a format-1 file; the tracks' chunks follow it.
void appendHeader(std::vector<uint8_t>& out, int tracks, int division);

// A whole format-1 file of these tracks (sorted in place).
std::vector<uint8_t> buildSong(std::vector<Track>& tracks, int division);

}  // namespace tonequill::bench
