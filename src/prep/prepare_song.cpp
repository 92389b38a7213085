#include "prep/prepare_song.h"

#include <algorithm>
#include <cstddef>
#include <numeric>
#include <string>
#include <utility>

#include "prep/chords.h"
#include "prep/drum_tracks.h"
#include "common/conversion_error.h"
#include "prep/event_collection.h"
#include "prep/length_table.h"
#include "prep/note_extraction.h"
#include "prep/routing.h"
#include "common/tick_cursor.h"
#include "prep/timing.h"

namespace tonequill {
namespace {

void reportTempo(const MidiFile& file, std::ostream& log) {
    log << "[TEMPO] events=" << file.tempoEvents.size() << "\n";
    for (const TempoEvent& t : file.tempoEvents) {
        log << "[TEMPO] tick=" << t.tick << " us/qn=" << t.usPerQuarter << "\n";
    }
}

// The program in force on a source track at a tick (0 before its first change).
using ProgramCursor = TickCursor<ProgramChange, &ProgramChange::program>;

int32_t count32(size_t n) { return static_cast<int32_t>(n); }

}  // namespace

PreparedSong prepareSong(MidiFile file, std::ostream& log, PrepObserver* observer) {
    PreparedSong song;
    if (file.ticksPerQuarter < 1) throw ConversionError("the file gives 0 ticks per quarter note");

    reportTempo(file, log);
    log << "[PREP] tpqn=" << file.ticksPerQuarter << "\n";

    const int32_t rawTrackCount = count32(file.tracks.size());
    const int32_t offset = hasConductorTrack(file) ? 1 : 0;
    song.sourceTrackCount = std::max(rawTrackCount - offset, 0);
    song.title = file.title;
    song.tempoEvents = std::move(file.tempoEvents);

    const TrackRouting routing = routeTracks(file, offset, song.sourceTrackCount);
    song.routing = routing.routing;
    song.outputTrackCount = routing.outputTrackCount;
    log << "[PREP] rawTrack=" << rawTrackCount << " offset=" << offset << " srcTrack=" << song.sourceTrackCount
        << " outTrack=" << song.outputTrackCount << "\n";

    const auto outputCount = static_cast<size_t>(song.outputTrackCount);
    song.trackNotes.assign(outputCount, {});

    song.tpqn = file.ticksPerQuarter;
    song.initialBpm = startingBpm(file);
    song.timebase = chooseTimebase(song.initialBpm);
    song.wholeNoteTicks = 4 * song.timebase;
    song.tickScale = static_cast<double>(song.timebase) / song.tpqn;
    song.lengthTable = buildLengthTable(song.timebase);

    SourceTrackEvents events = collectEvents(file.tracks, offset, song.sourceTrackCount);
    log << "[PREP] programs=" << events.programCount << " bends=" << events.bendCount << " ranges=" << events.rangeCount
        << "\n";
    song.programsByTrack = std::move(events.programs);
    song.modulationByTrack = std::move(events.modulation);
    song.cc12ByTrack = std::move(events.cc12);
    song.bendsByTrack = std::move(events.bends);
    song.bendRangesByTrack = std::move(events.ranges);

    // Pair the notes and send each to its output track.
    // The notes that are routed stay in the list of paired notes, closed up in
    // the same order: a million notes are not copied to a second list.
    BulkList<PreparedNote> routed = pairNotes(file, observer);
    for (MidiTrack& track : file.tracks) track.notes = BulkList<NoteEvent>();  // the pairs hold all they said
    std::vector<std::vector<int32_t>> members(outputCount);
    std::vector<int32_t> drumNotes(static_cast<size_t>(song.sourceTrackCount), 0);
    {
        const int32_t rawCount = count32(routed.size());
        log << "[PREP] notes total(raw)=" << routed.size() << "\n";
        size_t kept = 0;
        for (size_t i = 0; i < routed.size(); ++i) {
            PreparedNote& n = routed[i];
            const int64_t s = int64_t{n.track} - offset;
            if (s < 0 || s >= song.sourceTrackCount) continue;
            const int32_t o = song.routing[static_cast<size_t>(s)];
            if (o < 0 || o >= song.outputTrackCount) continue;
            n.track = static_cast<int32_t>(s);
            if (n.channel == kDrumChannel) ++drumNotes[static_cast<size_t>(s)];
            members[static_cast<size_t>(o)].push_back(count32(kept));
            if (kept != i) routed[kept] = std::move(n);
            ++kept;
        }
        routed.erase(routed.begin() + static_cast<std::ptrdiff_t>(kept), routed.end());
        if (observer) observer->notesRouted(routed, members, rawCount, offset);
    }
    song.drumTracksOffNoise = drumTracksOffNoise(routing, drumNotes, file, offset);

    // From here on each output track is worked on by itself: it is
    // arbitrated, grouped into chords and given its programs into a list of
    // its own.
    const std::vector<bool> home = homeTrackFlags(routing);
    const int32_t threshold = chordThreshold(song.tpqn);
    std::vector<uint8_t> keptInPlace(outputCount, 0);  // not vector<bool>, whose elements share bytes
    std::vector<BulkList<PreparedNote>> pieces(outputCount);
    std::vector<BulkList<PreparedNote>> records(outputCount);

    // One source track sounds at a time on each output track. A track fed by
    // one source track in time order keeps its notes where they are; the
    // others are cut into pieces of their own.
    auto arbitrate = [&](size_t o) {
        if (observer == nullptr && arbitrationKeepsAll(routed, members[o], song.sourceTrackCount)) {
            keptInPlace[o] = 1;
            return;
        }
        arbitrateTrack(pieces[o], routed, members[o], song.sourceTrackCount, home, observer);
        members[o].resize(pieces[o].size());
        std::iota(members[o].begin(), members[o].end(), 0);
    };
    // Chords, then the program in force at each record's start (a track's
    // records come in time order). `firstPosition` is where the track's
    // pieces start among all tracks' pieces, as an observer knows them.
    auto group = [&](size_t o, int32_t firstPosition) {
        const BulkList<PreparedNote>& notes = keptInPlace[o] ? routed : pieces[o];
        records[o] = groupChords(notes, members[o], count32(o), threshold, observer, firstPosition);
        pieces[o] = BulkList<PreparedNote>();  // not "= {}", which empties the list but keeps its memory
        std::vector<ProgramCursor> programs(song.programsByTrack.size(), ProgramCursor(0));
        for (PreparedNote& n : records[o]) {
            const auto track = static_cast<size_t>(n.track);
            n.program = programs[track].at(song.programsByTrack[track], n.startTick);
            if (o == 4) song.dpcmNotes.insert(n.note);
        }
    };
    // All arbitrations before all chords, so that an observer hears the
    // tracks' decisions in that order.
    for (size_t o = 0; o < outputCount; ++o) arbitrate(o);
    int32_t firstPosition = 0;
    for (size_t o = 0; o < outputCount; ++o) {
        const int32_t pieceCount = count32(keptInPlace[o] ? members[o].size() : pieces[o].size());
        group(o, firstPosition);
        firstPosition += pieceCount;
    }
    members = std::vector<std::vector<int32_t>>();

    // The final list, output track 0 first. It takes over the memory of the
    // paired notes, which is in place already (fresh memory for a million
    // notes takes a while to set up), unless chords would leave over a
    // quarter of it unused for the rest of the run.
    std::vector<size_t> firstNote(outputCount + 1, 0);  // where each track's notes start
    for (size_t o = 0; o < outputCount; ++o) firstNote[o + 1] = firstNote[o] + records[o].size();
    const size_t noteCount = firstNote[outputCount];
    if (4 * noteCount >= 3 * routed.capacity()) song.notes = std::move(routed);
    routed = BulkList<PreparedNote>();
    song.notes.resize(noteCount);  // every place is written below
    for (size_t o = 0; o < outputCount; ++o) {
        std::move(records[o].begin(), records[o].end(), song.notes.begin() + static_cast<std::ptrdiff_t>(firstNote[o]));
        records[o] = BulkList<PreparedNote>();
        BulkList<int32_t>& positions = song.trackNotes[o];
        positions.resize(firstNote[o + 1] - firstNote[o]);
        std::iota(positions.begin(), positions.end(), count32(firstNote[o]));
    }

    for (int32_t o = 0; o < song.outputTrackCount; ++o) {
        log << "[TRACK " << o + 1 << "] notes=" << song.trackNotes[static_cast<size_t>(o)].size() << "\n";
    }

    return song;
}

}  // namespace tonequill
