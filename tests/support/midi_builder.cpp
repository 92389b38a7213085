#include "midi_builder.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace tonequill::testing {

TrackBuilder& TrackBuilder::add(int32_t tick, bool isOff, std::vector<uint8_t> bytes) {
    events_.push_back(Pending{tick, isOff, std::move(bytes)});
    return *this;
}

TrackBuilder& TrackBuilder::noteOn(int32_t tick, int channel, int note, int velocity) {
    return add(tick, velocity == 0,
               {static_cast<uint8_t>(0x90 | channel), static_cast<uint8_t>(note), static_cast<uint8_t>(velocity)});
}

TrackBuilder& TrackBuilder::noteOff(int32_t tick, int channel, int note) {
    return add(tick, true, {static_cast<uint8_t>(0x80 | channel), static_cast<uint8_t>(note), 0x40});
}

TrackBuilder& TrackBuilder::note(int32_t start, int32_t end, int channel, int note, int velocity) {
    noteOn(start, channel, note, velocity);
    return noteOff(end, channel, note);
}

TrackBuilder& TrackBuilder::program(int32_t tick, int channel, int program) {
    return add(tick, false, {static_cast<uint8_t>(0xC0 | channel), static_cast<uint8_t>(program)});
}

TrackBuilder& TrackBuilder::controller(int32_t tick, int channel, int controller, int value) {
    return add(tick, false,
               {static_cast<uint8_t>(0xB0 | channel), static_cast<uint8_t>(controller), static_cast<uint8_t>(value)});
}

TrackBuilder& TrackBuilder::pitchBend(int32_t tick, int channel, int value) {
    return add(tick, false,
               {static_cast<uint8_t>(0xE0 | channel), static_cast<uint8_t>(value & 0x7F),
                static_cast<uint8_t>((value >> 7) & 0x7F)});
}

TrackBuilder& TrackBuilder::tempo(int32_t tick, uint32_t us) {
    return add(tick, false,
               {0xFF, 0x51, 0x03, static_cast<uint8_t>(us >> 16), static_cast<uint8_t>(us >> 8),
                static_cast<uint8_t>(us)});
}

namespace {
std::vector<uint8_t> metaText(uint8_t type, const std::string& text) {
    std::vector<uint8_t> bytes{0xFF, type};
    auto length = vlq(static_cast<uint32_t>(text.size()));
    bytes.insert(bytes.end(), length.begin(), length.end());
    bytes.insert(bytes.end(), text.begin(), text.end());
    return bytes;
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(v >> shift));
}
}  // namespace

TrackBuilder& TrackBuilder::name(int32_t tick, const std::string& text) { return add(tick, false, metaText(0x03, text)); }
TrackBuilder& TrackBuilder::text(int32_t tick, const std::string& text) { return add(tick, false, metaText(0x01, text)); }
TrackBuilder& TrackBuilder::raw(int32_t tick, std::vector<uint8_t> bytes) { return add(tick, false, std::move(bytes)); }

std::vector<uint8_t> vlq(uint32_t value) {
    std::vector<uint8_t> out{static_cast<uint8_t>(value & 0x7F)};
    while ((value >>= 7) != 0) out.insert(out.begin(), static_cast<uint8_t>(0x80 | (value & 0x7F)));
    return out;
}

std::vector<uint8_t> TrackBuilder::chunk() const {
    std::vector<Pending> sorted = events_;
    std::stable_sort(sorted.begin(), sorted.end(), [](const Pending& a, const Pending& b) {
        if (a.tick != b.tick) return a.tick < b.tick;
        return a.isOff && !b.isOff;
    });
    std::vector<uint8_t> body;
    int32_t now = 0;
    for (const auto& e : sorted) {
        auto delta = vlq(static_cast<uint32_t>(e.tick - now));
        body.insert(body.end(), delta.begin(), delta.end());
        body.insert(body.end(), e.bytes.begin(), e.bytes.end());
        now = e.tick;
    }
    body.insert(body.end(), {0x00, 0xFF, 0x2F, 0x00});
    std::vector<uint8_t> out{'M', 'T', 'r', 'k'};
    put32(out, static_cast<uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::vector<uint8_t> buildMidi(const std::vector<TrackBuilder>& tracks, int division, int format) {
    std::vector<uint8_t> out{'M', 'T', 'h', 'd', 0, 0, 0, 6};
    out.push_back(static_cast<uint8_t>(format >> 8));
    out.push_back(static_cast<uint8_t>(format));
    out.push_back(static_cast<uint8_t>(tracks.size() >> 8));
    out.push_back(static_cast<uint8_t>(tracks.size()));
    out.push_back(static_cast<uint8_t>(division >> 8));
    out.push_back(static_cast<uint8_t>(division));
    for (const auto& t : tracks) {
        auto c = t.chunk();
        out.insert(out.end(), c.begin(), c.end());
    }
    return out;
}

void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path);
}

void writeText(const std::string& path, const std::string& text) {
    writeBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string readText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace tonequill::testing
