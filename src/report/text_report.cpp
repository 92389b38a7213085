#include "report/text_report.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "common/channel_layout.h"
#include "prep/routing.h"

namespace tonequill {
namespace {

std::string padRight(std::string text, size_t width) {
    if (text.size() < width) text.append(width - text.size(), ' ');
    return text;
}

std::string joined(const std::vector<std::string>& parts, const std::string& separator) {
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) out += (i ? separator : "") + parts[i];
    return out;
}

std::string joined(const TokenRuns& tokens, const std::string& separator) {
    std::string out;
    bool first = true;
    for (const TokenRun& run : tokens.runs) {
        for (int32_t i = 0; i < run.count; ++i, first = false) out += (first ? "" : separator) + tokens.token(run);
    }
    return out;
}

std::string plural(int64_t count, const std::string& one, const std::string& many) {
    return std::to_string(count) + " " + (count == 1 ? one : many);
}

class TextReport {
public:
    TextReport(std::ostream& out, const ReportView& view) : out_(out), v_(view) {}

    void write() {
        header();
        hints();
        problems();
        summary();
        sourceTracks();
        outputTracks();
        voices();
        envelopes();
        tempo();
    }

private:
    const NoteStory& story(int32_t i) const { return v_.report.notes[static_cast<size_t>(i)]; }

    // "E4 (track 3 \"pad\")"; drum and sample notes also give their number.
    std::string noteLabel(int32_t i, bool withTrack = true) const {
        const NoteStory& s = story(i);
        std::string label = noteName(s.note);
        if (s.outputIndex == 3 || s.outputIndex == 4) label += " (" + std::to_string(s.note) + ")";
        if (withTrack) label += " from " + sourceTrackLabel(v_, s.sourceTrack);
        return label;
    }

    std::string notesOf(const std::vector<int32_t>& ids) const {
        std::vector<std::string> names;
        for (int32_t i : ids) names.push_back(noteLabel(i, false));
        return joined(names, " ");
    }

    // How long `ticks` is, as the musician counts it at `at`.
    std::string duration(int64_t ticks, int64_t at) const {
        std::string text = plural(ticks, "tick", "ticks");
        const auto& meters = v_.clock.meters();
        auto it = std::upper_bound(meters.begin(), meters.end(), std::max<int64_t>(at, 0),
                                   [](int64_t t, const MeterSpan& m) { return t < m.tick; });
        const int64_t beat = std::prev(it)->beatTicks;
        if (beat > 0 && ticks > 0) {
            const int64_t g = std::gcd(ticks, beat);
            const int64_t num = ticks / g;
            const int64_t den = beat / g;
            if (den == 1) text += " (" + plural(num, "beat", "beats") + ")";
            else if (den <= 16) text += " (" + std::to_string(num) + "/" + std::to_string(den) + " beat)";
        }
        return text;
    }

    void header() {
        const PreparedSong& song = v_.song;
        out_ << "Tonequill report: " << printableText(v_.inputPath) << "\n";
        out_ << "Mapping file: " << printableText(v_.mappingPath)
             << (v_.mappingOpened ? "" : " (not found: voices and envelopes use their defaults)") << "\n";
        if (!song.title.empty()) out_ << "Title: " << printableText(song.title) << "\n";
        out_ << "Timing: " << song.tpqn << " ticks per quarter note; starting tempo " << song.initialBpm
             << " BPM; MML timebase " << song.timebase << " (a whole note is " << song.wholeNoteTicks
             << " MML ticks)\n";
        out_ << "Meter: ";
        if (!v_.clock.fromFile()) {
            out_ << "4/4 (the file has no time signature)\n";
        } else {
            std::vector<std::string> parts;
            for (const MeterSpan& m : v_.clock.meters()) {
                parts.push_back(std::to_string(m.numerator) + "/" + std::to_string(m.denominator) + " from bar " +
                                std::to_string(m.firstBar));
            }
            out_ << joined(parts, ", ") << "\n";
        }
        out_ << "Positions are bar:beat or bar:beat:tick (bars and beats from 1, ticks into the beat);\n"
                "\"(MML bar N)\" marks a place whose bar in the output's whole-note grid differs.\n"
                "Tracks are counted from 1 in file order; C4 is MIDI note 60.\n\n";
    }

    // What the converter logged as hints, as it logged them.
    void hints() {
        if (v_.hints.empty()) return;
        out_ << "HINTS\n";
        for (const std::string& line : v_.hints) out_ << "  " << line << "\n";
        out_ << "\n";
    }

