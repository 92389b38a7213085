#include "mml/definitions.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <string>

#include "mml/loop_search.h"
#include "mml/text_sink.h"
#include "common/channel_layout.h"

namespace tonequill {
namespace {

constexpr int64_t kOffsetEv = 100000;
constexpr int64_t kOffsetEm = 200000;
constexpr int64_t kOffsetEn = 300000;
constexpr int64_t kOffsetVoice = 400000;

// The texts of the run tokens for small numbers, each in a cell of its own
// with its blank: "x " for the values -1024..1023, "Dn " for the run lengths
// up to 1025 (nothing for a length of 1). A value list that moves every
// frame or two writes millions of them, and copying a cell takes no branch
// on how many digits the number has. The table is made by the compiler, so
// a run costs nothing to set it up.
class RunTokenTexts {
public:
    static constexpr int32_t kLowestValue = -1024;
    static constexpr int32_t kValues = 2048;
    static constexpr std::size_t kLengths = 1026;
    static constexpr std::size_t kCell = 8;

    constexpr RunTokenTexts() {
        for (int32_t k = 0; k < kValues; ++k) fill(values_[static_cast<std::size_t>(k)], "", kLowestValue + k);
        for (std::size_t c = 2; c < kLengths; ++c) fill(holds_[c], "D", static_cast<int64_t>(c) - 2);
    }

    void appendValue(TextSink& sink, int32_t value) const {
        const auto k = static_cast<uint32_t>(static_cast<int64_t>(value) - kLowestValue);
        if (k < static_cast<uint32_t>(kValues)) {
            sink.appendPadded<kCell>(values_[k].text, values_[k].length);
            return;
        }
        sink.number(value);
        sink.append(' ');
    }
    void appendHold(TextSink& sink, std::size_t length) const {
        if (length < kLengths) {
            sink.appendPadded<kCell>(holds_[length].text, holds_[length].length);
            return;
        }
        sink.append('D');
        sink.number(static_cast<int64_t>(length - 2));
        sink.append(' ');
    }

private:
    struct Cell {
        char text[kCell] = {};
        uint8_t length = 0;
    };
    // `prefix`, then `number` in decimal, then a blank.
    static constexpr void fill(Cell& cell, const char* prefix, int64_t number) {
        std::size_t length = 0;
        for (const char* p = prefix; *p != '\0'; ++p) cell.text[length++] = *p;
        if (number < 0) cell.text[length++] = '-';
        char digits[20] = {};
        std::size_t count = 0;
        uint64_t rest = number < 0 ? 0 - static_cast<uint64_t>(number) : static_cast<uint64_t>(number);
        do {
            digits[count++] = static_cast<char>('0' + rest % 10);
            rest /= 10;
        } while (rest != 0);
        while (count > 0) cell.text[length++] = digits[--count];
        cell.text[length++] = ' ';
        cell.length = static_cast<uint8_t>(length);
    }

