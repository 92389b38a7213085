#include "mml/definitions.h"

#include <algorithm>
#include <cmath>

#include "mml/loop_search.h"
#include "mml/text_sink.h"
#include "common/channel_layout.h"

namespace tonequill {
namespace {

constexpr int64_t kOffsetEv = 100000;
constexpr int64_t kOffsetEm = 200000;
constexpr int64_t kOffsetEn = 300000;
constexpr int64_t kOffsetVoice = 400000;

// Runs of equal neighbours, passed on block by block, so a list of millions
// of values never becomes one string in memory.
void writeRuns(TextSink& sink, const std::vector<int32_t>& values, std::size_t from, std::size_t to) {
    if (from >= to || to > values.size()) return;
    std::size_t i = from;
    while (i < to) {
        std::size_t j = i + 1;
        while (j < to && values[j] == values[i]) ++j;
        sink.number(values[i]);
        sink.append(' ');
        if (j - i >= 2) {
            sink.append('D');
            sink.number(static_cast<int64_t>(j - i - 2));
            sink.append(' ');
        }
        sink.passOnWhenFull();
        i = j;
    }
}

void writeValueList(TextSink& sink, const std::vector<int32_t>& values) {
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

std::string runText(const std::vector<int32_t>& values, std::size_t from, std::size_t to) {
    TextSink sink(nullptr);
    writeRuns(sink, values, from, to);
    return sink.take();
}

std::size_t runCost(const std::vector<int32_t>& values, std::size_t from, std::size_t to) {
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

std::string valueListBody(const std::vector<int32_t>& values) {
    TextSink sink(nullptr);
    writeValueList(sink, values);
    return sink.take();
}

void writeValueListBody(std::ostream& out, const std::vector<int32_t>& values) {
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
