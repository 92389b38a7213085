#include "prep/prepare_song.h"

#include <algorithm>
#include <cstddef>
#include <string>
#include <utility>

#include "envelope/assign_envelopes.h"
#include "envelope/combinations.h"
#include "prep/chords.h"
#include "prep/conversion_error.h"
#include "prep/event_collection.h"
#include "prep/length_table.h"
#include "prep/note_extraction.h"
#include "prep/routing.h"
#include "prep/tick_cursor.h"
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

void prepareSong(PreparedSong& song, MappingTables& tables, const MidiFile& file, std::ostream& log,
                 PrepObserver* observer) {
    song = PreparedSong{};
    if (file.ticksPerQuarter < 1) throw ConversionError("the file gives 0 ticks per quarter note");

    reportTempo(file, log);
    log << "[PREP] tpqn=" << file.ticksPerQuarter << "\n";

    const int32_t rawTrackCount = count32(file.tracks.size());
    const int32_t offset = hasConductorTrack(file) ? 1 : 0;
    song.sourceTrackCount = std::max(rawTrackCount - offset, 0);
    song.title = file.title;

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

    SourceTrackEvents events;
    {
        const CollectedEvents collected = collectEvents(file);
        log << "[PREP] programs=" << collected.programs.size() << " bends=" << collected.bends.size()
            << " ranges=" << collected.ranges.size() << "\n";
        events = distributeEvents(collected, offset, song.sourceTrackCount);
    }
    song.programsByTrack = std::move(events.programs);
    song.modulationByTrack = std::move(events.modulation);
    song.cc12ByTrack = std::move(events.cc12);

    // Pair the notes and send each to its output track.
    // The notes that are routed stay in the list of paired notes, closed up in
    // the same order: a million notes are not copied to a second list.
    std::vector<PreparedNote> routed = pairNotes(file, observer);
    std::vector<std::vector<int32_t>> members(outputCount);
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
            members[static_cast<size_t>(o)].push_back(count32(kept));
            if (kept != i) routed[kept] = std::move(n);
            ++kept;
        }
        routed.erase(routed.begin() + static_cast<std::ptrdiff_t>(kept), routed.end());
        if (observer) observer->notesRouted(routed, members, rawCount, offset);
    }

    // One source track sounds at a time on each output track. A track fed by
    // one source track in time order keeps its notes where they are; the
    // pieces of the others go to a list of their own.
    const std::vector<bool> home = homeTrackFlags(routing);
    std::vector<PreparedNote> arbitrated;
    std::vector<bool> keptInPlace(outputCount, false);
    size_t noteCount = 0;
    for (size_t o = 0; o < outputCount; ++o) {
        std::vector<int32_t>& list = members[o];
        if (observer == nullptr && arbitrationKeepsAll(routed, list, song.sourceTrackCount)) {
            keptInPlace[o] = true;
        } else {
            const size_t first = arbitrated.size();
            arbitrateTrack(arbitrated, routed, list, song.sourceTrackCount, home, observer);
            list.clear();
            for (size_t i = first; i < arbitrated.size(); ++i) list.push_back(count32(i));
        }
        noteCount += list.size();
    }

    // Chords, programs and the final note lists.
    const int32_t threshold = chordThreshold(song.tpqn);
    song.notes.reserve(noteCount);
    for (int32_t o = 0; o < song.outputTrackCount; ++o) {
        const size_t first = song.notes.size();
        const auto track = static_cast<size_t>(o);
        groupChords(song.notes, keptInPlace[track] ? routed : arbitrated, members[track], o, threshold, observer);
        std::vector<int32_t>& positions = song.trackNotes[static_cast<size_t>(o)];
        positions.reserve(song.notes.size() - first);
        // A track's notes come in time order.
        std::vector<ProgramCursor> programs(song.programsByTrack.size(), ProgramCursor(0));
        for (size_t i = first; i < song.notes.size(); ++i) {
            PreparedNote& n = song.notes[i];
            const auto track = static_cast<size_t>(n.track);
            n.program = programs[track].at(song.programsByTrack[track], n.startTick);
            if (o == 4) song.dpcmNotes.insert(n.note);
            positions.push_back(count32(i));
        }
    }
    routed = std::vector<PreparedNote>();  // not "= {}", which empties the list but keeps its memory
    arbitrated = std::vector<PreparedNote>();
    members = std::vector<std::vector<int32_t>>();

    for (int32_t o = 0; o < song.outputTrackCount; ++o) {
        log << "[TRACK " << o + 1 << "] notes=" << song.trackNotes[static_cast<size_t>(o)].size() << "\n";
    }

    log << "[ENV] assign start\n";
    assignEnvelopes(tables, song, events.bends, events.ranges, log);
    log << "[ENV] assign done\n";

    log << "[COMBO] build start\n";
    buildCombinations(tables, song);
    log << "[COMBO] total=" << song.combos.size() << "\n";

    log << "[PREP] ===== end =====\n";
}

}  // namespace tonequill
