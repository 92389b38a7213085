#include "midi/midi_reader.h"

#include <algorithm>
#include <array>
#include <fstream>
#include <limits>
#include <optional>
#include <vector>

#include "common/file_system.h"
#include "midi/byte_cursor.h"

namespace tonequill {
namespace {

constexpr uint8_t kMetaStatus = 0xFF;
constexpr uint8_t kMetaText = 0x01;
constexpr uint8_t kMetaTrackName = 0x03;
constexpr uint8_t kMetaSetTempo = 0x51;
constexpr uint8_t kMetaTimeSignature = 0x58;
constexpr double kDefaultUsPerQuarter = 500000.0;
// Positions are 32-bit throughout the converter; larger files are refused.
constexpr size_t kMaxFileBytes = static_cast<size_t>(std::numeric_limits<int32_t>::max());

// Reads one track chunk of a file into the file's slot for that track; owns
// the cursor and the one error path. A chunk is read twice: once to count
// its events of each kind, then, with every list sized, to store them, so
// that each list is written once and never moved. The tempo changes and the
// title it meets are kept here, for the caller to gather in track order.
class TrackReader {
public:
    TrackReader(MidiFile& file, std::span<const uint8_t> bytes, size_t start, int32_t index)
        : file_(file), bytes_(bytes), start_(start), index_(index), in_(bytes) {}

    bool readTrack() {
        if (!pass()) return false;
        // The same bytes read again cannot fail.
        MidiTrack& track = file_.tracks[static_cast<size_t>(index_)];
        track.notes.reserve(counts_[kindOf(0x80)] + counts_[kindOf(0x90)]);
        track.programs.reserve(counts_[kindOf(0xC0)]);
        track.bends.reserveWords(bendWords_);
        track.controllers.reserve(counts_[kindOf(0xB0)]);
        track_ = &track;
        return pass();
    }

    [[nodiscard]] const std::string& reason() const { return reason_; }
    // Where the track's last event ended: the next chunk starts here.
    [[nodiscard]] size_t position() const { return in_.position(); }
    [[nodiscard]] const std::vector<TempoEvent>& tempoEvents() const { return tempoEvents_; }
    [[nodiscard]] const std::string& title() const { return title_; }

private:
    // The kind of a channel event, 0 to 6, from its status.
    static constexpr size_t kindOf(uint8_t status) { return (status >> 4) & 7u; }

    // One pass over the chunk: counting while `track_` is null, else storing.
    bool pass() {
        in_ = ByteCursor(bytes_);
        in_.seek(start_);
        tick_ = 0;
        auto type = in_.take(4);
        if (!type) return fail("file ends before the chunk header");
        if (!std::equal(type->begin(), type->end(), "MTrk")) {
            return fail("chunk type is '" + printable(*type) + "', expected 'MTrk'");
        }
        auto length = in_.u32();
        if (!length) return fail("file ends inside the chunk length");
        // The length is taken as signed: 2^31 or more gives a track with no events.
        const int64_t chunkEnd = static_cast<int64_t>(in_.position()) + static_cast<int32_t>(*length);
        std::optional<uint8_t> runningStatus;
        while (static_cast<int64_t>(in_.position()) < chunkEnd) {
            const bool done = track_ == nullptr ? readChannelEvents<false>(chunkEnd, runningStatus)
                                                : readChannelEvents<true>(chunkEnd, runningStatus);
            if (!done && !readEvent(runningStatus)) return false;
        }
        return true;
    }

