#pragma once

#include <cstdint>
#include <functional>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/limited_streambuf.h"
#include "common/combination.h"
#include "common/envelope_table.h"
#include "common/prepared_song.h"
#include "mapping/mapping_tables.h"
#include "midi/midi_file.h"
#include "prep/prep_observer.h"

namespace tonequill {

// The mapping file beside the input ("dir/tve.txt") when it can be opened,
// else "tve.txt" in the working directory. Both "/" and "\\" separate folders.
std::string mappingFilePath(const std::string& input);

// The input up to the last "." of its file name followed by ".mml"; a name
// without a dot (or whose only dot starts it) just gets ".mml" added.
std::string outputPath(const std::string& input);

// Where a run gets its input and puts its document: files for the command
// line, memory for tests and fuzzing. The run sequence is the same for both.
// Lines a run writes to its log to point at what a musician most likely did
// not mean (a mistake in the mapping file, drums on a pitched track); a
// report shows them too.
using HintLines = std::vector<std::string>;

struct RunIo {
    // Logs the loading and appends its hints (also logged) to `hints`; may
    // throw on a malformed number.
    std::function<void(MappingTables&, std::ostream& log, HintLines& hints)> loadMapping;
    std::function<int32_t()> probeFormat;
    std::function<bool(MidiFile&, std::string& reason)> readMidi;
    // Lets go of the input's bytes, if they are held; called as the run ends.
    std::function<void()> dropInput;
    // Stores the document that `write` produces; throws ConversionError when it cannot.
    std::function<void(const std::function<void(std::ostream&)>& write)> storeDocument;
    // The hint line on how a refused format-0 input can be converted; may be unset.
    std::function<std::string()> format0Hint;
};

// What a finished run leaves for a report: everything read and made.
struct Conversion {
    const MappingTables& tables;
    const MidiFile& file;
    const PreparedSong& song;
    const EnvelopeTable& envelopes;
    const ComboTable& combos;
};
using RunInspector = std::function<void(const Conversion&)>;

// The run sequence from loading the mapping file to "Convert done". Messages
// go to `out`, progress lines and hints to `log`. Returns the exit status. A
// report passes an `observer` (handed to preparation; it changes nothing), an
// `inspect` called once the document has been stored, before "Convert done",
// and `hints`, which gets every hint line as it is logged.
int runConversion(const RunIo& io, std::ostream& out, std::ostream& log, PrepObserver* observer = nullptr,
                  const RunInspector& inspect = {}, HintLines* hints = nullptr);

// A run on the files at these paths, without its `storeDocument`.
RunIo fileRunIo(const std::string& input, const std::string& mappingPath);

// One song's command-line run: `args` holds its path (only the first
// argument is read); without one, the banner and usage are shown.
// runTonequillCommand runs it for each file of the command line.
// `hints`, when given, gets every hint line as it is logged.
int runTonequill(const std::vector<std::string>& args, std::ostream& out, std::ostream& log,
                 HintLines* hints = nullptr);

// The same run on a MIDI file and a mapping file held in memory; the
// document (with "\n" line breaks, at most `maxDocumentBytes`) is appended
// to `document`.
int runInMemory(std::span<const uint8_t> midi, std::string_view mappingText, std::string& document,
                std::ostream& out, std::ostream& log, int64_t maxDocumentBytes = kMaxDocumentBytes);

}  // namespace tonequill