    // The kinds of loss, in the order the report lists them; chords are no loss.
    enum class Problem {
        neverReleased,
        zeroLength,
        lostWhole,
        droppedInGroup,
        cutToNothing,
        belowGrid,
        lostTime,
        cutByNext,
        strayNoteOff,
        none,
    };

    bool losesWholeNote(const Decision& d) const {
        const NoteStory& s = story(d.notes.front());
        return d.tick <= s.startTick && d.endTick >= s.endTick;
    }

    Problem problemOf(const Decision& d) const {
        switch (d.kind) {
            case DecisionKind::sliceLost: return losesWholeNote(d) ? Problem::lostWhole : Problem::lostTime;
            case DecisionKind::chordFormed: return Problem::none;
            case DecisionKind::groupDropped: return Problem::droppedInGroup;
            case DecisionKind::overlapCut: return Problem::cutByNext;
            case DecisionKind::emptyDropped: return Problem::cutToNothing;
            case DecisionKind::belowGrid: return Problem::belowGrid;
            case DecisionKind::zeroLength: return Problem::zeroLength;
            case DecisionKind::unreleased: return Problem::neverReleased;
            case DecisionKind::strayNoteOff: return Problem::strayNoteOff;
        }
        return Problem::none;
    }

    // "Dropped (2 notes): another note of its group kept (TR4, TR5)".
    static std::string problemHeading(Problem p, const std::string& count) {
        const auto dropped = [&](Reason r) { return "Dropped (" + count + "): " + reasonText(r); };
        const auto cut = [&](Reason r) { return "Cut (" + count + "): " + reasonText(r); };
        switch (p) {
            case Problem::neverReleased: return dropped(Reason::neverReleased);
            case Problem::zeroLength: return dropped(Reason::zeroLength);
            case Problem::lostWhole: return dropped(Reason::lostWhole);
            case Problem::droppedInGroup: return dropped(Reason::droppedInGroup);
            case Problem::cutToNothing: return dropped(Reason::cutToNothing);
            case Problem::belowGrid: return dropped(Reason::belowGrid);
            case Problem::lostTime: return cut(Reason::lostTime);
            case Problem::cutByNext: return cut(Reason::cutByNext);
            case Problem::strayNoteOff: return "Ignored (" + count + "): without a note-on";
            case Problem::none: break;
        }
        return "";
    }

    // Every note dropped, cut or lost, by kind, then by the bar where it
    // happens, each with its output track and what happened.
    void problems() {
        out_ << "PROBLEMS\n";
        const auto kinds = static_cast<size_t>(Problem::none);
        std::vector<std::vector<const Decision*>> byKind(kinds);
        for (const Decision& d : v_.report.decisions) {
            const Problem p = problemOf(d);
            if (p != Problem::none) byKind[static_cast<size_t>(p)].push_back(&d);
        }
        bool any = false;
        for (size_t k = 0; k < kinds; ++k) {
            std::vector<const Decision*>& list = byKind[k];
            if (list.empty()) continue;
            any = true;
            // By place; where two tracks lose a note at one tick, lower tracks first.
            std::stable_sort(list.begin(), list.end(),
                             [](const Decision* a, const Decision* b) { return a->tick < b->tick; });
            const auto kind = static_cast<Problem>(k);
            std::set<int32_t> notes;
            for (const Decision* d : list) notes.insert(d->notes.begin(), d->notes.end());
            const std::string count = kind == Problem::strayNoteOff
                                          ? plural(static_cast<int64_t>(list.size()), "note-off", "note-offs")
                                          : plural(static_cast<int64_t>(notes.size()), "note", "notes");
            out_ << problemHeading(kind, count) << "\n";
            problemLines(list);
        }
        if (!any) out_ << "  none: every note reaches the output, whole or as part of a chord\n";
        out_ << "\n";
    }