    // Reads the common events, channel events whose bytes all lie well
    // before the end of the file, straight from the bytes, and stops at the
    // first event of another kind or near the end; readEvent, which checks
    // every byte, reads that one. Both read the same bytes the same way.
    // False when it stops before the chunk's end.
    template <bool kStoring>
    bool readChannelEvents(int64_t chunkEnd, std::optional<uint8_t>& runningStatus) {
        // The longest event read here: a delta time of four bytes, a status
        // and two data bytes.
        constexpr size_t kLongest = 7;
        const uint8_t* const bytes = bytes_.data();
        const size_t size = bytes_.size();
        // Events start before the chunk's end and at least kLongest bytes before the file's.
        const int64_t stop = std::min<int64_t>(chunkEnd, size >= kLongest ? static_cast<int64_t>(size - kLongest) + 1 : 0);
        size_t pos = in_.position();
        int32_t tick = tick_;
        int running = runningStatus ? *runningStatus : -1;
        while (static_cast<int64_t>(pos) < stop) {
            const uint8_t* p = bytes + pos;
            uint32_t delta = p[0];
            size_t n = 1;
            if (delta >= 0x80) {
                delta &= 0x7Fu;
                while (n < 4 && (p[n] & 0x80u) != 0) delta = (delta << 7) | (p[n++] & 0x7Fu);
                if (n == 4) break;  // a longer delta time
                delta = (delta << 7) | p[n++];
            }
            if (int64_t{tick} + delta > std::numeric_limits<int32_t>::max()) break;
            int status = p[n];
            if (status >= 0x80) {
                ++n;
            } else {
                status = running;  // -1 without running status
            }
            if (status < 0x80 || status >= 0xF0) break;  // no running status; meta and system events
            running = status;
            tick += static_cast<int32_t>(delta);
            tick_ = tick;
            const auto kind = static_cast<uint8_t>(status & 0xF0);
            const bool oneDataByte = kind == 0xC0 || kind == 0xD0;
            const uint8_t second = oneDataByte ? uint8_t{0} : p[n + 1];
            if constexpr (kStoring) {
                if (kind == 0xE0) {
                    // Bends are most of a busy track: stored here, not in a call.
                    track_->bends.push_back(bendOf(status & 0x0F, p[n] & 0x7F, second & 0x7F));
                } else {
                    storeEvent(static_cast<uint8_t>(status), p[n], second);
                }
            } else {
                countEvent(static_cast<uint8_t>(status), p[n], second);
            }
            pos += n + (oneDataByte ? 1 : 2);
            if (kind == 0xE0) {
                pos = readBendStream<kStoring>(pos, stop, tick, status & 0x0F);
                tick_ = tick;
            }
        }
        if (running >= 0) runningStatus = static_cast<uint8_t>(running);
        in_.seek(pos);
        return static_cast<int64_t>(pos) >= chunkEnd;
    }

    // A pitch wheel sends a stream of bends under running status, each a
    // one-byte delta time and two data bytes: read here, after a bend, with
    // only the checks such a bend needs, as readChannelEvents would read it.
    // Anything else (a longer delta time, a status byte, a data byte of 0x80
    // or more, a tick near the limit) is left to readChannelEvents. Gives the
    // position after the last bend read; `tick` is that bend's.
    template <bool kStoring>
    size_t readBendStream(size_t pos, int64_t stop, int32_t& tick, int32_t channel) {
        const uint8_t* const bytes = bytes_.data();
        constexpr int32_t kLastSafeTick = std::numeric_limits<int32_t>::max() - 0x7F;
        // Read in blocks: the bytes of a block are checked, then stored while
        // they are still at hand.
        constexpr size_t kBlock = 1024;
        int32_t at = tick;  // a copy the compiler keeps at hand
        size_t read = 0;
        for (;;) {
            const size_t start = pos;
            size_t count = 0;
            while (count < kBlock && static_cast<int64_t>(pos) < stop) {
                const uint8_t* p = bytes + pos;
                if ((p[0] | p[1] | p[2]) >= 0x80 || at > kLastSafeTick) break;
                at += p[0];
                ++count;
                pos += 3;
            }
            if constexpr (kStoring) {
                const uint8_t* const block = bytes + start;
                if (count > 0) track_->bends.appendNear(
                    count, static_cast<uint8_t>(channel), at, [block](size_t i) { return block[3 * i]; },
                    [block](size_t i) { return block[3 * i + 2] * 128u + block[3 * i + 1]; });
            }
            read += count;
            if (count < kBlock) break;
        }
        tick = at;
        if constexpr (!kStoring) {
            // Each came at most 127 ticks after the bend before it: one word each.
            counts_[kindOf(0xE0)] += read;
            bendWords_ += read;
            if (read > 0) lastBendTick_ = tick;
        }
        return pos;
    }

    bool fail(const std::string& what) {
        reason_ = "track " + std::to_string(index_) + ", tick " + std::to_string(tick_) + ": " + what;
        return false;
    }

    static std::string printable(std::span<const uint8_t> bytes) {
        std::string s;
        for (uint8_t b : bytes) s += (b >= 0x20 && b < 0x7F) ? static_cast<char>(b) : '?';
        return s;
    }

