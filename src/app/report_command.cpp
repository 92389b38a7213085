#include "app/report_command.h"

#include <optional>
#include <sstream>
#include <streambuf>

#include "app/measured_document.h"
#include "app/output_file.h"
#include "app/run.h"
#include "common/version.h"
#include "common/file_system.h"
#include "mapping/mapping_loader.h"
#include "midi/midi_reader.h"
#include "report/bar_beat.h"
#include "report/decision_recorder.h"
#include "report/song_report.h"
#include "report/svg_report.h"
#include "report/text_report.h"

namespace tonequill {
namespace {

constexpr const char* kUsage =
    "usage: tonequill-report [--all] [--svg FILE] input.mid\n"
    "\n"
    "Runs tonequill's conversion of input.mid (with the same tve.txt) without\n"
    "writing the .mml, and reports what happened to every note: first tonequill's\n"
    "hints and every note that was dropped or cut, by kind and bar, then a\n"
    "summary, the tracks, voices, envelopes and tempo, at bar:beat positions.\n"
    "\n"
    "  --all        also list every decision track by track, chord merges included\n"
    "  --svg FILE   also draw the notes as a piano roll in the SVG file FILE\n"
    "  --help       show this text\n"
    "  --version    show the version\n";

// Swallows whatever is written to it.
class DiscardBuffer : public std::streambuf {
protected:
    int_type overflow(int_type c) override { return traits_type::not_eof(c); }
    std::streamsize xsputn(const char*, std::streamsize n) override { return n; }
};

struct Options {
    std::optional<std::string> input;
    std::optional<std::string> svg;
    bool all = false;
    bool help = false;
    bool version = false;
    std::string error;
};

Options parseOptions(const std::vector<std::string>& args) {
    Options o;
    bool optionsEnd = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnd && a == "--") {
            optionsEnd = true;
        } else if (!optionsEnd && (a == "--help" || a == "-h")) {
            o.help = true;
        } else if (!optionsEnd && a == "--version") {
            o.version = true;
        } else if (!optionsEnd && a == "--all") {
            o.all = true;
        } else if (!optionsEnd && a == "--svg") {
            if (i + 1 >= args.size()) {
                o.error = "--svg needs a file name";
                return o;
            }
            o.svg = args[++i];
        } else if (!optionsEnd && a.rfind("--svg=", 0) == 0) {
            o.svg = a.substr(6);
        } else if (!optionsEnd && a.size() > 1 && a[0] == '-') {
            o.error = "unknown option " + a;
            return o;
        } else if (!o.input) {
            o.input = a;
        } else {
            // One report is about one song; a second file would go unreported.
            o.error = "one song at a time: " + *o.input + " and " + a + " were given";
            return o;
        }
    }
    if (o.svg && o.svg->empty()) o.error = "--svg needs a file name";
    return o;
}

}  // namespace

int runReportCommand(const std::vector<std::string>& args, std::ostream& out, int64_t maxDocumentBytes) {
    const Options options = parseOptions(args);
    if (!options.error.empty()) {
        out << "error: " << options.error << "\n" << kUsage;
        return 1;
    }
    if (options.help || (!options.input && !options.version)) {
        out << kUsage;
        return 0;
    }
    if (options.version) {
        out << "tonequill-report " << kVersion << "\n";
        return 0;
    }

    const std::string& input = *options.input;
    const std::string mappingPath = mappingFilePath(input);
    const bool mappingOpened = files::canReadRegularFile(mappingPath);

    DiscardBuffer discard;
    std::ostream nowhere(&discard);
    RunIo io = fileRunIo(input, mappingPath);
    // The document is written as the converter writes it, to the same limit,
    // and only measured: the run fails where the converter's run fails.
    io.storeDocument = [&](const std::function<void(std::ostream&)>& write) {
        writeMeasuredDocument(write, maxDocumentBytes);
    };

    DecisionRecorder recorder;
    HintLines hints;
    std::string text;
    std::string svg;
    auto inspect = [&](const Conversion& c) {
        const SongReport report = buildSongReport(recorder, c.song);
        const BarBeatClock clock(c.file, c.song.tpqn, c.song.tickScale, c.song.wholeNoteTicks);
        const ReportView view{input,       mappingPath, mappingOpened, c.tables, c.file, c.song,
                              c.envelopes, c.combos,    report,        clock,    hints,  options.all};
        std::ostringstream textOut;
        writeTextReport(textOut, view);
        text = textOut.str();
        if (options.svg) {
            std::ostringstream svgOut;
            writeSvgReport(svgOut, view);
            svg = svgOut.str();
        }
    };
    std::ostringstream messages;
    const int status = runConversion(io, messages, nowhere, &recorder, inspect, &hints);
    if (status != 0) {
        // The hints point at the cause, as on tonequill's log.
        for (const std::string& line : hints) out << line << "\n";
        out << messages.str();
        return status;
    }
    if (options.svg) {
        try {
            writeOutputFile(*options.svg, [&](std::ostream& file) { file << svg; }, LineEnds::asWritten);
        } catch (const std::exception& e) {
            out << "error: " << e.what() << "\n";
            return 1;
        }
    }
    out << text;
    return 0;
}

}  // namespace tonequill
