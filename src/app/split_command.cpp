#include "app/split_command.h"

#include <cstdint>
#include <string_view>

#include "app/command_options.h"
#include "app/output_file.h"
#include "common/bulk_memory.h"
#include "common/conversion_error.h"
#include "common/file_system.h"
#include "common/version.h"
#include "split/channel_tracks.h"
#include "split/split_format0.h"

namespace tonequill {
namespace {

constexpr const char* kUsage =
    "usage: tonequill-split [options] song.mid [out.mid]\n"
    "\n"
    "Rewrites a format-0 MIDI file (one track for every channel) as format 1,\n"
    "which tonequill converts: a first track with the tempo map, meter, title\n"
    "and the other meta events, then one track per MIDI channel in use, in\n"
    "channel order, named after its channel and first program (\"Ch 1 Program\n"
    "0\"). The channel-10 track is named \"trx4 Ch 10 Drums\", which sends the\n"
    "drums to the noise track TR4. Every event keeps its tick.\n"
    "\n"
    "The output is out.mid, by default song-f1.mid beside the input; the\n"
    "input itself is never replaced.\n"
    "\n"
    "Options:\n"
    "  -h, --help   show this text\n"
    "  --version    show the version\n"
    "  --           end of the options: every later argument is a file\n"
    "\n"
    "Exit status:\n"
    "  0  the file was split, or this text or the version was shown\n"
    "  1  nothing was written: the input cannot be read, is not a format-0\n"
    "     MIDI file or is damaged, the output cannot be written or is the\n"
    "     input, or the command line is wrong\n";

// Larger than any song; a split file is at most about three times its input.
constexpr std::size_t kMaxInputBytes = std::size_t{64} << 20;

int usageError(std::ostream& err, const std::string& what) {
    err << "tonequill-split: " << what << "\n\n" << kUsage;
    return 1;
}

int failure(std::ostream& err, const std::string& what) {
    err << "error: " << what << "\n";
    return 1;
}

// A path as an argument the shell and the option reader take back as it
// is: quoted (on POSIX systems) where it holds more than letters, digits
// and the usual punctuation of file names, after "--" where it starts with "-".
std::string argumentFor(const std::string& path) {
    const std::string optionsEnd = !path.empty() && path[0] == '-' ? "-- " : "";
#ifdef _WIN32
    return optionsEnd + path;
#else
    bool plain = !path.empty();
    for (char c : path) {
        const bool safe = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                          std::string_view("._-+/,:@%=").find(c) != std::string_view::npos;
        plain = plain && safe;
    }
    if (plain) return optionsEnd + path;
    std::string quoted = "'";
    for (char c : path) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return optionsEnd + quoted + "'";
#endif
}

void tellTracks(std::ostream& out, const std::string& output, const SplitResult& split) {
    out << "wrote " << output << " (format 1, " << split.tracks.size() << " tracks):\n";
    for (size_t i = 0; i < split.tracks.size(); ++i) {
        const SplitTrack& track = split.tracks[i];
        out << "  track " << i + 1;
        if (track.channel < 0) {
            out << ": tempo map, meter, title and other meta events, " << track.events.size() << " events\n";
            continue;
        }
        out << " \"" << track.name << "\": " << track.events.size() << " events";
        if (track.channel == kDrumChannel) out << ", to TR4 (the noise track)";
        out << "\n";
    }
}

}  // namespace

std::string format0Hint(const std::string& input) {
    return "hint: " + input + " is format 0; \"tonequill-split " + argumentFor(input) + "\" writes " +
           splitOutputPath(input) + ", which tonequill converts";
}

int runSplitCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    const CommandOptions options = parseCommandOptions(args);
    if (!options.error.empty()) return usageError(err, options.error);
    if (options.help || (options.files.empty() && !options.version)) {
        out << kUsage;
        return 0;
    }
    if (options.version) {
        out << "tonequill-split " << kVersion << "\n";
        return 0;
    }
    if (options.files.size() > 2) return usageError(err, "too many arguments: one input and at most one output");

    const std::string& input = options.files[0];
    const std::string output = options.files.size() > 1 ? options.files[1] : splitOutputPath(input);
    if (files::sameFile(input, output)) {
        return failure(err, "the output '" + output + "' is the input itself; name another output file");
    }

    BulkList<uint8_t> bytes;
    files::ReadRules rules;
    rules.limit = kMaxInputBytes;
    rules.mustStartWith = "MThd";  // anything else is read no further, and then refused
    if (const std::error_code code = files::readWholeFile(input, rules, bytes)) {
        if (code == std::errc::file_too_large) {
            return failure(err, "'" + input + "' is larger than " + std::to_string(kMaxInputBytes) +
                                    " bytes, more than any song");
        }
        return failure(err, "cannot read '" + input + "': " + code.message());
    }
    const SplitResult split = splitFormat0(bytes);
    if (!split.error.empty()) return failure(err, input + ": " + split.error);

    try {
        writeOutputFile(
            output,
            [&](std::ostream& file) {
                file.write(reinterpret_cast<const char*>(split.midi.data()),
                           static_cast<std::streamsize>(split.midi.size()));
            },
            LineEnds::asWritten);
    } catch (const ConversionError& e) {
        return failure(err, e.what());
    }
    tellTracks(out, output, split);
    return 0;
}

}  // namespace tonequill
