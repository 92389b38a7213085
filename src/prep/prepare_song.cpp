#include "prep/prepare_song.h"

namespace tonequill {

// Stand-in until song preparation lands.
void prepareSong(PreparedSong& song, MappingTables& tables, const MidiFile& file, std::ostream& log) {
    (void)tables;
    (void)log;
    song = PreparedSong{};
    song.title = file.title;
}

}  // namespace tonequill