    // The bar on the first line of each bar only; places and tracks in columns.
    void problemLines(const std::vector<const Decision*>& list) {
        struct Row {
            std::string bar, where, track, what;
        };
        std::vector<Row> rows;
        size_t barWidth = 0, whereWidth = 0, trackWidth = 0;
        int64_t lastBar = 0;
        for (const Decision* d : list) {
            const int64_t bar = v_.clock.at(d->tick).bar;
            auto [where, what] = decision(*d);
            Row row{bar == lastBar && !rows.empty() ? "" : "bar " + std::to_string(bar), std::move(where),
                    d->outputIndex >= 0 ? "TR" + std::to_string(d->outputIndex + 1) : "-", std::move(what)};
            lastBar = bar;
            barWidth = std::max(barWidth, row.bar.size());
            whereWidth = std::max(whereWidth, row.where.size());
            trackWidth = std::max(trackWidth, row.track.size());
            rows.push_back(std::move(row));
        }
        for (const Row& r : rows) {
            out_ << "  " << padRight(r.bar, barWidth) << "  " << padRight(r.where, whereWidth) << "  "
                 << padRight(r.track, trackWidth) << "  " << r.what << "\n";
        }
    }

    void summary() {
        std::map<Fate, int64_t> byFate;
        std::map<std::pair<Fate, Reason>, int64_t> byReason;
        for (const NoteStory& s : v_.report.notes) {
            ++byFate[s.fate];
            if (s.reason != Reason::none) ++byReason[{s.fate, s.reason}];
        }
        out_ << "SUMMARY\n";
        auto line = [&](const std::string& label, int64_t count, const std::string& note = "") {
            out_ << "  " << padRight(label, 46) << count << note << "\n";
        };
        auto reasons = [&](Fate fate) {
            for (const auto& [key, count] : byReason) {
                if (key.first == fate) line(std::string("  ") + reasonText(key.second), count);
            }
        };
        line("Notes in the file", static_cast<int64_t>(v_.report.notes.size()));
        line("Reach the output unchanged", byFate[Fate::unchanged]);
        line("Cut", byFate[Fate::cut]);
        reasons(Fate::cut);
        line("Merged into chords", byFate[Fate::merged],
             byFate[Fate::merged] ? "  (" + plural(v_.report.chordsFormed, "chord", "chords") + ")" : "");
        line("Dropped", byFate[Fate::dropped]);
        reasons(Fate::dropped);
        if (v_.report.strayNoteOffs > 0) line("Note-offs without a note-on (ignored)", v_.report.strayNoteOffs);
        out_ << "\n";
    }

    void sourceTracks() {
        out_ << "SOURCE TRACKS\n";
        if (v_.report.conductorOffset == 1) {
            std::string name = v_.file.trackNames.empty() ? "" : v_.file.trackNames[0];
            out_ << "  track 1" << (name.empty() ? "" : " \"" + printableText(name) + "\"")
                 << ": conductor track (tempo and names; plays no notes)\n";
        }
        std::vector<int64_t> counts(v_.song.routing.size(), 0);
        for (const NoteStory& s : v_.report.notes) {
            if (s.sourceTrack >= 0 && static_cast<size_t>(s.sourceTrack) < counts.size()) ++counts[static_cast<size_t>(s.sourceTrack)];
        }
        for (size_t t = 0; t < v_.song.routing.size(); ++t) {
            const int32_t o = v_.song.routing[t];
            out_ << "  " << sourceTrackLabel(v_, static_cast<int32_t>(t)) << ": " << plural(counts[t], "note", "notes")
                 << " -> " << outputTrackLabel(o) << ", " << (directive(t) ? "by its name's trx directive" : "by default")
                 << "; " << (isHome(t) ? "home track there" : "not the home track there") << "\n";
        }
        if (v_.song.routing.empty()) out_ << "  (none)\n";
        out_ << "\n";
    }

    bool directive(size_t t) const {
        const size_t raw = t + static_cast<size_t>(v_.report.conductorOffset);
        return raw < v_.file.trackNames.size() && parseDirective(v_.file.trackNames[raw]);
    }
    static bool parseDirective(const std::string& name) {
        try {
            return parseTrackDirective(name) >= 0;
        } catch (const std::exception&) {
            return false;
        }
    }
    bool isHome(size_t t) const { return !directive(t) && v_.song.routing[t] == static_cast<int32_t>(t); }

