#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "midi/midi_reader.h"
#include "midi_builder.h"
#include "prep/prepare_song.h"
#include "report/decision_recorder.h"
#include "report/song_report.h"

namespace tonequill {
namespace {

using testing::TrackBuilder;

SongReport reportOf(const std::vector<TrackBuilder>& tracks, PreparedSong& song) {
    MidiFile file;
    std::string reason;
    EXPECT_TRUE(readMidiBytes(file, testing::buildMidi(tracks, 480), reason)) << reason;
    DecisionRecorder recorder;
    std::ostringstream log;
    song = prepareSong(file, log, &recorder);
    return buildSongReport(recorder, song);
}

// A home track's two notes leave a directed note two pieces of its time; a
// legato line is cut note by note; the stories keep what actually sounds.
TEST(SongReport, FollowsEachNoteToWhatSounds) {
    TrackBuilder home;  // source track 0: TR1
    home.note(0, 480, 0, 60).note(960, 1440, 0, 62);
    TrackBuilder directed;  // source track 1, sent to TR1 as well
    directed.name(0, "trx1").note(0, 1920, 1, 67);
    TrackBuilder legato;  // source track 2: TR3
    legato.note(0, 600, 2, 48).note(480, 1000, 2, 50);
    PreparedSong song;
    const SongReport report = reportOf({home, directed, legato}, song);

    ASSERT_EQ(report.notes.size(), 5u);
    const NoteStory& g = report.notes[2];  // paired notes come in track order
    EXPECT_EQ(g.note, 67);
    EXPECT_EQ(g.fate, Fate::cut);
    EXPECT_EQ(g.reason, Reason::lostTime);
    ASSERT_EQ(g.sounding.size(), 2u);
    EXPECT_EQ(g.sounding[0].start, 480);
    EXPECT_EQ(g.sounding[0].end, 960);
    EXPECT_EQ(g.sounding[1].start, 1440);
    EXPECT_EQ(g.sounding[1].end, 1920);
    EXPECT_EQ(report.notes[0].fate, Fate::unchanged);
    EXPECT_EQ(report.notes[3].fate, Fate::cut);
    EXPECT_EQ(report.notes[3].reason, Reason::cutByNext);
    ASSERT_EQ(report.notes[3].sounding.size(), 1u);
    EXPECT_EQ(report.notes[3].sounding[0].end, 480);
    EXPECT_EQ(report.notes[4].fate, Fate::unchanged);

    int lostSlices = 0;
    for (const Decision& d : report.decisions) {
        if (d.kind != DecisionKind::sliceLost) continue;
        ++lostSlices;
        EXPECT_EQ(d.otherTrack, 0);
        EXPECT_EQ(d.notes, std::vector<int32_t>{2});
    }
    EXPECT_EQ(lostSlices, 2);
}

}  // namespace
}  // namespace tonequill
