#include "smf_writer.h"

#include <algorithm>
#include <stdexcept>

namespace tonequill::bench {
namespace {

void putVlq(std::vector<uint8_t>& out, uint32_t value) {
    uint8_t digits[5];
    int n = 0;
    do {
        digits[n++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (n > 1) out.push_back(static_cast<uint8_t>(0x80 | digits[--n]));
    out.push_back(digits[0]);
}

void put32At(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

}  // namespace

ChunkStream::ChunkStream(std::vector<uint8_t>& out) : out_(out) {
    out_.insert(out_.end(), {'M', 'T', 'r', 'k', 0, 0, 0, 0});
    lengthAt_ = out_.size() - 4;
}

void ChunkStream::event(int32_t tick, const uint8_t* bytes, size_t size) {
    if (tick < now_) throw std::logic_error("events out of tick order");
    putVlq(out_, static_cast<uint32_t>(tick - now_));
    now_ = tick;
    const uint8_t status = bytes[0];
    if (status >= 0xF0) {
        running_ = 0;  // a meta event cancels running status
    } else if (status == running_) {
        ++bytes;
        --size;
    } else {
        running_ = status;
    }
    out_.insert(out_.end(), bytes, bytes + size);
}

void ChunkStream::name(const std::string& text) {
    std::vector<uint8_t> bytes{0xFF, 0x03};
    putVlq(bytes, static_cast<uint32_t>(text.size()));
    bytes.insert(bytes.end(), text.begin(), text.end());
    event(0, bytes.data(), bytes.size());
}

void ChunkStream::finish() {
    const uint8_t end[] = {0xFF, 0x2F, 0x00};
    event(now_, end, sizeof end);
    put32At(out_, lengthAt_, static_cast<uint32_t>(out_.size() - lengthAt_ - 4));
}

Track& Track::add(int32_t tick, bool isOff, std::initializer_list<uint8_t> bytes) {
    Event e{tick, static_cast<uint8_t>(isOff), static_cast<uint8_t>(bytes.size()), {}};
    std::copy(bytes.begin(), bytes.end(), e.bytes);
    events_.push_back(e);
    return *this;
}

Track& Track::name(std::string text) {
    name_ = std::move(text);
    return *this;
}

Track& Track::note(int32_t start, int32_t end, int channel, int key, int velocity) {
    const auto k = static_cast<uint8_t>(key);
    add(start, false, {static_cast<uint8_t>(0x90 | channel), k, static_cast<uint8_t>(velocity)});
    // Note-on with velocity 0, as most sequencers write a note-off, so that
    // running status carries over whole chords.
    return add(end, true, {static_cast<uint8_t>(0x90 | channel), k, 0});
}

Track& Track::program(int32_t tick, int channel, int program) {
    return add(tick, false, {static_cast<uint8_t>(0xC0 | channel), static_cast<uint8_t>(program)});
}

Track& Track::controller(int32_t tick, int channel, int controller, int value) {
    return add(tick, false,
               {static_cast<uint8_t>(0xB0 | channel), static_cast<uint8_t>(controller), static_cast<uint8_t>(value)});
}

Track& Track::pitchBend(int32_t tick, int channel, int value) {
    return add(tick, false,
               {static_cast<uint8_t>(0xE0 | channel), static_cast<uint8_t>(value & 0x7F),
                static_cast<uint8_t>((value >> 7) & 0x7F)});
}

Track& Track::bendRange(int32_t tick, int channel, int semitones) {
    return controller(tick, channel, 101, 0).controller(tick, channel, 100, 0).controller(tick, channel, 6, semitones);
}

Track& Track::tempo(int32_t tick, uint32_t us) {
    return add(tick, false,
               {0xFF, 0x51, 0x03, static_cast<uint8_t>(us >> 16), static_cast<uint8_t>(us >> 8), static_cast<uint8_t>(us)});
}

Track& Track::timeSignature(int32_t tick, int numerator, int denominatorPower) {
    return add(tick, false,
               {0xFF, 0x58, 0x04, static_cast<uint8_t>(numerator), static_cast<uint8_t>(denominatorPower), 24, 8});
}

void Track::appendChunk(std::vector<uint8_t>& out) {
    std::stable_sort(events_.begin(), events_.end(), [](const Event& a, const Event& b) {
        if (a.tick != b.tick) return a.tick < b.tick;
        return a.isOff > b.isOff;
    });
    ChunkStream chunk(out);
    if (!name_.empty()) chunk.name(name_);
    for (const Event& e : events_) chunk.event(e.tick, e.bytes, e.size);
    chunk.finish();
}

void appendHeader(std::vector<uint8_t>& out, int tracks, int division) {
    out.insert(out.end(), {'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1});
    out.push_back(static_cast<uint8_t>(tracks >> 8));
    out.push_back(static_cast<uint8_t>(tracks));
    out.push_back(static_cast<uint8_t>(division >> 8));
    out.push_back(static_cast<uint8_t>(division));
}

std::vector<uint8_t> buildSong(std::vector<Track>& tracks, int division) {
    size_t events = 0;
    for (const Track& t : tracks) events += t.events();
    std::vector<uint8_t> out;
    out.reserve(64 + tracks.size() * 64 + events * 3);
    appendHeader(out, static_cast<int>(tracks.size()), division);
    for (Track& t : tracks) t.appendChunk(out);
    return out;
}

}  // namespace tonequill::bench