    void outputTracks() {
        out_ << "OUTPUT TRACKS\n";
        std::vector<std::vector<const Decision*>> byTrack(v_.song.trackNotes.size());
        std::vector<const Decision*> elsewhere;
        for (const Decision& d : v_.report.decisions) {
            if (d.outputIndex >= 0 && static_cast<size_t>(d.outputIndex) < byTrack.size()) {
                byTrack[static_cast<size_t>(d.outputIndex)].push_back(&d);
            } else {
                elsewhere.push_back(&d);
            }
        }
        std::vector<std::string> empty;
        for (size_t o = 0; o < byTrack.size(); ++o) {
            std::vector<std::string> sources;
            for (size_t t = 0; t < v_.song.routing.size(); ++t) {
                if (v_.song.routing[t] != static_cast<int32_t>(o)) continue;
                sources.push_back(sourceTrackLabel(v_, static_cast<int32_t>(t)) + (isHome(t) ? " (home)" : ""));
            }
            if (sources.empty() && byTrack[o].empty()) {
                empty.push_back("TR" + std::to_string(o + 1));
                continue;
            }
            out_ << outputTrackLabel(static_cast<int32_t>(o)) << ": "
                 << plural(static_cast<int64_t>(v_.song.trackNotes[o].size()), "note or chord", "notes or chords")
                 << " to write, from " << (sources.empty() ? "no track" : joined(sources, ", ")) << "\n";
            if (byTrack[o].empty()) out_ << "  every note as played\n";
            decisionsOrTally(byTrack[o]);
        }
        if (!elsewhere.empty()) {
            out_ << "No output track:\n";
            decisionsOrTally(elsewhere);
        }
        if (!empty.empty()) out_ << "Empty output tracks: " << joined(empty, ", ") << "\n";
        out_ << "\n";
    }

    // With --all every decision; otherwise how many are problems, listed
    // under PROBLEMS, and how many chords.
    void decisionsOrTally(const std::vector<const Decision*>& list) {
        if (v_.listChords) {
            decisions(list);
            return;
        }
        if (list.empty()) return;
        int64_t chords = 0;
        for (const Decision* d : list) chords += d->kind == DecisionKind::chordFormed ? 1 : 0;
        const int64_t problems = static_cast<int64_t>(list.size()) - chords;
        std::vector<std::string> parts;
        if (problems > 0) parts.push_back("problems: " + std::to_string(problems) + " (listed under PROBLEMS)");
        if (chords > 0) parts.push_back("chords: " + std::to_string(chords) + " (listed with --all)");
        out_ << "  " << joined(parts, "; ") << "\n";
    }

    // One line per decision, the places in a column as wide as the longest.
    void decisions(const std::vector<const Decision*>& list) {
        std::vector<std::pair<std::string, std::string>> lines;
        size_t width = 0;
        for (const Decision* d : list) {
            lines.push_back(decision(*d));
            width = std::max(width, lines.back().first.size());
        }
        for (const auto& [where, what] : lines) out_ << "  " << padRight(where, width) << "  " << what << "\n";
    }

    std::pair<std::string, std::string> decision(const Decision& d) const {
        const BarBeatClock& c = v_.clock;
        std::string where = c.place(d.tick);
        std::string what;
        switch (d.kind) {
            case DecisionKind::sliceLost: {
                where += " - " + c.place(d.endTick);
                const bool whole = losesWholeNote(d);
                what = noteLabel(d.notes.front()) + (whole ? " dropped: " : " silent here: ") +
                       sourceTrackLabel(v_, d.otherTrack) +
                       (isHome(static_cast<size_t>(d.otherTrack)) ? " (home track)" : "") +
                       (whole ? " sounds all through it" : " sounds");
                break;
            }
            case DecisionKind::chordFormed:
                what = "chord " + notesOf(d.notes) + " from " + sourceTrackLabel(v_, d.record.track) + " plays " +
                       noteName(d.record.note) + " " + arpeggioOf(d);
                break;
            case DecisionKind::groupDropped:
                what = notesOf(d.notes) + " dropped, " + noteLabel(d.keptNote, false) + " at " +
                       c.place(d.record.startTick) + " kept: TR" + std::to_string(d.outputIndex + 1) +
                       " plays one note of a group starting within a 32nd";
                break;
            case DecisionKind::overlapCut:
                what = recordLabel(d) + " cut at " + c.place(d.newEnd) + " by " +
                       duration(int64_t{d.endTick} - d.newEnd, d.newEnd) + ", where the next note starts";
                break;
            case DecisionKind::emptyDropped:
                what = recordLabel(d) + " dropped: the next note starts at the same place";
                break;
            case DecisionKind::belowGrid: {
                const int64_t mml = mmlTickOf(d.tick, v_.song.tickScale);
                what = recordLabel(d) + " lasting " + duration(int64_t{d.endTick} - d.tick, d.tick) +
                       " vanishes: start and end round to the same MML tick (" + std::to_string(mml) + ")";
                break;
            }
            case DecisionKind::zeroLength:
                what = noteLabel(d.notes.front()) + " dropped: note-on and note-off at the same tick";
                break;
            case DecisionKind::unreleased:
                what = noteLabel(d.notes.front()) + ", channel " + std::to_string(story(d.notes.front()).channel + 1) +
                       ": note-on never released, dropped";
                break;
            case DecisionKind::strayNoteOff:
                what = "note-off of " + noteName(d.pitch) + " from " + sourceTrackLabel(v_, d.sourceTrack) +
                       ", channel " + std::to_string(d.channel + 1) + ", without a note-on: ignored";
                break;
        }
        return {where, what};
    }

