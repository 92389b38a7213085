#include "envelope/source_memo.h"

#include <algorithm>
#include <limits>

#include "envelope/token_expansion.h"

namespace tonequill {
namespace {

// A hostile song can bring endless distinct keys; the memo starts over then
// rather than grow with the song.
constexpr size_t kMaxMemoEntries = 4096;

uint64_t mix(uint64_t hash, uint64_t value) {
    hash ^= value + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
    return hash * 0xBF58476D1CE4E5B9ull;
}

}  // namespace

int32_t FramePrefix::grownLength(size_t n) const {
    const size_t doubled = std::min(2 * values_.size(), n + 65536);
    return static_cast<int32_t>(std::min<size_t>(std::max(n, doubled), std::numeric_limits<int32_t>::max()));
}

const TokenRuns& ArpeggioMemo::tokensForChord(std::span<const int32_t> intervals) {
    if (!spelled) {
        enTokens = expandArpeggio(choice.tokens, intervals);
        spelled = true;
    }
    return enTokens;
}

void ArpeggioMemo::rememberWithVibrato(uint64_t key, int32_t note) {
    if (withVibrato.size() >= kMaxMemoEntries) withVibrato.clear();
    withVibrato.emplace(key, note);
}

VibratoMemo& SourceMemo::vibrato(int32_t modulation) {
    if (const auto found = vibratos_.find(modulation); found != vibratos_.end()) return found->second;
    if (vibratos_.size() >= kMaxMemoEntries) vibratos_.clear();
    VibratoMemo& memo = vibratos_[modulation];
    memo.id = nextVibratoId_++;
    memo.choice = pickVibrato(tables_, modulation);
    return memo;
}

ArpeggioMemo& SourceMemo::arpeggio(const PreparedNote& note, int32_t cc12) {
    // Most notes ask for what the note before asked for.
    if (last_ && probe_.chord == note.isChord && probe_.program == note.program && probe_.cc12 == cc12 &&
        note.chordIntervals == probe_.intervals) {
        return *last_;
    }
    probe_.chord = note.isChord;
    probe_.program = note.program;
    probe_.cc12 = cc12;
    probe_.intervals.assign(note.chordIntervals.begin(), note.chordIntervals.end());
    if (const auto found = arpeggios_.find(probe_); found != arpeggios_.end()) return *(last_ = &found->second);
    if (arpeggios_.size() >= kMaxMemoEntries) arpeggios_.clear();
    ArpeggioMemo& memo = arpeggios_[probe_];
    memo.choice = pickArpeggio(tables_, note, cc12);
    return *(last_ = &memo);
}

size_t SourceMemo::ArpeggioKeyHash::operator()(const ArpeggioKey& key) const {
    uint64_t hash = mix(key.chord ? 1 : 0, static_cast<uint32_t>(key.program));
    hash = mix(hash, static_cast<uint32_t>(key.cc12));
    for (const int32_t interval : key.intervals) hash = mix(hash, static_cast<uint32_t>(interval));
    return static_cast<size_t>(hash ^ (hash >> 32));
}

}  // namespace tonequill
