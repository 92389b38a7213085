#pragma once

#include <cstdint>
#include <vector>

#include "prep/prep_observer.h"
#include "common/prepared_song.h"

namespace tonequill {

// Keeps every decision that preparation reports, as it was reported; the
// song report is built from it once preparation is done.
class DecisionRecorder : public PrepObserver {
public:
    struct PendingNoteOn {
        int32_t rawTrack = 0;
        int32_t channel = 0;
        int32_t note = 0;
        int32_t tick = 0;
        int32_t velocity = 0;
    };
    struct StrayNoteOff {
        int32_t rawTrack = 0;
        int32_t channel = 0;
        int32_t note = 0;
        int32_t tick = 0;
    };
    struct LostSlice {
        int32_t routedPosition = 0;
        int32_t start = 0;
        int32_t end = 0;
        int32_t winnerTrack = 0;
    };
    struct Group {
        int32_t outputIndex = 0;
        std::vector<int32_t> members;  // positions in the arbitrated list
        bool chord = false;
        PreparedNote record;
    };
    struct Cut {
        int32_t outputIndex = 0;
        PreparedNote record;  // with its old end
        int32_t newEnd = 0;
    };
    struct Emptied {
        int32_t outputIndex = 0;
        PreparedNote record;
    };

    void unreleasedNoteOn(int32_t rawTrack, int32_t channel, int32_t note, int32_t tick, int32_t velocity) override {
        unreleased.push_back(PendingNoteOn{rawTrack, channel, note, tick, velocity});
    }
    void unmatchedNoteOff(int32_t rawTrack, int32_t channel, int32_t note, int32_t tick) override {
        strayOffs.push_back(StrayNoteOff{rawTrack, channel, note, tick});
    }
    void notesRouted(const BulkList<PreparedNote>& routedNotes, const std::vector<std::vector<int32_t>>& members,
                     int32_t rawNotes, int32_t offset) override {
        routed.assign(routedNotes.begin(), routedNotes.end());
        membersByOutput = members;
        rawNoteCount = rawNotes;
        conductorOffset = offset;
    }
    void sliceLost(int32_t routedPosition, int32_t start, int32_t end, int32_t winnerTrack) override {
        lost.push_back(LostSlice{routedPosition, start, end, winnerTrack});
    }
    void piecesKept(const BulkList<PreparedNote>& kept, const std::vector<int32_t>& origins) override {
        pieces.insert(pieces.end(), kept.begin(), kept.end());
        pieceOrigins.insert(pieceOrigins.end(), origins.begin(), origins.end());
    }
    void notesGrouped(int32_t outputIndex, const std::vector<int32_t>& members, bool chord,
                      const PreparedNote& record) override {
        groups.push_back(Group{outputIndex, members, chord, record});
    }
    void overlapCut(int32_t outputIndex, const PreparedNote& record, int32_t newEnd) override {
        cuts.push_back(Cut{outputIndex, record, newEnd});
    }
    void emptyRecordDropped(int32_t outputIndex, const PreparedNote& record) override {
        emptied.push_back(Emptied{outputIndex, record});
    }

    // Copies on the heap: the recorder outlives the run's own lists.
    std::vector<PendingNoteOn> unreleased;
    std::vector<StrayNoteOff> strayOffs;
    std::vector<PreparedNote> routed;                // source track in `track`
    std::vector<std::vector<int32_t>> membersByOutput;  // positions in `routed`
    int32_t rawNoteCount = 0;
    int32_t conductorOffset = 0;
    std::vector<LostSlice> lost;
    std::vector<PreparedNote> pieces;  // the arbitrated list, all output tracks in order
    std::vector<int32_t> pieceOrigins;  // per piece, its position in `routed`
    std::vector<Group> groups;
    std::vector<Cut> cuts;
    std::vector<Emptied> emptied;
};

}  // namespace tonequill
