#include "envelope/combinations.h"

namespace tonequill {

// Stand-in until combination building lands.
void buildCombinations(MappingTables& tables, PreparedSong& song) {
    (void)tables;
    (void)song;
}

}  // namespace tonequill
