#include "report/song_report.h"

#include <algorithm>
#include <map>

#include "report/bar_beat.h"

namespace tonequill {

const char* fateName(Fate fate) {
    switch (fate) {
        case Fate::unchanged: return "unchanged";
        case Fate::cut: return "cut";
        case Fate::merged: return "merged into a chord";
        case Fate::dropped: return "dropped";
    }
    return "";
}

const char* reasonText(Reason reason) {
    switch (reason) {
        case Reason::none: return "";
        case Reason::lostTime: return "lost time to another source track";
        case Reason::cutByNext: return "stops where the next note starts";
        case Reason::partDropped: return "a part of it did not reach the output";
        case Reason::chord: return "sounds as part of a chord";
        case Reason::neverReleased: return "note-on never released";
        case Reason::zeroLength: return "note-on and note-off at the same tick";
        case Reason::lostWhole: return "another source track had all of its time";
        case Reason::droppedInGroup: return "another note of its group kept (TR4, TR5)";
        case Reason::cutToNothing: return "cut to nothing by the next note";
        case Reason::belowGrid: return "shorter than one MML tick";
        case Reason::noSourceTrack: return "on the conductor track";
    }
    return "";
}

namespace {

enum class Role { none, chordMember, keptAlone, droppedInGroup };

// How one group of the chord step ended.
struct GroupEnd {
    bool cut = false;
    bool emptied = false;
    bool belowGrid = false;
    int32_t finalEnd = 0;
};

using RecordKey = std::pair<int32_t, int32_t>;  // output index, start tick

int32_t count32(size_t n) { return static_cast<int32_t>(n); }

}  // namespace

SongReport buildSongReport(const DecisionRecorder& rec, const PreparedSong& song) {
    SongReport report;
    report.conductorOffset = rec.conductorOffset;
    auto outputOfSource = [&](int32_t source) {
        return source >= 0 && static_cast<size_t>(source) < song.routing.size() ? song.routing[static_cast<size_t>(source)]
                                                                               : -1;
    };

    // Notes as paired, each on its output track.
    std::vector<int32_t> outputOf(rec.routed.size(), -1);
    for (size_t o = 0; o < rec.membersByOutput.size(); ++o) {
        for (int32_t k : rec.membersByOutput[o]) outputOf[static_cast<size_t>(k)] = static_cast<int32_t>(o);
    }
    for (size_t k = 0; k < rec.routed.size(); ++k) {
        const PreparedNote& n = rec.routed[k];
        NoteStory s;
        s.sourceTrack = n.track;
        s.outputIndex = outputOf[k];
        s.channel = n.channel;
        s.note = n.note;
        s.startTick = n.startTick;
        s.endTick = n.endTick;
        s.velocity = n.velocity;
        report.notes.push_back(s);
    }
    const size_t pairedCount = report.notes.size();

    auto addDecision = [&](Decision d) { report.decisions.push_back(std::move(d)); };

    for (const auto& on : rec.unreleased) {
        NoteStory s;
        s.sourceTrack = on.rawTrack - rec.conductorOffset;
        s.outputIndex = outputOfSource(s.sourceTrack);
        if (s.outputIndex < 0) s.sourceTrack = -1;
        s.channel = on.channel;
        s.note = on.note;
        s.startTick = on.tick;
        s.endTick = on.tick;
        s.velocity = on.velocity;
        s.fate = Fate::dropped;
        s.reason = Reason::neverReleased;
        Decision d;
        d.kind = DecisionKind::unreleased;
        d.outputIndex = s.outputIndex;
        d.tick = on.tick;
        d.notes = {count32(report.notes.size())};
        addDecision(d);
        report.notes.push_back(s);
    }
    for (const auto& off : rec.strayOffs) {
        Decision d;
        d.kind = DecisionKind::strayNoteOff;
        d.sourceTrack = off.rawTrack - rec.conductorOffset;
        d.outputIndex = outputOfSource(d.sourceTrack);
        if (d.outputIndex < 0) d.sourceTrack = -1;
        d.tick = off.tick;
        d.pitch = off.note;
        d.channel = off.channel;
        addDecision(d);
        ++report.strayNoteOffs;
    }
    // Paired notes that no source track holds (the conductor track's).
    for (int32_t i = count32(rec.routed.size()); i < rec.rawNoteCount; ++i) {
        NoteStory s;
        s.fate = Fate::dropped;
        s.reason = Reason::noSourceTrack;
        report.notes.push_back(s);
    }

    std::vector<std::vector<Span>> lostOf(pairedCount);
    for (const auto& l : rec.lost) {
        lostOf[static_cast<size_t>(l.routedPosition)].push_back(Span{l.start, l.end});
        Decision d;
        d.kind = DecisionKind::sliceLost;
        d.outputIndex = outputOf[static_cast<size_t>(l.routedPosition)];
        d.tick = l.start;
        d.endTick = l.end;
        d.notes = {l.routedPosition};
        d.otherTrack = l.winnerTrack;
        addDecision(d);
    }

    // Pieces into groups.
    std::vector<int32_t> groupOf(rec.pieces.size(), -1);
    std::vector<Role> roleOf(rec.pieces.size(), Role::none);
    std::map<RecordKey, int32_t> groupAt;
    auto storiesOf = [&](const std::vector<int32_t>& positions) {
        std::vector<int32_t> stories;
        for (int32_t p : positions) stories.push_back(rec.pieceOrigins[static_cast<size_t>(p)]);
        return stories;
    };
    for (size_t g = 0; g < rec.groups.size(); ++g) {
        const auto& group = rec.groups[g];
        groupAt[{group.outputIndex, group.record.startTick}] = count32(g);
        for (size_t i = 0; i < group.members.size(); ++i) {
            const auto p = static_cast<size_t>(group.members[i]);
            groupOf[p] = count32(g);
            const bool last = i + 1 == group.members.size();
            roleOf[p] = group.chord ? Role::chordMember : last ? Role::keptAlone : Role::droppedInGroup;
        }
        if (group.chord) {
            ++report.chordsFormed;
            Decision d;
            d.kind = DecisionKind::chordFormed;
            d.outputIndex = group.outputIndex;
            d.tick = group.record.startTick;
            d.endTick = group.record.endTick;
            d.notes = storiesOf(group.members);
            d.record = group.record;
            addDecision(d);
        } else if (group.members.size() >= 2) {
            Decision d;
            d.kind = DecisionKind::groupDropped;
            d.outputIndex = group.outputIndex;
            d.tick = rec.pieces[static_cast<size_t>(group.members.front())].startTick;
            d.endTick = group.record.endTick;
            std::vector<int32_t> dropped(group.members.begin(), group.members.end() - 1);
            d.notes = storiesOf(dropped);
            d.keptNote = rec.pieceOrigins[static_cast<size_t>(group.members.back())];
            d.record = group.record;
            addDecision(d);
        }
    }

    std::vector<GroupEnd> ends(rec.groups.size());
    for (size_t g = 0; g < rec.groups.size(); ++g) ends[g].finalEnd = rec.groups[g].record.endTick;
    auto groupFor = [&](int32_t o, int32_t start) {
        const auto found = groupAt.find({o, start});
        return found == groupAt.end() ? -1 : found->second;
    };
    for (const auto& c : rec.cuts) {
        const int32_t g = groupFor(c.outputIndex, c.record.startTick);
        Decision d;
        d.kind = DecisionKind::overlapCut;
        d.outputIndex = c.outputIndex;
        d.tick = c.record.startTick;
        d.endTick = c.record.endTick;
        d.newEnd = c.newEnd;
        d.record = c.record;
        if (g >= 0) {
            ends[static_cast<size_t>(g)].cut = true;
            ends[static_cast<size_t>(g)].finalEnd = c.newEnd;
            d.notes = storiesOf(rec.groups[static_cast<size_t>(g)].members);
        }
        addDecision(d);
    }
    for (const auto& e : rec.emptied) {
        const int32_t g = groupFor(e.outputIndex, e.record.startTick);
        Decision d;
        d.kind = DecisionKind::emptyDropped;
        d.outputIndex = e.outputIndex;
        d.tick = e.record.startTick;
        d.endTick = e.record.endTick;
        d.record = e.record;
        if (g >= 0) {
            ends[static_cast<size_t>(g)].emptied = true;
            d.notes = storiesOf(rec.groups[static_cast<size_t>(g)].members);
        }
        addDecision(d);
    }

    // The final records, on the MML grid.
    for (size_t o = 0; o < song.trackNotes.size(); ++o) {
        for (int32_t position : song.trackNotes[o]) {
            const PreparedNote& n = song.notes[static_cast<size_t>(position)];
            if (mmlTickOf(n.startTick, song.tickScale) != mmlTickOf(n.endTick, song.tickScale)) continue;
            const int32_t g = groupFor(static_cast<int32_t>(o), n.startTick);
            Decision d;
            d.kind = DecisionKind::belowGrid;
            d.outputIndex = static_cast<int32_t>(o);
            d.tick = n.startTick;
            d.endTick = n.endTick;
            d.record = n;
            if (g >= 0) {
                ends[static_cast<size_t>(g)].belowGrid = true;
                d.notes = storiesOf(rec.groups[static_cast<size_t>(g)].members);
            }
            addDecision(d);
        }
    }

    // Each paired note's fate.
    std::vector<std::vector<size_t>> piecesOf(pairedCount);
    for (size_t p = 0; p < rec.pieceOrigins.size(); ++p) piecesOf[static_cast<size_t>(rec.pieceOrigins[p])].push_back(p);
    for (size_t k = 0; k < pairedCount; ++k) {
        NoteStory& s = report.notes[k];
        if (s.startTick >= s.endTick) {
            s.fate = Fate::dropped;
            s.reason = Reason::zeroLength;
            Decision d;
            d.kind = DecisionKind::zeroLength;
            d.outputIndex = s.outputIndex;
            d.tick = s.startTick;
            d.notes = {count32(k)};
            addDecision(d);
            continue;
        }
        bool inChord = false, anyCut = false, anyLost = false, reachedGrid = false, emptied = false;
        for (size_t p : piecesOf[k]) {
            const int32_t g = groupOf[p];
            if (g < 0 || roleOf[p] == Role::droppedInGroup) {
                anyLost = true;
                continue;
            }
            const GroupEnd& end = ends[static_cast<size_t>(g)];
            if (end.emptied || end.belowGrid) {
                anyLost = true;
                reachedGrid = reachedGrid || end.belowGrid;
                emptied = emptied || end.emptied;
                continue;
            }
            const PreparedNote& piece = rec.pieces[p];
            s.sounding.push_back(Span{piece.startTick, std::max(piece.startTick, std::min(piece.endTick, end.finalEnd))});
            inChord = inChord || roleOf[p] == Role::chordMember;
            anyCut = anyCut || end.cut;
        }
        if (s.sounding.empty()) {
            s.fate = Fate::dropped;
            s.reason = piecesOf[k].empty() ? Reason::lostWhole
                       : reachedGrid       ? Reason::belowGrid
                       : emptied           ? Reason::cutToNothing
                                           : Reason::droppedInGroup;
        } else if (inChord) {
            s.fate = Fate::merged;
            s.reason = Reason::chord;
        } else if (!lostOf[k].empty()) {
            s.fate = Fate::cut;
            s.reason = Reason::lostTime;
        } else if (anyCut) {
            s.fate = Fate::cut;
            s.reason = Reason::cutByNext;
        } else if (anyLost) {
            s.fate = Fate::cut;
            s.reason = Reason::partDropped;
        }
    }

    std::stable_sort(report.decisions.begin(), report.decisions.end(), [](const Decision& a, const Decision& b) {
        if (a.outputIndex != b.outputIndex) return a.outputIndex < b.outputIndex;
        return a.tick < b.tick;
    });
    return report;
}

}  // namespace tonequill
