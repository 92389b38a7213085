#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/combination.h"
#include "common/envelope_table.h"
#include "common/printable_text.h"
#include "mapping/mapping_tables.h"
#include "midi/midi_file.h"
#include "common/prepared_song.h"
#include "report/bar_beat.h"
#include "report/song_report.h"

namespace tonequill {

// Everything a report is written from.
struct ReportView {
    std::string inputPath;
    std::string mappingPath;
    bool mappingOpened = false;
    const MappingTables& tables;
    const MidiFile& file;
    const PreparedSong& song;
    const EnvelopeTable& envelopes;
    const ComboTable& combos;
    const SongReport& report;
    const BarBeatClock& clock;
    std::vector<std::string> hints;  // the run's hint lines, as logged
    bool listChords = false;         // list every chord merge too (--all)
};

// "C4" for note 60, sharps as "#".
std::string noteName(int32_t note);

// "TR3 (base chip)", "TR7 (VRC6)", "TR4 (base chip, noise)".
std::string outputTrackLabel(int32_t outputIndex);
// The chip alone: "base chip", "FDS", ...
std::string chipName(int32_t outputIndex);

// "track 2 \"lead\"": tracks counted from 1 in file order, conductor included.
std::string sourceTrackLabel(const ReportView& view, int32_t sourceTrack);

}  // namespace tonequill
