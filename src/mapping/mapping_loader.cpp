#include "mapping/mapping_loader.h"

namespace tonequill {

// Stand-in until the mapping-file reader lands.
void loadMappingFile(MappingTables& tables, const std::string& path, std::ostream& log) {
    (void)tables;
    log << "[TVE] loading: " << path << "\n";
}

void parseMappingText(MappingTables& tables, std::string_view text) {
    (void)tables;
    (void)text;
}

void logMappingSummary(const MappingTables& tables, std::ostream& log) {
    (void)tables;
    (void)log;
}

std::vector<std::string> splitTokens(std::string_view body) {
    (void)body;
    return {};
}

}  // namespace tonequill
