#include "mml/definitions.h"

#include <algorithm>
#include <cmath>

#include "prep/channel_layout.h"

namespace tonequill {
namespace {

constexpr int64_t kOffsetEv = 100000;
constexpr int64_t kOffsetEm = 200000;
constexpr int64_t kOffsetEn = 300000;
constexpr int64_t kOffsetVoice = 400000;

// The cost runCost gains when the range [from, last) grows by values[last].
std::size_t extensionCost(const std::vector<int32_t>& values, std::size_t from, std::size_t last) {
    if (last == from || values[last] != values[last - 1]) return 1;  // a new run: one token
    // The run grows; it costs a second token ("D") only when it had length 1.
    const bool runWasSingle = last - 1 == from || values[last - 2] != values[last - 1];
    return runWasSingle ? 1 : 0;
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

}  // namespace

std::string runText(const std::vector<int32_t>& values, std::size_t from, std::size_t to) {
    std::string text;
    if (from >= to || to > values.size()) return text;
    std::size_t i = from;
    while (i < to) {
        std::size_t j = i + 1;
        while (j < to && values[j] == values[i]) ++j;
        text += std::to_string(values[i]) + " ";
        const std::size_t count = j - i;
        if (count >= 2) text += "D" + std::to_string(count - 2) + " ";
        i = j;
    }
    return text;
}

std::size_t runCost(const std::vector<int32_t>& values, std::size_t from, std::size_t to) {
    if (from >= to || to > values.size()) return 0;
    std::size_t cost = 0;
    for (std::size_t i = from; i < to; ++i) cost += extensionCost(values, from, i);
    return cost;
}

std::string valueListBody(const std::vector<int32_t>& values) {
    const std::size_t n = values.size();
    if (n == 0) return "";
    std::size_t best = runCost(values, 0, n);
    bool looped = false;
    std::size_t bestStart = 0;
    std::size_t bestPeriod = 0;
    // Short lists are never looped. For longer ones try every lead-in s and
    // period P whose tail from s repeats; the first strictly cheaper one wins.
    if (n >= 8) {
        // lastMismatch[P]: the last i with values[i] != values[i - P], or 0 when
        // there is none; the tail from s repeats with period P exactly when it
        // lies before s + P.
        std::vector<std::size_t> lastMismatch(n / 2 + 1, 0);
        for (std::size_t period = 2; period <= n / 2; ++period) {
            for (std::size_t i = n; i-- > period;) {
                if (values[i] != values[i - period]) {
                    lastMismatch[period] = i;
                    break;
                }
            }
        }
        std::size_t leadInCost = 0;  // runCost(values, 0, s), grown one value at a time
        for (std::size_t s = 0; s + 4 < n; ++s) {
            if (s > 0) leadInCost += extensionCost(values, 0, s - 1);
            if (leadInCost > 62) continue;
            std::size_t periodCost = extensionCost(values, s, s);  // runCost(values, s, s + P)
            for (std::size_t period = 2; 2 * period <= n - s; ++period) {
                periodCost += extensionCost(values, s, s + period - 1);
                if (lastMismatch[period] >= s + period) continue;  // the tail does not repeat
                const std::size_t total = periodCost + leadInCost + 1;  // + the loop mark
                if (total < best) {
                    best = total;
                    looped = true;
                    bestStart = s;
                    bestPeriod = period;
                }
            }
        }
    }
    if (!looped) return runText(values, 0, n);
    return runText(values, 0, bestStart) + "L " + runText(values, bestStart, bestStart + bestPeriod);
}

std::string tokenBody(const std::vector<std::string>& tokens) {
    std::string text;
    for (const std::string& token : tokens) text += token + " ";
    return text;
}

std::string voiceBody(int32_t voice, const MappingTables& tables) {
    const auto found = tables.eAtMap.find(voice);
    if (found == tables.eAtMap.end()) return "0";
    return tokenBody(found->second);
}

std::string volumeBody(int32_t voice, int32_t level, int32_t maxLevel, const MappingTables& tables) {
    const auto found = tables.evMap.find(voice);
    if (found == tables.evMap.end()) return std::to_string(level) + " R 0";
    // The mapping file gives the shape at full level; scale its numbers down.
    const int32_t top = maxLevel > 0 ? maxLevel : 0;
    const int32_t clamped = std::clamp(level, 0, top);
    const double ratio = top > 0 ? static_cast<double>(clamped) / top : 0.0;
    std::string text;
    for (const EvItem& item : found->second.items) {
        text += item.kind == 1 ? item.text : std::to_string(scaledItem(item.value, ratio));
        text += ' ';
    }
    return text;
}

void writeDefinitions(std::ostream& out, const MappingTables& tables, const PreparedSong& song) {
    out << "#OffsetEv " << kOffsetEv << "\n\n";
    for (std::size_t k = 0; k < song.combos.size(); ++k) {
        const Combination& combo = song.combos[k];
        const int32_t maxLevel = levelCountOfTrack(combo.trackNumber) - 1;
        out << "E(" << kOffsetEv + static_cast<int64_t>(k) << "){"
            << volumeBody(combo.voice, combo.level, maxLevel, tables) << "}\t// PC  " << combo.voice << "\tVel  "
            << combo.level << "\n";
    }
    out << "\n";

    out << "#OffsetEm " << kOffsetEm << "\n\n";
    for (std::size_t k = 0; k < tables.records.size(); ++k) {
        const EnvelopeRecord& record = tables.records[k];
        if (!record.hasEm) continue;
        out << "E(" << kOffsetEm + static_cast<int64_t>(k) << "){"
            << (record.emVerbatim ? tokenBody(record.emTokens) : valueListBody(record.emValues)) << "}\t";
        if (record.hasEmo) {
            out << "// Emo " << record.emoName;
            if (record.plusPb) out << " +PB";
            if (record.hasAp) out << " +Ap " << record.apText;
        } else {
            out << "// Em " << k;
        }
        out << "\n";
    }
    out << "\n";

    out << "#OffsetEn " << kOffsetEn << "\n\n";
    for (std::size_t k = 0; k < tables.records.size(); ++k) {
        const EnvelopeRecord& record = tables.records[k];
        if (!record.hasEn) continue;
        out << "E(" << kOffsetEn + static_cast<int64_t>(k) << "){"
            << (record.enVerbatim ? tokenBody(record.enTokens) : valueListBody(record.enValues)) << "}\t";
        const auto noise = k <= 2147483647u ? tables.enRecordPc.find(static_cast<int32_t>(k)) : tables.enRecordPc.end();
        if (noise != tables.enRecordPc.end()) {
            out << "// PC  " << noise->second;
        } else if (record.hasAp) {
            out << "//Ap " << record.apText;
            if (record.apWithEm && record.hasEm) out << " Em " << k;
        } else {
            out << "// En " << k;
        }
        out << "\n";
    }
    out << "\n";

    out << "#OffsetE@ " << kOffsetVoice << "\n";
    for (int32_t voice : song.usedVoices) {
        out << "E(" << kOffsetVoice + voice << "){" << voiceBody(voice, tables) << "}\t// PC " << voice << "\n";
    }
    out << "\n";
}

}  // namespace tonequill
