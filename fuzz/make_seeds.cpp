// Writes the seed corpora of the fuzz targets: songs that use every feature
// of the converter, and broken files.
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "midi_builder.h"

using tonequill::testing::buildMidi;
using tonequill::testing::TrackBuilder;
using tonequill::testing::writeBytes;
using Bytes = std::vector<uint8_t>;

namespace {

const char* kMapping =
    "[EvMap]\n1{15,14,12,L,10,R,0}\n34{15 D 4 12}\n"
    "[E@Map]\n1{2}\n34{1 0}\n"
    "[EnMap]\n1036{0,1,2}\n1038{L 0 -1}\n"
    "[EmoMap]\n32{0 D 8 L 1 2 1 0 -1 -2 -1 0}\n64{0 d3 3 -3}\n"
    "[ApMap]\n1{L U1}\nE70{0 L 12 0}\nE10{D2}\n";

Bytes plainSong() {
    TrackBuilder conductor;
    conductor.name(0, "Demo").tempo(0, 500000);
    TrackBuilder lead;
    lead.note(0, 480, 0, 60, 127).note(960, 1440, 0, 62, 127);
    return buildMidi({conductor, lead});
}

Bytes richSong() {
    TrackBuilder conductor;
    conductor.name(0, "Rich \"song\"").tempo(0, 468750).tempo(1920, 1000000).tempo(3840, 500000);
    TrackBuilder melody;
    melody.name(0, "trx1 melody").program(0, 0, 3).controller(0, 0, 1, 40);
    melody.controller(0, 0, 101, 0).controller(0, 0, 100, 0).controller(0, 0, 6, 12).controller(0, 0, 38, 50);
    melody.note(0, 480, 0, 60, 100).pitchBend(120, 0, 12000).pitchBend(400, 0, 8192);
    melody.note(480, 1920, 0, 64, 90).controller(960, 0, 12, 70).note(1920, 2400, 0, 67, 64);
    TrackBuilder chords;
    chords.name(0, "trx2-chords").program(0, 1, 0);
    chords.note(0, 960, 1, 60, 80).note(10, 960, 1, 64, 100).note(20, 960, 1, 67, 90);
    chords.controller(900, 1, 12, 10).note(960, 1920, 1, 62, 70).note(960, 1920, 1, 65, 70);
    TrackBuilder drums;
    drums.name(0, "trx4 drums");
    for (int i = 0; i < 8; ++i) drums.note(i * 240, i * 240 + 60, 9, i % 2 == 0 ? 36 : 38, 120);
    TrackBuilder samples;
    samples.name(0, "trx5_dpcm").note(0, 240, 2, 40).note(480, 720, 2, 41);
    TrackBuilder fds;
    fds.name(0, "TRX6").note(0, 1920, 3, 48, 127).pitchBend(0, 3, 0).pitchBend(960, 3, 16383);
    TrackBuilder vrc6;
    vrc6.name(0, "trx9").note(0, 3840, 4, 72, 1);
    TrackBuilder five;
    five.name(0, "trx28").note(100, 200, 5, 5, 50);
    return buildMidi({conductor, melody, chords, drums, samples, fds, vrc6, five}, 480);
}

Bytes oddEvents() {
    TrackBuilder one;
    one.raw(0, {0xF0, 0x05, 0x7E, 0x7F, 0x09, 0x01, 0xF7}).raw(0, {0x90, 0x3C, 0x64});
    one.raw(240, {0x3C, 0x00}).raw(240, {0xD0, 0x40}).raw(300, {0xF8}).text(0, "title text");
    one.raw(480, {0xFF, 0x51, 0x02, 0x07, 0xA1}).noteOn(500, 0, 70, 90);  // never released
    TrackBuilder two;
    two.noteOff(10, 0, 61).note(0, 0, 0, 62).note(0, 100, 0, 63).note(50, 60, 0, 63);
    return buildMidi({one, two}, 96);
}

Bytes cut(Bytes bytes, size_t keep) {
    bytes.resize(std::min(keep, bytes.size()));
    return bytes;
}

Bytes withMapping(const std::string& mapping, const Bytes& midi) {
    Bytes out{static_cast<uint8_t>(mapping.size() >> 8), static_cast<uint8_t>(mapping.size())};
    out.insert(out.end(), mapping.begin(), mapping.end());
    out.insert(out.end(), midi.begin(), midi.end());
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: make-seeds convert-dir reader-dir\n";
        return 2;
    }
    const std::filesystem::path convertDir = argv[1];
    const std::filesystem::path readerDir = argv[2];
    std::filesystem::create_directories(convertDir);
    std::filesystem::create_directories(readerDir);

    std::vector<std::pair<std::string, Bytes>> songs = {
        {"plain", plainSong()},
        {"rich", richSong()},
        {"odd-events", oddEvents()},
        {"zero-tracks", Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 6, 0, 1, 0, 0, 1, 0xE0}},
        {"header-length-8", Bytes{'M', 'T', 'h', 'd', 0, 0, 0, 8, 0, 1, 0, 1, 1, 0xE0, 0, 0}},
        {"format-0", buildMidi({TrackBuilder().note(0, 10, 0, 60)}, 480, 0)},
        {"time-code-division", buildMidi({TrackBuilder().note(0, 10, 0, 60)}, 0xE728)},
        {"truncated", cut(richSong(), 300)},
    };
    for (const auto& [name, midi] : songs) {
        writeBytes((readerDir / (name + ".mid")).string(), midi);
        writeBytes((convertDir / (name + ".bin")).string(), withMapping(kMapping, midi));
        writeBytes((convertDir / (name + "-nomap.bin")).string(), withMapping("", midi));
    }
    writeBytes((convertDir / "bad-number.bin").string(), withMapping("[EvMap]\n1{x}\n", plainSong()));
    writeBytes((convertDir / "bom.bin").string(),
               withMapping("\xEF\xBB\xBF[E@Map]\r\n1{3}\r\n", plainSong()));
    return 0;
}