    std::string recordLabel(const Decision& d) const {
        if (d.record.isChord) return "chord " + notesOf(d.notes);
        if (d.notes.size() == 1) return noteLabel(d.notes.front());
        return noteName(d.record.note);
    }

    // Where an arpeggio key comes from.
    std::string arpeggioSource(const std::string& apText) const {
        if (!apText.empty() && apText[0] == 'E') return "[ApMap] " + apText + " (controller 12 = " + apText.substr(1) + ")";
        int32_t key = 0;
        for (char ch : apText) key = key * 10 + (ch - '0');
        if (v_.tables.apPcMap.count(key)) return "[ApMap] " + apText + " (program " + apText + ")";
        return "the default L U1 (no [ApMap] entry " + apText + ")";
    }

    std::string arpeggioOf(const Decision& d) const {
        // The chord as it reached the song carries its envelope.
        int32_t e = -1;
        for (int32_t position : v_.song.trackNotes[static_cast<size_t>(d.outputIndex)]) {
            const PreparedNote& n = v_.song.notes[static_cast<size_t>(position)];
            if (n.startTick == d.record.startTick) e = v_.envelopes.recordOf(position);
        }
        if (e < 0 || static_cast<size_t>(e) >= v_.envelopes.records.size()) return "with no arpeggio";
        const EnvelopeRecord& r = v_.envelopes.records[static_cast<size_t>(e)];
        if (!r.hasAp) return "with no arpeggio";
        if (r.enVerbatim) {
            return "with arpeggio En" + std::to_string(e) + " \"" + printableText(joined(r.enTokens, " ")) + "\" from " +
                   arpeggioSource(r.apText);
        }
        return "with arpeggio from " + arpeggioSource(r.apText) + ", in the combined envelope Em/En" + std::to_string(e);
    }

    void voices() {
        out_ << "VOICES AND LEVELS\n";
        std::map<int32_t, std::map<int32_t, std::set<int32_t>>> levels;  // voice -> track -> levels
        for (const Combination& c : v_.combos.list) levels[c.voice][c.trackNumber].insert(c.level);
        std::vector<std::string> noEv, noAt, noEn;
        for (int32_t voice : v_.combos.usedVoices) {
            std::vector<std::string> tracks;
            bool noise = false;
            for (const auto& [track, set] : levels[voice]) {
                noise = noise || track == 4;
                std::vector<std::string> numbers;
                for (int32_t l : set) numbers.push_back(std::to_string(l));
                tracks.push_back("TR" + std::to_string(track) + (set.size() == 1 ? " level " : " levels ") +
                                 joined(numbers, ", "));
            }
            std::string what = noise ? "noise note " + noteName(voice - 1000)
                                     : "program " + std::to_string(programOf(voice, levels[voice]));
            std::vector<std::string> missing;
            if (!v_.tables.evMap.count(voice)) {
                missing.push_back("no [EvMap] entry: flat volume");
                noEv.push_back(std::to_string(voice));
            }
            if (!v_.tables.eAtMap.count(voice)) {
                missing.push_back("no [E@Map] entry: voice body \"0\"");
                noAt.push_back(std::to_string(voice));
            }
            if (noise && (!v_.tables.enMap.count(voice) || v_.tables.enMap.at(voice).empty())) {
                missing.push_back("no [EnMap] entry: pitch shape \"0\"");
                noEn.push_back(std::to_string(voice));
            }
            out_ << "  voice " << voice << " (" << what << "): " << joined(tracks, "; ")
                 << (missing.empty() ? "" : "; " + joined(missing, "; ")) << "\n";
        }
        if (v_.combos.usedVoices.empty()) out_ << "  (none)\n";
        if (!noEv.empty()) out_ << "  Voices without an [EvMap] entry (flat volume \"level R 0\"): " << joined(noEv, ", ") << "\n";
        if (!noAt.empty()) out_ << "  Voices without an [E@Map] entry (body \"0\"): " << joined(noAt, ", ") << "\n";
        if (!noEn.empty()) out_ << "  Noise voices without an [EnMap] entry (pitch shape \"0\"): " << joined(noEn, ", ") << "\n";
        out_ << "\n";
    }

