#include "mml/tempo_track.h"

#include "mml/mml_ticks.h"
#include "mml/length_speller.h"
#include "mml/text_sink.h"

namespace tonequill {
namespace {

constexpr int64_t kTempoTrack = 29;

// Beats per minute, rounded half up. The reader never stores a tempo of 0;
// a value without a meaningful BPM gives 0 rather than an undefined number.
int32_t beatsPerMinute(double usPerQuarter) {
    const double bpm = 60000000.0 / usPerQuarter + 0.5;
    if (!(bpm >= 0.0 && bpm < 2147483648.0)) return 0;
    return static_cast<int32_t>(bpm);
}

}  // namespace

int32_t scaledTicks(int32_t tick, double tickScale) { return mmlTick(tick, tickScale, kTempoTrack); }

std::string tempoTrackText(const PreparedSong& song, std::ostream& log) {
    log << "[TR29] build start\n";
    TextSink text(nullptr);
    text.append("TR29\n");
    const LengthSpeller lengths(song.lengthTable, log);
    int32_t previous = 0;
    for (const TempoEvent& entry : song.tempoEvents) {
        const int32_t place = scaledTicks(entry.tick, song.tickScale);
        log << "[TR29] tempo change tick=" << entry.tick << " -> scaled=" << place << "\n";
        if (place > previous) {
            // Both places lie in 0..INT32_MAX here, so the difference fits.
            lengths.append(text, place - previous, true);
            previous = place;
        }
        const int32_t bpm = beatsPerMinute(entry.usPerQuarter);
        text.append('t');
        text.number(bpm);
        log << "[TR29] tempo=" << bpm << "\n";
    }
    text.append("\n\n");
    log << "[TR29] build end\n";
    return text.take();
}

}  // namespace tonequill
