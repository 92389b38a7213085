#include "split/format1_writer.h"

namespace tonequill {
namespace {

void put16(std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

void put32(std::vector<uint8_t>& out, uint32_t value) {
    put16(out, value >> 16);
    put16(out, value & 0xFFFF);
}

// A variable-length number, 7 bits a byte, most significant first.
void putNumber(std::vector<uint8_t>& out, uint32_t value) {
    uint8_t bytes[5];
    int count = 0;
    do {
        bytes[count++] = static_cast<uint8_t>(value & 0x7F);
        value >>= 7;
    } while (value != 0);
    while (count > 1) out.push_back(static_cast<uint8_t>(bytes[--count] | 0x80));
    out.push_back(bytes[0]);
}

void putTrack(std::vector<uint8_t>& out, const SplitTrack& track, uint32_t endTick) {
    out.insert(out.end(), {'M', 'T', 'r', 'k', 0, 0, 0, 0});
    const size_t start = out.size();
    if (!track.name.empty()) {
        out.insert(out.end(), {0x00, 0xFF, 0x03});
        putNumber(out, static_cast<uint32_t>(track.name.size()));
        out.insert(out.end(), track.name.begin(), track.name.end());
    }
    uint32_t now = 0;
    for (const SplitEvent& event : track.events) {
        putNumber(out, event.tick - now);
        now = event.tick;
        out.push_back(event.status);
        out.insert(out.end(), event.body.begin(), event.body.end());
    }
    putNumber(out, endTick > now ? endTick - now : 0);
    out.insert(out.end(), {0xFF, 0x2F, 0x00});
    const auto length = static_cast<uint32_t>(out.size() - start);
    for (int i = 0; i < 4; ++i) out[start - 4 + static_cast<size_t>(i)] = static_cast<uint8_t>(length >> (24 - 8 * i));
}

}  // namespace

std::vector<uint8_t> writeFormat1(uint16_t division, const std::vector<SplitTrack>& tracks, uint32_t endTick) {
    std::vector<uint8_t> out{'M', 'T', 'h', 'd'};
    put32(out, 6);
    put16(out, 1);
    put16(out, static_cast<uint32_t>(tracks.size()));
    put16(out, division);
    for (const SplitTrack& track : tracks) putTrack(out, track, endTick);
    return out;
}

}  // namespace tonequill
