#include "app/tonequill_command.h"

#include "app/command_options.h"
#include "app/run.h"
#include "common/version.h"

namespace tonequill {
namespace {

constexpr const char* kHelp =
    "usage: tonequill [options] input.mid...\n"
    "\n"
    "Converts each format-1 MIDI file in turn to an MML document beside it\n"
    "(music/song.mid gives music/song.mml), with the mapping file tve.txt\n"
    "beside the song, else in the working directory. Progress lines go to\n"
    "standard error; messages and \"Convert done\" go to standard output.\n"
    "Without an argument, the banner and a usage line are shown.\n"
    "\n"
    "Options:\n"
    "  -h, --help   show this text\n"
    "  --version    show the version\n"
    "  --           end of the options: every later argument is a file\n"
    "               (tonequill -- -x.mid converts the file -x.mid)\n"
    "\n"
    "A format-0 file (one track for every channel) is refused: first run\n"
    "tonequill-split song.mid, which writes song-f1.mid in format 1.\n"
    "\n"
    "Exit status:\n"
    "  0  every song was converted, or this text, the version or the banner\n"
    "     was shown\n"
    "  1  a song was refused, could not be read or failed to convert (the\n"
    "     songs after it are still converted), or an option is unknown\n";

}  // namespace

int runTonequillCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& log,
                        HintLines* hints) {
    const CommandOptions options = parseCommandOptions(args);
    if (!options.error.empty()) {
        log << "tonequill: " << options.error << "\n\n" << kHelp;
        return 1;
    }
    if (options.help) {
        out << kHelp;
        return 0;
    }
    if (options.version) {
        out << "tonequill " << kVersion << "\n"
            << "The banner's \"Ver." << kRulesDate << "\" is the date of the conversion rules this version follows.\n";
        return 0;
    }
    if (options.files.empty()) return runTonequill({}, out, log);

    int status = 0;
    for (const std::string& input : options.files) {
        if (runTonequill({input}, out, log, hints) != 0) status = 1;
        // Each song's lines are out before the next song starts.
        log.flush();
        out.flush();
    }
    return status;
}

}  // namespace tonequill
