#include "mml/document_writer.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <numeric>
#include <vector>

#include "common/parallel.h"
#include "mml/definitions.h"
#include "mml/header.h"
#include "mml/recorded_text.h"
#include "mml/tempo_track.h"
#include "mml/text_sink.h"
#include "mml/track_writer.h"

namespace tonequill {
namespace {

// A piece written on a thread of its own is given up, and written straight
// to the document instead, once its text passes the base plus so much per
// unit of work: far more than real songs make (a track's text takes 13 to 27
// bytes a note, the definitions' 3 or 4 a value), so only a hostile song (a
// million bars of rest) takes the slow way, and no piece holds much more
// text than its notes or values take memory already.
constexpr std::size_t kPieceBase = std::size_t{256} << 10;
constexpr std::size_t kBytesPerNote = 48;
constexpr std::size_t kBytesPerValue = 24;
// Room made at once for a piece's text, so that it rarely has to move.
constexpr std::size_t kExpectedBase = 4096;
constexpr std::size_t kExpectedPerNote = 32;
constexpr std::size_t kExpectedPerValue = 4;
// Pieces are written a window at a time, the window's limits adding up to
// at most this (or one piece): the text held back at once stays bounded
// whatever the song. A song of a million notes takes one window.
constexpr std::size_t kWindowBytes = std::size_t{128} << 20;
constexpr std::size_t kWindowPieces = 64;

// The document's pieces after the header: the definitions block, then the
// output tracks in order.
struct Piece {
    std::size_t work = 0;      // notes, or values and entries for the definitions
    std::size_t limit = 0;     // bytes of text and log it may keep
    std::size_t expected = 0;  // bytes of text it likely makes

    static Piece of(std::size_t work, std::size_t bytesPerUnit, std::size_t expectedPerUnit) {
        return Piece{work, kPieceBase + bytesPerUnit * work, kExpectedBase + expectedPerUnit * work};
    }
};

std::size_t definitionsWork(const MappingTables& tables, const PreparedSong& song) {
    std::size_t work = song.combos.size() + song.usedVoices.size() + tables.records.size();
    for (const EnvelopeRecord& record : tables.records) {
        work += record.emValues.size() + record.enValues.size() + record.emTokens.size() +
                static_cast<std::size_t>(record.enTokens.size);
    }
    return work;
}

std::size_t trackWork(const PreparedSong& song, int32_t index) {
    const auto i = static_cast<std::size_t>(index);
    return i < song.trackNotes.size() ? song.trackNotes[i].size() : 0;
}

std::vector<Piece> documentPieces(const MappingTables& tables, const PreparedSong& song) {
    std::vector<Piece> pieces;
    pieces.reserve(static_cast<std::size_t>(std::max(song.outputTrackCount, 0)) + 1);
    pieces.push_back(Piece::of(definitionsWork(tables, song), kBytesPerValue, kExpectedPerValue));
    for (int32_t i = 0; i < song.outputTrackCount; ++i) {
        pieces.push_back(Piece::of(trackWork(song, i), kBytesPerNote, kExpectedPerNote));
    }
    return pieces;
}

void writeBlockStart(TextSink& sink, const PreparedSong& song) {
    sink.append("BGM(0){\n");
    sink.append('t');
    sink.number(song.initialBpm);
    sink.append("\n\n");
}

void writeTrackLine(std::ostream& log, int32_t index) {
    log << "[WRITE] TR" << static_cast<int64_t>(index) + 1 << "\n";
}

// Everything after the definitions' log lines, one piece after another on
// this thread.
void writePiecesInTurn(TextSink& sink, const MappingTables& tables, const PreparedSong& song, std::ostream& log) {
    writeDefinitions(sink, tables, song);
    writeBlockStart(sink, song);
    const TrackTextTools tools(tables, song, log);
    for (int32_t i = 0; i < song.outputTrackCount; ++i) {
        writeTrackLine(log, i);
        writeTrackText(sink, tools, song, i, log);
    }
}

// The same, each window of pieces recorded on the threads at hand and then
// replayed into the document in order, so the stream and the log see what
// writing them in turn would have shown them.
void writePiecesTogether(TextSink& sink, const MappingTables& tables, const PreparedSong& song, std::ostream& log,
                         const std::vector<Piece>& pieces, unsigned threads) {
    const TrackTextTools tools(tables, song, log);
    for (std::size_t first = 0; first < pieces.size();) {
        std::size_t end = first;
        std::size_t bytes = 0;
        while (end < pieces.size() && end - first < kWindowPieces &&
               (end == first || bytes + pieces[end].limit <= kWindowBytes)) {
            bytes += pieces[end].limit;
            ++end;
        }

        // The longest pieces first, so that no thread is left with a long one at the end.
        std::vector<std::size_t> order(end - first);
        std::iota(order.begin(), order.end(), first);
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return pieces[a].work > pieces[b].work; });
        std::vector<std::unique_ptr<RecordedText>> recorded(end - first);
        forEachIndex(order.size(), threads, [&](std::size_t k) {
            const std::size_t p = order[k];
            auto text = std::make_unique<RecordedText>(pieces[p].limit, pieces[p].expected);
            const bool kept = text->record([&](TextSink& pieceSink, std::ostream& pieceLog) {
                if (p == 0) {
                    writeDefinitions(pieceSink, tables, song);
                } else {
                    const TrackTextTools own(tools, pieceLog);
                    writeTrackText(pieceSink, own, song, static_cast<int32_t>(p - 1), pieceLog);
                }
            });
            if (kept) recorded[p - first] = std::move(text);
        });

        for (std::size_t p = first; p < end; ++p) {
            std::unique_ptr<RecordedText>& text = recorded[p - first];
            if (p != 0) writeTrackLine(log, static_cast<int32_t>(p - 1));
            if (text != nullptr) {
                text->replay(sink, log);
                text.reset();
            } else if (p == 0) {
                writeDefinitions(sink, tables, song);
            } else {
                writeTrackText(sink, tools, song, static_cast<int32_t>(p - 1), log);
            }
            if (p == 0) writeBlockStart(sink, song);
        }
        first = end;
    }
}

}  // namespace

void writeMmlDocument(std::ostream& out, const MappingTables& tables, const PreparedSong& song,
                      const MidiFile& file, std::ostream& log) {
    // Every piece is appended to one buffer that goes to `out` in large blocks.
    TextSink sink(&out);
    log << "[WRITE] header\n";
    writeHeader(sink, song);

    log << "[WRITE] definitions\n";
    log << " combos=" << song.combos.size() << "\n";
    log << " env=" << tables.records.size() << "\n";
    // The definitions and every track are independent of each other: a
    // large song writes them on all threads at hand.
    const std::vector<Piece> pieces = documentPieces(tables, song);
    const std::size_t work =
        std::accumulate(pieces.begin(), pieces.end(), std::size_t{0},
                        [](std::size_t sum, const Piece& piece) { return sum + piece.work; });
    const unsigned threads = pieces.size() > 1 ? threadsFor(work) : 1;
    if (threads > 1) {
        writePiecesTogether(sink, tables, song, log, pieces, threads);
    } else {
        writePiecesInTurn(sink, tables, song, log);
    }

    // The tempo track is built whole, as its log lines tell.
    sink.append(tempoTrackText(file, song, log));
    sink.append("}\n");
    sink.passOn();
}

}  // namespace tonequill
