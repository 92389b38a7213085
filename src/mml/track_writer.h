#pragma once

#include <cstdint>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "common/combination.h"
#include "common/envelope_table.h"
#include "mml/length_speller.h"
#include "mml/text_sink.h"
#include "common/prepared_song.h"

namespace tonequill {

// What the text of one track has told the driver so far; fresh for every track.
struct TrackState {
    int64_t cursor = 0;  // MML tick up to which the text reaches
    int32_t octave = 4;
    bool octaveUnset = true;  // no absolute "o" written yet
    int64_t lastVoice = -1;
    int32_t lastEv = -1;
    int32_t lastEm = std::numeric_limits<int32_t>::min();  // nothing written yet
    int32_t lastEn = std::numeric_limits<int32_t>::min();
};

// The octave commands and the note name of a note in octave `octaveValue`:
// an absolute "o" on the track's first pitch (or always, when asked), else
// ">" or "<" steps from the octave in force.
std::string pitchText(int32_t note, int32_t octaveValue, TrackState& state, bool alwaysAbsolute);

// Appends `name` and the value ("*" when negative) when it differs from `last`.
void envelopeSwitch(TextSink& sink, std::string_view name, int32_t value, int32_t& last);

// The MML text of output track `index` (TRn with n = index + 1): its header
// line, then rests, envelope switches, pitches and lengths in time order, cut
// at every whole note with a line break, ending with "\n\n".
std::string trackText(const PreparedSong& song, const EnvelopeTable& envelopes, const ComboTable& combos, int32_t index,
                      std::ostream& log);

// What every track of one document shares, worked out once: the length
// spellings, the envelope table and combinations, and per envelope record
// which of its parts (Em, En) it has.
struct TrackTextTools {
    TrackTextTools(const PreparedSong& song, const EnvelopeTable& envelopes, const ComboTable& combos, std::ostream& log);

    LengthSpeller lengths;
    const EnvelopeTable& envelopes;
    const ComboTable& combos;
    std::vector<uint8_t> envelopeParts;  // per record: 1 when it has Em, 2 when it has En
};

// The same text appended to `sink`, which may pass it on note by note.
void writeTrackText(TextSink& sink, const TrackTextTools& tools, const PreparedSong& song, int32_t index,
                    std::ostream& log);

}  // namespace tonequill
