#include "mml/document_writer.h"

namespace tonequill {

// Stand-in until the writer lands.
void writeMmlDocument(std::ostream& out, const MappingTables& tables, const PreparedSong& song,
                      const MidiFile& file, std::ostream& log) {
    (void)out;
    (void)tables;
    (void)song;
    (void)file;
    (void)log;
}

}  // namespace tonequill
