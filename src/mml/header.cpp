#include "mml/header.h"

#include <cstddef>
#include <cstdint>

#include "common/channel_layout.h"

namespace tonequill {
namespace {

// The title goes out byte for byte; only the two characters that would end
// or escape the quoted string get a backslash, and a line break (CR or LF),
// which would split the header line, is written as a blank.
void appendEscapedTitle(TextSink& sink, const std::string& title) {
    for (char c : title) {
        if (c == '\r' || c == '\n') c = ' ';
        if (c == '\\' || c == '"') sink.append('\\');
        sink.append(c);
    }
}

}  // namespace

std::string externalLine(const PreparedSong& song) {
    bool used[7] = {};
    for (int32_t i = 0; i < song.outputTrackCount && static_cast<std::size_t>(i) < song.trackNotes.size(); ++i) {
        if (song.trackNotes[static_cast<std::size_t>(i)].empty()) continue;
        used[static_cast<int>(channelLayout(i).group)] = true;
    }
    struct Chip {
        ChipGroup group;
        int32_t value;
        const char* name;
    };
    // Each group owns one decimal digit of the chip number, VRC6 the lowest.
    static const Chip chips[] = {
        {ChipGroup::vrc6, 1, "VRC6"},        {ChipGroup::vrc7, 10, "VRC7"},
        {ChipGroup::fds, 100, "FDS"},        {ChipGroup::mmc5, 1000, "MMC5"},
        {ChipGroup::n16x, 10000, "n16x"},    {ChipGroup::sunsoft5b, 100000, "Sunsoft 5B"},
    };
    int32_t number = 0;
    std::string names;
    for (const Chip& chip : chips) {
        if (!used[static_cast<int>(chip.group)]) continue;
        number += chip.value;
        if (!names.empty()) names += ' ';
        names += chip.name;
    }
    std::string line = "#External\t%" + std::to_string(number);
    if (!names.empty()) line += "\t// " + names;
    return line;
}

void writeHeader(TextSink& sink, const PreparedSong& song) {
    sink.append("#Title\t\t\"");
    appendEscapedTitle(sink, song.title);
    sink.append("\"\n");
    sink.append("#Code\t\t\"nsd_all2.bin\"\n");
    sink.append("#BGM\t\t1\n");
    sink.append("#SE\t\t\t0\n");
    sink.append("#timebase\t");
    sink.number(song.timebase);
    sink.append('\n');
    sink.append(externalLine(song));
    sink.append("\n\n");
    sink.append("#Bank\n\n");
    sink.append("DPCM{\n");
    for (int32_t p : song.dpcmNotes) {
        sink.append("\tn");
        sink.number(p);
        sink.append(",\t\"dmc/");
        sink.number(p);
        sink.append(".dmc\",15,0,64\n");
    }
    sink.append("}\n\n");
    sink.passOnWhenFull();
}

void writeHeader(std::ostream& out, const PreparedSong& song) {
    TextSink sink(&out);
    writeHeader(sink, song);
    sink.passOn();
}

}  // namespace tonequill