    bool readEvent(std::optional<uint8_t>& runningStatus) {
        auto delta = in_.vlq();
        if (!delta) return fail("file ends inside a delta time");
        const int64_t tick = static_cast<int64_t>(tick_) + *delta;
        if (tick > std::numeric_limits<int32_t>::max()) {
            return fail("delta time " + std::to_string(*delta) + " takes the tick past 2147483647");
        }
        tick_ = static_cast<int32_t>(tick);

        auto first = in_.u8();
        if (!first) return fail("file ends before the event's status");
        uint8_t status = *first;
        if (status < 0x80) {
            in_.unread();  // a data byte: read again as the first data byte
            if (!runningStatus) return true;  // the byte is then read as the next delta time
            status = *runningStatus;
        } else {
            runningStatus = status;
        }

        switch (status & 0xF0) {
            case 0x80: case 0x90: case 0xA0: case 0xB0: case 0xE0: return channelEvent(status, 2);
            case 0xC0: case 0xD0: return channelEvent(status, 1);
            default: break;
        }
        if (status == kMetaStatus) return metaEvent();
        if (status == 0xF0 || status == 0xF7) {
            auto length = in_.vlq();
            if (!length) return fail("file ends inside a system-exclusive length");
            if (!in_.skip(*length)) return fail("file ends inside a system-exclusive message");
        }
        return true;  // an unknown status leaves no trace
    }

    bool channelEvent(uint8_t status, size_t dataBytes) {
        auto data = in_.take(dataBytes);
        if (!data) return fail("file ends inside a channel event");
        const uint8_t second = dataBytes > 1 ? (*data)[1] : uint8_t{0};
        if (track_ == nullptr) {
            countEvent(status, (*data)[0], second);
        } else {
            storeEvent(status, (*data)[0], second);
        }
        return true;
    }

    [[nodiscard]] PitchBend bendOf(int32_t channel, uint8_t first, uint8_t second) const {
        return PitchBend{tick_, static_cast<uint8_t>(channel), static_cast<uint16_t>(second * 128 + first)};
    }

    void countEvent(uint8_t status, uint8_t firstByte, uint8_t secondByte) {
        ++counts_[kindOf(status)];
        if ((status & 0xF0) == 0xE0) {
            // A bend's room depends on how far it lies from the one before.
            bendWords_ += BendList::wordsFor(lastBendTick_, bendOf(status & 0x0F, firstByte & 0x7F, secondByte & 0x7F));
            lastBendTick_ = tick_;
        }
    }

    // Data bytes keep their low seven bits: a corrupt byte of 0x80 or more
    // never reaches a consumer as a velocity, note or value beyond 127.
    void storeEvent(uint8_t status, uint8_t firstByte, uint8_t secondByte) {
        const uint8_t first = firstByte & 0x7F;
        const uint8_t second = secondByte & 0x7F;
        const int32_t channel = status & 0x0F;
        switch (status & 0xF0) {
            case 0x80:
            case 0x90: {
                const bool on = (status & 0xF0) == 0x90 && second > 0;
                track_->notes.push_back(NoteEvent{tick_, static_cast<uint8_t>(channel), first, second, on});
                break;
            }
            case 0xC0:
                track_->programs.push_back(ProgramChange{tick_, channel, index_, first});
                break;
            case 0xE0:
                track_->bends.push_back(bendOf(channel, first, second));
                break;
            case 0xB0:
                track_->controllers.push_back(ControlChange{tick_, static_cast<uint8_t>(channel), first, second});
                break;
            default:
                break;  // aftertouch
        }
    }

    bool metaEvent() {
        auto type = in_.u8();
        if (!type) return fail("file ends inside a meta event");
        auto length = in_.vlq();
        if (!length) return fail("file ends inside a meta event length");
        auto payload = in_.take(*length);
        if (!payload) {
            return fail("meta event of " + std::to_string(*length) + " bytes runs past the end of the file");
        }
        const std::span<const uint8_t> bytes = *payload;
        if (*type == kMetaSetTempo && bytes.size() >= 3 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0) {
            return fail("Set Tempo of 0 microseconds per quarter note");
        }
        if (track_ == nullptr) return true;
        if (*type == kMetaSetTempo && bytes.size() >= 3) {
            const uint32_t us = (uint32_t{bytes[0]} << 16) | (uint32_t{bytes[1]} << 8) | bytes[2];
            if (file_.firstSetTempo == 0) file_.firstSetTempo = us;
            // Only a Set Tempo of exactly three bytes changes the tempo.
            if (bytes.size() == 3) tempoEvents_.push_back(TempoEvent{tick_, static_cast<double>(us)});
        }
        if (*type == kMetaTimeSignature && bytes.size() >= 2) {
            file_.timeSignatures.push_back(TimeSignature{tick_, bytes[0], bytes[1]});
        }
        if (*type == kMetaTrackName || *type == kMetaText) {
            std::string text(bytes.begin(), bytes.end());
            std::string& name = file_.trackNames[static_cast<size_t>(index_)];
            if (*type == kMetaTrackName && name.empty()) name = text;
            if (title_.empty() && index_ == 0 && tick_ == 0) title_ = text;
        }
        return true;
    }

