#include "split/format0_reader.h"

#include <algorithm>
#include <optional>

#include "midi/byte_cursor.h"

namespace tonequill {
namespace {

// The largest number a delta time of four bytes holds; positions are kept
// within it, so every delta of the split file fits in four bytes too.
constexpr uint32_t kMaxTick = 0x0FFFFFFF;

std::string hex(uint8_t byte) {
    constexpr const char* digits = "0123456789ABCDEF";
    return std::string("0x") + digits[byte >> 4] + digits[byte & 0x0F];
}

bool isChannelStatus(uint8_t status) { return status >= 0x80 && status < 0xF0; }

size_t dataBytesOf(uint8_t status) {
    const uint8_t kind = status & 0xF0;
    return kind == 0xC0 || kind == 0xD0 ? 1 : 2;
}

// Reads the events of one track chunk, whose bytes start at `offset` in the file.
class TrackChunkReader {
public:
    TrackChunkReader(std::span<const uint8_t> chunk, size_t offset) : chunk_(chunk), offset_(offset), in_(chunk) {}

    // Fills `song` with the chunk's events; false, with `error`, on damage.
    bool read(Format0Song& song) {
        while (in_.remaining() > 0) {
            if (!readEvent(song)) return false;
        }
        song.endTick = std::max(song.endTick, tick_);
        return true;
    }

    [[nodiscard]] const std::string& error() const { return error_; }

private:
    bool fail(const std::string& what) {
        error_ = "byte " + std::to_string(offset_ + eventStart_) + " (tick " + std::to_string(tick_) + "): " + what;
        return false;
    }

    bool cutOff() { return fail("the track chunk ends inside this event"); }

    // A variable-length number; `tooLarge` when it passes kMaxTick.
    std::optional<uint32_t> number(bool& tooLarge) {
        uint64_t value = 0;
        tooLarge = false;
        while (true) {
            auto byte = in_.u8();
            if (!byte) return std::nullopt;
            value = (value << 7) | (*byte & 0x7Fu);
            if (value > kMaxTick) {
                tooLarge = true;
                return std::nullopt;
            }
            if ((*byte & 0x80) == 0) return static_cast<uint32_t>(value);
        }
    }

    bool readEvent(Format0Song& song) {
        eventStart_ = in_.position();
        bool tooLarge = false;
        auto delta = number(tooLarge);
        if (tooLarge) return fail("a delta time larger than " + std::to_string(kMaxTick));
        if (!delta) return cutOff();
        if (*delta > kMaxTick - tick_) {
            return fail("a delta time of " + std::to_string(*delta) + " takes the position past tick " +
                        std::to_string(kMaxTick) + ", the furthest a MIDI file reaches");
        }
        tick_ += *delta;

        auto first = in_.u8();
        if (!first) return cutOff();
        uint8_t status = *first;
        if (status < 0x80) {
            if (!running_) return fail("data byte " + hex(status) + " with no status byte before it");
            status = *running_;
            in_.unread();  // the byte is the event's first data byte
        }
        const size_t bodyStart = in_.position();

        if (isChannelStatus(status)) {
            running_ = status;
            auto data = in_.take(dataBytesOf(status));
            if (!data) return cutOff();
            for (uint8_t byte : *data) {
                if (byte >= 0x80) return fail(hex(byte) + " where a data byte of the " + hex(status) + " event belongs");
            }
        } else if (status == 0xFF) {
            auto type = in_.u8();
            if (!type) return cutOff();
            auto length = number(tooLarge);
            if (tooLarge) return fail("a meta event longer than " + std::to_string(kMaxTick) + " bytes");
            if (!length || !in_.skip(*length)) return cutOff();
            if (*type == 0x2F) {  // the end of track: the split file writes its own
                song.endTick = std::max(song.endTick, tick_);
                return true;
            }
        } else if (status == 0xF0 || status == 0xF7) {
            auto length = number(tooLarge);
            if (tooLarge) return fail("a system-exclusive message longer than " + std::to_string(kMaxTick) + " bytes");
            if (!length || !in_.skip(*length)) return cutOff();
        } else {
            return fail("status byte " + hex(status) + ", which no event of a MIDI file has");
        }
        song.events.push_back(SplitEvent{tick_, status, chunk_.subspan(bodyStart, in_.position() - bodyStart)});
        return true;
    }

    std::span<const uint8_t> chunk_;
    size_t offset_ = 0;
    ByteCursor in_;
    size_t eventStart_ = 0;
    uint32_t tick_ = 0;
    std::optional<uint8_t> running_;  // the last channel status
    std::string error_;
};

bool hasType(std::span<const uint8_t> type, const char* expected) {
    return std::equal(type.begin(), type.end(), expected);
}

}  // namespace

Format0Read readFormat0(std::span<const uint8_t> bytes) {
    Format0Read result;
    auto fail = [&](const std::string& what) {
        result.error = what;
        result.song = Format0Song{};
        return result;
    };
    ByteCursor in(bytes);
    auto magic = in.take(4);
    if (!magic || !hasType(*magic, "MThd")) return fail("not a MIDI file: it does not start with \"MThd\"");
    auto headerLength = in.u32();
    auto format = in.u16();
    auto trackCount = in.u16();
    auto division = in.u16();
    if (!headerLength || !format || !trackCount || !division) return fail("the file ends inside its MThd header");
    if (*headerLength < 6) return fail("the MThd header's length is " + std::to_string(*headerLength) + ", below 6");
    if (*format == 1) return fail("it is format 1 already: tonequill converts it as it is");
    if (*format == 2) return fail("it is format 2, a set of independent patterns, not one song to split");
    if (*format != 0) return fail("its header says format " + std::to_string(*format) + "; only format 0 is split");
    if (*trackCount != 1) {
        return fail("its header declares " + std::to_string(*trackCount) +
                    " tracks, where a format-0 file has exactly one");
    }
    if (*division == 0) return fail("its division (ticks per quarter note) is 0");
    if (!in.skip(*headerLength - 6)) return fail("the file ends inside its MThd header");
    result.song.division = *division;

    // Chunks of other types may stand before the track; they are left out.
    while (true) {
        const size_t chunkStart = in.position();
        auto type = in.take(4);
        auto length = in.u32();
        if (!type) return fail("the file ends after " + std::to_string(chunkStart) + " bytes, before its track chunk");
        if (!length) return fail("byte " + std::to_string(chunkStart) + ": the file ends inside a chunk header");
        if (*length > in.remaining()) {
            return fail("byte " + std::to_string(chunkStart) + ": the chunk declares " + std::to_string(*length) +
                        " bytes, but only " + std::to_string(in.remaining()) + " follow: the file is cut off");
        }
        const size_t bodyStart = in.position();
        const std::span<const uint8_t> body = *in.take(*length);
        if (!hasType(*type, "MTrk")) continue;
        TrackChunkReader reader(body, bodyStart);
        if (!reader.read(result.song)) return fail(reader.error());
        return result;  // whatever follows the one track is not part of the song
    }
}

}  // namespace tonequill