    static int32_t programOf(int32_t voice, const std::map<int32_t, std::set<int32_t>>& tracks) {
        const int32_t track = tracks.empty() ? 1 : tracks.begin()->first;
        return voice - channelLayout(track - 1).voiceBase;  // programs counted from 1
    }

    void envelopes() {
        out_ << "ENVELOPES\n";
        int64_t vibrato = 0, arpeggio = 0, bend = 0, noise = 0;
        for (size_t k = 0; k < v_.envelopes.records.size(); ++k) {
            const EnvelopeRecord& r = v_.envelopes.records[k];
            const std::string number = std::to_string(k);
            std::string line;
            if (v_.envelopes.enRecordPc.count(static_cast<int32_t>(k))) {
                const int32_t voice = v_.envelopes.enRecordPc.at(static_cast<int32_t>(k));
                ++noise;
                line = "En" + number + ": TR4 pitch shape of voice " + std::to_string(voice) +
                       (v_.tables.enMap.count(voice) && !v_.tables.enMap.at(voice).empty() ? " from [EnMap]"
                                                                                            : " (no [EnMap] entry: 0)");
            } else if (r.emVerbatim && r.hasEmo) {
                ++vibrato;
                line = "Em" + number + ": vibrato from [EmoMap] " + r.emoName + " \"" +
                       printableText(joined(r.emTokens, " ")) + "\"";
            } else if (r.enVerbatim && r.hasAp) {
                ++arpeggio;
                line = "En" + number + ": arpeggio \"" + printableText(joined(r.enTokens, " ")) + "\" from " +
                       arpeggioSource(r.apText);
            } else {
                std::vector<std::string> parts;
                if (r.hasAp) parts.push_back("arpeggio from " + arpeggioSource(r.apText)), ++arpeggio;
                if (r.hasEmo) parts.push_back("vibrato from [EmoMap] " + r.emoName), ++vibrato;
                if ((!r.hasAp && !r.hasEmo) || (r.hasAp && r.apWithEm) || (r.hasEmo && r.plusPb)) {
                    parts.push_back("pitch bend");
                    ++bend;
                }
                std::string kinds = std::string(r.hasEm ? "Em" : "") + (r.hasEm && r.hasEn ? "/" : "") + (r.hasEn ? "En" : "");
                line = (kinds.empty() ? "E" : kinds) + number + ": " + joined(parts, " + ") + " (" +
                       plural(static_cast<int64_t>(std::max(r.emValues.size(), r.enValues.size())), "frame", "frames") +
                       ")";
            }
            out_ << "  " << line << "\n";
        }
        out_ << "  Made: " << plural(vibrato, "vibrato", "vibratos") << ", " << plural(arpeggio, "arpeggio", "arpeggios")
             << ", " << plural(bend, "pitch bend", "pitch bends") << ", " << plural(noise, "TR4 pitch shape", "TR4 pitch shapes")
             << " (an envelope can hold several)\n\n";
    }

    void tempo() {
        out_ << "TEMPO\n";
        for (const TempoEvent& t : v_.file.tempoEvents) {
            char bpm[32];
            std::snprintf(bpm, sizeof bpm, "%.2f", t.usPerQuarter > 0 ? 60000000.0 / t.usPerQuarter : 0.0);
            std::string text = bpm;
            while (!text.empty() && text.back() == '0') text.pop_back();
            if (!text.empty() && text.back() == '.') text.pop_back();
            out_ << "  " << padRight(v_.clock.place(t.tick), 16) << "  " << text << " BPM\n";
        }
        out_ << "  The output starts at " << v_.song.initialBpm
             << " BPM; every change is written on TR29. Envelope frames follow the starting tempo.\n";
    }

    std::ostream& out_;
    const ReportView& v_;
};

}  // namespace

void writeTextReport(std::ostream& out, const ReportView& view) { TextReport(out, view).write(); }

}  // namespace tonequill