    MidiFile& file_;
    std::span<const uint8_t> bytes_;
    size_t start_ = 0;
    int32_t index_ = 0;
    ByteCursor in_;
    MidiTrack* track_ = nullptr;  // null while counting
    std::array<size_t, 8> counts_{};  // channel events by kind, while counting
    size_t bendWords_ = 0;            // the room the bends take, while counting
    int32_t lastBendTick_ = 0;
    int32_t tick_ = 0;
    std::string reason_;
    std::vector<TempoEvent> tempoEvents_;
    std::string title_;  // track 0's first name or text at tick 0
};

}  // namespace

int32_t probeMidiFormatBytes(std::span<const uint8_t> bytes) {
    ByteCursor in(bytes);
    auto magic = in.take(4);
    auto headerLength = in.u32();
    auto format = in.u16();
    if (!magic || !headerLength || !format) return -1;
    if (!std::equal(magic->begin(), magic->end(), "MThd") || *headerLength < 6) return -1;
    return *format;
}

int32_t probeMidiFormat(const std::string& path) {
    // Only the header is looked at; a run probes the bytes it has read instead.
    std::ifstream in(path, std::ios::binary);
    if (!in) return -1;
    uint8_t head[10];
    in.read(reinterpret_cast<char*>(head), sizeof head);
    if (in.gcount() != static_cast<std::streamsize>(sizeof head)) return -1;
    return probeMidiFormatBytes(head);
}

bool readMidiFileBytes(const std::string& path, BulkList<uint8_t>& bytes, std::string& reason) {
    files::ReadRules rules;
    rules.limit = kMaxFileBytes;
    rules.mustStartWith = "MThd";  // a device or a huge foreign file costs nothing
    const std::error_code code = files::readWholeFile(path, rules, bytes);
    if (code == std::errc::file_too_large) {
        reason = "'" + path + "' is larger than " + std::to_string(kMaxFileBytes) + " bytes";
        return false;
    }
    if (code) {
        reason = "cannot read '" + path + "': " + code.message();
        return false;
    }
    return true;
}

bool readMidiBytes(MidiFile& file, std::span<const uint8_t> bytes, std::string& reason) {
    ByteCursor in(bytes);
    auto magic = in.take(4);
    if (!magic || !std::equal(magic->begin(), magic->end(), "MThd")) {
        reason = "not a MIDI file: it does not start with 'MThd'";
        return false;
    }
    // Exactly six header bytes are read, whatever the length field says.
    auto headerLength = in.u32();
    auto format = in.u16();
    auto trackCount = in.u16();
    auto division = in.u16();
    if (!headerLength || !format || !trackCount || !division) {
        reason = "file ends inside the MThd header";
        return false;
    }
    if (*division == 0) {
        reason = "header division (ticks per quarter note) is 0";
        return false;
    }

    file = MidiFile{};
    file.ticksPerQuarter = *division;
    file.tracks.resize(*trackCount);
    file.trackNames.resize(*trackCount);

    // Each track starts where the one before it really ended.
    size_t position = in.position();
    for (size_t i = 0; i < *trackCount; ++i) {
        TrackReader reader(file, bytes, position, static_cast<int32_t>(i));
        if (!reader.readTrack()) {
            reason = reader.reason() + " (the header declares " + std::to_string(*trackCount) + " tracks)";
            return false;
        }
        position = reader.position();
        if (i == 0) file.title = reader.title();
        file.tempoEvents.insert(file.tempoEvents.end(), reader.tempoEvents().begin(), reader.tempoEvents().end());
    }
    if (file.tempoEvents.empty()) file.tempoEvents.push_back(TempoEvent{0, kDefaultUsPerQuarter});
    std::stable_sort(file.tempoEvents.begin(), file.tempoEvents.end(),
                     [](const TempoEvent& a, const TempoEvent& b) { return a.tick < b.tick; });
    return true;
}

bool readMidiFile(MidiFile& file, const std::string& path, std::string& reason) {
    BulkList<uint8_t> bytes;
    return readMidiFileBytes(path, bytes, reason) && readMidiBytes(file, bytes, reason);
}

bool readMidiFile(MidiFile& file, const std::string& path) {
    std::string reason;
    return readMidiFile(file, path, reason);
}

}  // namespace tonequill