    Cell values_[kValues];
    Cell holds_[kLengths];  // lengths 0 and 1 write nothing
};

constexpr RunTokenTexts kRunTokenTexts;

// Runs of equal neighbours, passed on block by block, so a list of millions
// of values never becomes one string in memory. Where runs start is found 64
// values at a time, as a mask of the values unlike the one before, and the
// runs are taken from the mask: a branch on every value would be guessed
// wrong at most run ends of a list that moves every frame or two.
void writeRuns(TextSink& sink, std::span<const int32_t> values, std::size_t from, std::size_t to) {
    if (from >= to || to > values.size()) return;
    const RunTokenTexts& texts = kRunTokenTexts;
    const int32_t* v = values.data();
    std::size_t runStart = from;
    auto endRun = [&](std::size_t next) {
        texts.appendValue(sink, v[runStart]);
        texts.appendHold(sink, next - runStart);
        sink.passOnWhenFull();
        runStart = next;
    };
    for (std::size_t block = from + 1; block < to; block += 64) {
        const std::size_t count = std::min<std::size_t>(64, to - block);
        uint64_t starts = 0;
        for (std::size_t k = 0; k < count; ++k) {
            starts |= static_cast<uint64_t>(v[block + k] != v[block + k - 1]) << k;
        }
        while (starts != 0) {
            endRun(block + static_cast<std::size_t>(std::countr_zero(starts)));
            starts &= starts - 1;
        }
    }
    endRun(to);
}

void writeValueList(TextSink& sink, std::span<const int32_t> values) {
    const LoopChoice loop = chooseLoop(values);
    if (!loop.looped) {
        writeRuns(sink, values, 0, values.size());
        return;
    }
    writeRuns(sink, values, 0, loop.start);
    sink.append("L ");
    writeRuns(sink, values, loop.start, loop.start + loop.period);
}

int32_t levelCountOfTrack(int32_t trackNumber) {
    const int64_t index = static_cast<int64_t>(trackNumber) - 1;
    if (index < 0 || index > 27) return 0;
    return channelLayout(static_cast<int32_t>(index)).levelCount;
}

int32_t scaledItem(int32_t value, double ratio) {
    const double scaled = std::round(static_cast<double>(value) * ratio);
    if (!(scaled >= -2147483648.0 && scaled <= 2147483647.0)) return 0;
    return static_cast<int32_t>(scaled);
}

void appendTokenBody(TextSink& sink, const std::vector<std::string>& tokens) {
    for (const std::string& token : tokens) {
        sink.append(token);
        sink.append(' ');
    }
}

void appendTokenBody(TextSink& sink, const TokenRuns& tokens) {
    for (const TokenRun& run : tokens.runs) {
        const std::string& token = tokens.token(run);
        for (int32_t i = 0; i < run.count; ++i) {
            sink.append(token);
            sink.append(' ');
        }
    }
}

void appendVoiceBody(TextSink& sink, int32_t voice, const MappingTables& tables) {
    const auto found = tables.eAtMap.find(voice);
    if (found == tables.eAtMap.end()) {
        sink.append('0');
        return;
    }
    appendTokenBody(sink, found->second);
}

void appendVolumeBody(TextSink& sink, int32_t voice, int32_t level, int32_t maxLevel, const MappingTables& tables) {
    const auto found = tables.evMap.find(voice);
    if (found == tables.evMap.end()) {
        sink.number(level);
        sink.append(" R 0");
        return;
    }
    // The mapping file gives the shape at full level; scale its numbers down.
    const int32_t top = maxLevel > 0 ? maxLevel : 0;
    const int32_t clamped = std::clamp(level, 0, top);
    const double ratio = top > 0 ? static_cast<double>(clamped) / top : 0.0;
    for (const EvItem& item : found->second.items) {
        if (item.kind == 1) {
            sink.append(item.text);
        } else {
            sink.number(scaledItem(item.value, ratio));
        }
        sink.append(' ');
    }
}

void writeVolumeSection(TextSink& sink, const MappingTables& tables, const ComboTable& combos) {
    sink.append("#OffsetEv ");
    sink.number(kOffsetEv);
    sink.append("\n\n");
    for (std::size_t k = 0; k < combos.list.size(); ++k) {
        const Combination& combo = combos.list[k];
        const int32_t maxLevel = levelCountOfTrack(combo.trackNumber) - 1;
        sink.append("E(");
        sink.number(kOffsetEv + static_cast<int64_t>(k));
        sink.append("){");
        appendVolumeBody(sink, combo.voice, combo.level, maxLevel, tables);
        sink.append("}\t// PC  ");
        sink.number(combo.voice);
        sink.append("\tVel  ");
        sink.number(combo.level);
        sink.append('\n');
        sink.passOnWhenFull();
    }
    sink.append('\n');
}

void writeEmSection(TextSink& sink, const EnvelopeTable& envelopes) {
    sink.append("#OffsetEm ");
    sink.number(kOffsetEm);
    sink.append("\n\n");
    for (std::size_t k = 0; k < envelopes.records.size(); ++k) {
        const EnvelopeRecord& record = envelopes.records[k];
        if (!record.hasEm) continue;
        sink.append("E(");
        sink.number(kOffsetEm + static_cast<int64_t>(k));
        sink.append("){");
        if (record.emVerbatim) {
            appendTokenBody(sink, record.emTokens);
        } else {
            writeValueList(sink, record.emValues);
        }
        sink.append("}\t");
        if (record.hasEmo) {
            sink.append("// Emo ");
            sink.append(record.emoName);
            if (record.plusPb) sink.append(" +PB");
            if (record.hasAp) {
                sink.append(" +Ap ");
                sink.append(record.apText);
            }
        } else {
            sink.append("// Em ");
            sink.number(static_cast<int64_t>(k));
        }
        sink.append('\n');
        sink.passOnWhenFull();
    }
    sink.append('\n');
}

void writeEnSection(TextSink& sink, const EnvelopeTable& envelopes) {
    sink.append("#OffsetEn ");
    sink.number(kOffsetEn);
    sink.append("\n\n");
    for (std::size_t k = 0; k < envelopes.records.size(); ++k) {
        const EnvelopeRecord& record = envelopes.records[k];
        if (!record.hasEn) continue;
        sink.append("E(");
        sink.number(kOffsetEn + static_cast<int64_t>(k));
        sink.append("){");
        if (record.enVerbatim) {
            appendTokenBody(sink, record.enTokens);
        } else {
            writeValueList(sink, record.enValues);
        }
        sink.append("}\t");
        const auto noise = k <= 2147483647u ? envelopes.enRecordPc.find(static_cast<int32_t>(k)) : envelopes.enRecordPc.end();
        if (noise != envelopes.enRecordPc.end()) {
            sink.append("// PC  ");
            sink.number(noise->second);
        } else if (record.hasAp) {
            sink.append("//Ap ");
            sink.append(record.apText);
            if (record.apWithEm && record.hasEm) {
                sink.append(" Em ");
                sink.number(static_cast<int64_t>(k));
            }
        } else {
            sink.append("// En ");
            sink.number(static_cast<int64_t>(k));
        }
        sink.append('\n');
        sink.passOnWhenFull();
    }
    sink.append('\n');
}

void writeVoiceSection(TextSink& sink, const MappingTables& tables, const ComboTable& combos) {
    sink.append("#OffsetE@ ");
    sink.number(kOffsetVoice);
    sink.append('\n');
    for (int32_t voice : combos.usedVoices) {
        sink.append("E(");
        sink.number(kOffsetVoice + voice);
        sink.append("){");
        appendVoiceBody(sink, voice, tables);
        sink.append("}\t// PC ");
        sink.number(voice);
        sink.append('\n');
        sink.passOnWhenFull();
    }
    sink.append('\n');
}

}  // namespace

std::string runText(std::span<const int32_t> values, std::size_t from, std::size_t to) {
    TextSink sink(nullptr);
    writeRuns(sink, values, from, to);
    return sink.take();
}

std::size_t runCost(std::span<const int32_t> values, std::size_t from, std::size_t to) {
    if (from >= to || to > values.size()) return 0;
    std::size_t cost = 0;
    for (std::size_t i = from; i < to;) {
        std::size_t j = i + 1;
        while (j < to && values[j] == values[i]) ++j;
        cost += j - i >= 2 ? 2 : 1;
        i = j;
    }
    return cost;
}

std::string valueListBody(std::span<const int32_t> values) {
    TextSink sink(nullptr);
    writeValueList(sink, values);
    return sink.take();
}

void writeValueListBody(std::ostream& out, std::span<const int32_t> values) {
    TextSink sink(&out);
    writeValueList(sink, values);
    sink.passOn();
}

std::string tokenBody(const std::vector<std::string>& tokens) {
    TextSink sink(nullptr);
    appendTokenBody(sink, tokens);
    return sink.take();
}

std::string voiceBody(int32_t voice, const MappingTables& tables) {
    TextSink sink(nullptr);
    appendVoiceBody(sink, voice, tables);
    return sink.take();
}

std::string volumeBody(int32_t voice, int32_t level, int32_t maxLevel, const MappingTables& tables) {
    TextSink sink(nullptr);
    appendVolumeBody(sink, voice, level, maxLevel, tables);
    return sink.take();
}

void writeDefinitions(TextSink& sink, const MappingTables& tables, const EnvelopeTable& envelopes,
                      const ComboTable& combos) {
    writeVolumeSection(sink, tables, combos);
    writeEmSection(sink, envelopes);
    writeEnSection(sink, envelopes);
    writeVoiceSection(sink, tables, combos);
}

void writeDefinitions(std::ostream& out, const MappingTables& tables, const EnvelopeTable& envelopes,
                      const ComboTable& combos) {
    TextSink sink(&out);
    writeDefinitions(sink, tables, envelopes, combos);
    sink.passOn();
}

}  // namespace tonequill
