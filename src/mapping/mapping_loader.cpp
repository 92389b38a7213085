#include "mapping/mapping_loader.h"

#include <stdexcept>
#include <system_error>
#include <vector>

#include "common/file_system.h"

#include "mapping/mapping_hints.h"
#include "mapping/mapping_sections.h"

namespace tonequill {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Classifies the lines of one mapping file in order and hands the data lines
// to the current section, which is its state besides the line count. Lines
// that are read otherwise than they look are noted in `hints`, when given.
class MappingLineReader {
public:
    MappingLineReader(MappingTables& tables, std::vector<MappingHint>* hints) : tables_(tables), hints_(hints) {}

    // `line` is without its line break (and without the CR before an LF).
    void readLine(std::string_view line) {
        ++lineNumber_;
        if (lineNumber_ == 1) {
            // Editors that save UTF-8 with a byte-order mark would otherwise
            // hide the first section header.
            if (line.starts_with(kByteOrderMark)) line.remove_prefix(kByteOrderMark.size());
        }
        if (line.empty() || line.front() == '#') return;
        if (const MappingSection header = sectionOfHeader(line); header != MappingSection::None) {
            section_ = header;
            return;
        }
        LineShape shape = LineShape::entry;
        try {
            shape = readDataLine(tables_, section_, line);
        } catch (MappingNumberPlace& place) {
            place.hint.line = lineNumber_;
            place.hint.section = section_;
            throw;
        }
        if (shape == LineShape::bracketed) {
            note(MappingHintKind::unknownSection, line);
        } else if (shape == LineShape::unclosedBrace && section_ != MappingSection::None) {
            note(MappingHintKind::unclosedBrace, {});
        }
    }

    // The last hint counts the warnings beyond kMostMappingWarnings.
    void finish() {
        if (hints_ && unlisted_ > 0) hints_->push_back(MappingHint{MappingHintKind::unlisted, unlisted_, {}, {}});
    }

private:
    void note(MappingHintKind kind, std::string_view text) {
        if (!hints_) return;
        if (static_cast<int32_t>(hints_->size()) >= kMostMappingWarnings) {
            ++unlisted_;
            return;
        }
        hints_->push_back(MappingHint{kind, lineNumber_, section_, hintExcerpt(text)});
    }

    MappingTables& tables_;
    std::vector<MappingHint>* hints_;
    MappingSection section_ = MappingSection::None;
    int32_t lineNumber_ = 0;
    int32_t unlisted_ = 0;
};

}  // namespace

void parseMappingText(MappingTables& tables, std::string_view text, std::vector<MappingHint>* hints) {
    MappingLineReader reader(tables, hints);
    auto readAll = [&] {
        size_t start = 0;
        while (start < text.size()) {
            const size_t lf = text.find('\n', start);
            if (lf == std::string_view::npos) {
                reader.readLine(text.substr(start));  // a last line without LF
                return;
            }
            std::string_view line = text.substr(start, lf - start);
            if (line.ends_with('\r')) line.remove_suffix(1);
            reader.readLine(line);
            start = lf + 1;
        }
    };
    try {
        readAll();
    } catch (const MappingNumberPlace&) {
        reader.finish();  // the warnings of the lines before it are counted too
        throw;
    }
    reader.finish();
}

void loadMappingFile(MappingTables& tables, const std::string& path, std::ostream& log,
                     std::vector<std::string>* hintLines) {
    log << "[TVE] loading: " << path << "\n";
    // Only a regular file is read: a device, a FIFO or a folder counts as a
    // mapping file that cannot be opened.
    files::ReadRules rules;
    rules.limit = kMaxMappingFileBytes;
    rules.regularOnly = true;
    BulkList<uint8_t> bytes;
    const std::error_code code = files::readWholeFile(path, rules, bytes);
    if (code == std::errc::file_too_large) {
        throw std::runtime_error("the mapping file '" + path + "' is larger than " +
                                 std::to_string(kMaxMappingFileBytes) + " bytes");
    }
    if (code) {
        log << "[TVE] FAILED TO OPEN\n";
        return;
    }
    log << "[TVE] OPEN OK\n";
    // The hints come between "OPEN OK" and "DONE"; the place of a malformed
    // number is the last line before the run stops, after the warnings of
    // the lines before it.
    std::vector<MappingHint> hints;
    auto tell = [&](const MappingHint& hint) {
        const std::string line = mappingHintLine(hint, path);
        log << line << "\n";
        if (hintLines) hintLines->push_back(line);
    };
    try {
        parseMappingText(tables, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), &hints);
    } catch (const MappingNumberPlace& place) {
        for (const MappingHint& hint : hints) tell(hint);
        tell(place.hint);
        throw;
    }
    for (const MappingHint& hint : hints) tell(hint);
    logMappingSummary(tables, log);
}

void logMappingSummary(const MappingTables& tables, std::ostream& log) {
    log << "[TVE] DONE\n";
    log << "[TVE] E@Map=" << tables.eAtMap.size() << "\n";
    log << "[TVE] EvMap=" << tables.evMap.size() << "\n";
    log << "[TVE] EnMap=" << tables.enMap.size() << "\n";
    log << "[TVE] EmoMap=" << tables.emoMap.size() << "\n";
    log << "[TVE] ApMap(PC)=" << tables.apPcMap.size() << "\n";
    log << "[TVE] ApMap(CC)=" << tables.apCcMap.size() << "\n";
}

}  // namespace tonequill
