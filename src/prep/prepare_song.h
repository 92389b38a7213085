#pragma once

#include <ostream>

#include "common/prepared_song.h"
#include "midi/midi_file.h"
#include "prep/prep_observer.h"

namespace tonequill {

// Prepares a song for the envelope pass and the writer: timing, routing,
// notes paired and arbitrated, chords, programs, and each source track's
// bends and controllers. Progress lines go to `log`. Throws ConversionError
// when the song cannot be converted. An observer, when given, hears the
// decisions about notes; it changes nothing. The song takes over the file's
// event lists and tempo changes rather than copying them: a caller that
// needs the file afterwards passes a copy.
PreparedSong prepareSong(MidiFile file, std::ostream& log, PrepObserver* observer = nullptr);

}  // namespace tonequill
