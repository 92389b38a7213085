#include "midi/midi_reader.h"

#include <algorithm>
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
        track.notes.reserve(counts_.notes);
        track.programs.reserve(counts_.programs);
        track.bends.reserve(counts_.bends);
        track.controllers.reserve(counts_.controllers);
        track_ = &track;
        return pass();
    }

    [[nodiscard]] const std::string& reason() const { return reason_; }
    // Where the track's last event ended: the next chunk starts here.
    [[nodiscard]] size_t position() const { return in_.position(); }
    [[nodiscard]] const std::vector<TempoEvent>& tempoEvents() const { return tempoEvents_; }
    [[nodiscard]] const std::string& title() const { return title_; }

private:
    struct Counts {
        size_t notes = 0;
        size_t programs = 0;
        size_t bends = 0;
        size_t controllers = 0;
    };

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
            if (!readEvent(runningStatus)) return false;
        }
        return true;
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

    // Data bytes keep their low seven bits: a corrupt byte of 0x80 or more
    // never reaches a consumer as a velocity, note or value beyond 127.
    bool channelEvent(uint8_t status, size_t dataBytes) {
        auto data = in_.take(dataBytes);
        if (!data) return fail("file ends inside a channel event");
        const uint8_t first = (*data)[0] & 0x7F;
        const uint8_t second = dataBytes > 1 ? (*data)[1] & 0x7F : 0;
        const int32_t channel = status & 0x0F;
        switch (status & 0xF0) {
            case 0x80:
            case 0x90: {
                const bool on = (status & 0xF0) == 0x90 && second > 0;
                keep(&MidiTrack::notes, &Counts::notes,
                     [&] { return NoteEvent{tick_, static_cast<uint8_t>(channel), first, second, on}; });
                break;
            }
            case 0xC0:
                keep(&MidiTrack::programs, &Counts::programs,
                     [&] { return ProgramChange{tick_, channel, index_, first}; });
                break;
            case 0xE0:
                keep(&MidiTrack::bends, &Counts::bends,
                     [&] { return PitchBend{tick_, static_cast<uint8_t>(channel), static_cast<uint16_t>(second * 128 + first)}; });
                break;
            case 0xB0:
                keep(&MidiTrack::controllers, &Counts::controllers,
                     [&] { return ControlChange{tick_, static_cast<uint8_t>(channel), first, second}; });
                break;
            default:
                break;  // aftertouch
        }
        return true;
    }

    // Counts an event of a kind while counting; stores it, as `make` makes
    // it, while storing.
    template <typename Event, typename Make>
    void keep(BulkList<Event> MidiTrack::*list, size_t Counts::*count, Make make) {
        if (track_ == nullptr) {
            ++(counts_.*count);
        } else {
            (track_->*list).push_back(make());
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
    Counts counts_;
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
