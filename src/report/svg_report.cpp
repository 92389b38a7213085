#include "report/svg_report.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "report/xml_text.h"

namespace tonequill {
namespace {

constexpr double kLabelWidth = 190.0;
constexpr double kMinWidth = 1100.0;  // room for the legend
constexpr double kTop = 78.0;
constexpr double kLaneGap = 10.0;
constexpr double kRightMargin = 20.0;
// The notes' area is about this wide, and no wider than these pixels plus
// kPlotPerNote for each note: a long stretch of silence or one very long
// note is drawn narrower, not at the length of its ticks.
constexpr double kPlotWidth = 2400.0;
constexpr double kPlotPerNote = 32.0;
// The least room between two bar lines, and between two bar numbers of up
// to four digits (longer numbers take 6 pixels more a digit).
constexpr double kMinLineGap = 4.0;
constexpr double kMinLabelGap = 28.0;
constexpr size_t kLegendMeters = 8;  // time signatures named in the legend
// A track's label is repeated in the tooltip of each of its notes, so a long
// name is cut short there.
constexpr size_t kTipLabelBytes = 80;

const char* colourOf(Fate fate) {
    switch (fate) {
        case Fate::unchanged: return "#0072B2";
        case Fate::cut: return "#E69F00";
        case Fate::merged: return "#CC79A7";
        case Fate::dropped: return "#D55E00";
    }
    return "#000000";
}

std::string num(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", value);
    return text;
}

// A lane's label: its track, chip, each source track with its MIDI
// channels on a line of its own, and the notes' range, this far apart.
constexpr double kLabelLineGap = 13.0;
// A source track's line is cut to about the label column's width.
constexpr size_t kSourceLineChars = 31;

struct Lane {
    int32_t outputIndex = 0;
    int32_t low = 127;
    int32_t high = 0;
    double top = 0.0;
    double rowHeight = 0.0;
    double height = 0.0;
    std::vector<size_t> notes;
    std::map<int32_t, std::set<int32_t>> channels;  // source track -> its MIDI channels here
};

void addNote(Lane& lane, size_t index, const NoteStory& s) {
    lane.notes.push_back(index);
    lane.low = std::min(lane.low, s.note);
    lane.high = std::max(lane.high, s.note);
    lane.channels[s.sourceTrack].insert(s.channel);
}

// The number of characters of UTF-8 text.
size_t characters(const std::string& text) {
    size_t count = 0;
    for (char c : text) count += (static_cast<unsigned char>(c) & 0xC0) != 0x80 ? 1 : 0;
    return count;
}

// The first `count` characters of UTF-8 text.
std::string firstCharacters(const std::string& text, size_t count) {
    size_t end = 0;
    for (size_t seen = 0; end < text.size(); ++end) {
        if ((static_cast<unsigned char>(text[end]) & 0xC0) != 0x80 && seen++ == count) break;
    }
    return text.substr(0, end);
}

class SvgReport {
public:
    SvgReport(std::ostream& out, const ReportView& view) : out_(out), v_(view) {}

    void write() {
        layOut();
        out_ << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
        out_ << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << num(width_) << "\" height=\"" << num(height_)
             << "\" viewBox=\"0 0 " << num(width_) << " " << num(height_)
             << "\" font-family=\"DejaVu Sans, Verdana, sans-serif\" font-size=\"12\">\n";
        out_ << "<rect x=\"0\" y=\"0\" width=\"" << num(width_) << "\" height=\"" << num(height_)
             << "\" fill=\"#ffffff\"/>\n";
        std::string title = v_.inputPath;
        if (!v_.song.title.empty()) title += " \xE2\x80\x94 " + v_.song.title;
        out_ << "<text x=\"10\" y=\"22\" font-size=\"16\" font-weight=\"bold\">" << xmlText(title) << "</text>\n";
        legend();
        lanes();
        barLines();
        notes();
        out_ << "</svg>\n";
    }

private:
    double x(int64_t tick) const { return kLabelWidth + static_cast<double>(tick) * pxPerTick_; }

    void layOut() {
        int64_t endTick = 1;
        for (const NoteStory& s : v_.report.notes) endTick = std::max<int64_t>(endTick, s.endTick);
        for (const TempoEvent& t : v_.file.tempoEvents) endTick = std::max<int64_t>(endTick, t.tick);
        // Whole bars, to the end of the last one.
        const int64_t lastBar = v_.clock.at(endTick - 1).bar;
        endTick_ = v_.clock.barStart(lastBar + 1);
        const double quarters = static_cast<double>(endTick_) / std::max(v_.song.tpqn, 1);
        // About 2400 pixels for the whole song, within limits that keep short
        // notes visible and short songs from stretching.
        const double widest = kPlotWidth + kPlotPerNote * static_cast<double>(v_.report.notes.size());
        const double pxPerQuarter = std::min(std::clamp(kPlotWidth / std::max(quarters, 1.0), 4.0, 56.0),
                                             widest / std::max(quarters, 1.0));
        pxPerTick_ = pxPerQuarter / std::max(v_.song.tpqn, 1);
        width_ = std::max(x(endTick_) + kRightMargin, kMinWidth);

        for (int32_t o = 0; o < v_.song.outputTrackCount; ++o) {
            Lane lane;
            lane.outputIndex = o;
            for (size_t i = 0; i < v_.report.notes.size(); ++i) {
                const NoteStory& s = v_.report.notes[i];
                if (s.outputIndex == o) addNote(lane, i, s);
            }
            if (!lane.notes.empty()) lanes_.push_back(lane);
        }
        // Notes that reach no output track get a lane of their own.
        Lane stray;
        stray.outputIndex = -1;
        for (size_t i = 0; i < v_.report.notes.size(); ++i) {
            const NoteStory& s = v_.report.notes[i];
            if (s.outputIndex < 0) addNote(stray, i, s);
        }
        if (!stray.notes.empty()) lanes_.push_back(stray);

        double top = kTop;
        for (Lane& lane : lanes_) {
            const int32_t rows = lane.high - lane.low + 1;
            lane.rowHeight = std::clamp(140.0 / rows, 3.0, 10.0);
            const double label = 51.0 + kLabelLineGap * static_cast<double>(lane.channels.size());
            lane.height = std::max({52.0, rows * lane.rowHeight + 8.0, label});
            lane.top = top;
            top += lane.height + kLaneGap;
        }
        height_ = top + 10.0;
    }

    void legend() {
        struct Item {
            Fate fate;
            const char* label;
        };
        const Item items[] = {{Fate::unchanged, "kept as played"},
                              {Fate::cut, "cut (faint: the part lost)"},
                              {Fate::merged, "merged into a chord"},
                              {Fate::dropped, "dropped"}};
        double left = 10.0;
        for (const Item& item : items) {
            out_ << "<rect x=\"" << num(left) << "\" y=\"36\" width=\"14\" height=\"10\" fill=\"" << colourOf(item.fate)
                 << "\"" << (item.fate == Fate::dropped ? " stroke=\"#7a2a00\" stroke-dasharray=\"2,1\"" : "")
                 << "/>\n";
            out_ << "<text x=\"" << num(left + 19) << "\" y=\"45\">" << item.label << "</text>\n";
            left += 40.0 + 7.0 * std::string(item.label).size();
        }
        out_ << "<text x=\"" << num(left + 10) << "\" y=\"45\" fill=\"#555555\">bars as in the sequencer ("
             << xmlText(meterText()) << "); hover a note for details</text>\n";
    }

    std::string meterText() const {
        if (!v_.clock.fromFile()) return "4/4";
        const std::vector<MeterSpan>& meters = v_.clock.meters();
        std::string text;
        for (size_t i = 0; i < meters.size() && i < kLegendMeters; ++i) {
            if (!text.empty()) text += ", ";
            text += std::to_string(meters[i].numerator) + "/" + std::to_string(meters[i].denominator);
        }
        if (meters.size() > kLegendMeters) text += " and " + std::to_string(meters.size() - kLegendMeters) + " more";
        return text;
    }

    void lanes() {
        for (size_t i = 0; i < lanes_.size(); ++i) {
            const Lane& lane = lanes_[i];
            out_ << "<rect x=\"" << num(kLabelWidth) << "\" y=\"" << num(lane.top) << "\" width=\""
                 << num(x(endTick_) - kLabelWidth) << "\" height=\"" << num(lane.height) << "\" fill=\""
                 << (i % 2 ? "#f4f4f4" : "#ebeff5") << "\"/>\n";
            std::string name = "no output track";
            std::string chip;
            if (lane.outputIndex >= 0) {
                name = "TR" + std::to_string(lane.outputIndex + 1);
                chip = chipName(lane.outputIndex);
                if (lane.outputIndex == 3) chip += ", noise";
                if (lane.outputIndex == 4) chip += ", samples";
            }
            out_ << "<text x=\"8\" y=\"" << num(lane.top + 16) << "\" font-weight=\"bold\">" << xmlText(name)
                 << "</text>\n";
            out_ << "<text x=\"8\" y=\"" << num(lane.top + 31) << "\" font-size=\"11\">" << xmlText(chip)
                 << "</text>\n";
            double y = lane.top + 45;
            for (const auto& [track, channels] : lane.channels) {
                const auto [line, whole] = sourceLine(track, channels);
                out_ << "<text x=\"8\" y=\"" << num(y) << "\" font-size=\"11\"><title>" << xmlText(whole)
                     << "</title>" << xmlText(line) << "</text>\n";
                y += kLabelLineGap;
            }
            out_ << "<text x=\"8\" y=\"" << num(y) << "\" fill=\"#555555\" font-size=\"11\">"
                 << xmlText(noteName(lane.low) + " to " + noteName(lane.high)) << "</text>\n";
        }
    }

    // `track 3 "Drums", ch 10` cut to the label column, with the channels
    // kept, and the line for its tooltip (cut as the notes' tooltips are).
    std::pair<std::string, std::string> sourceLine(int32_t track, const std::set<int32_t>& channels) const {
        std::string list;
        for (int32_t c : channels) list += (list.empty() ? "" : ", ") + std::to_string(c + 1);
        const std::string tail = ", ch " + list;
        const std::string label = sourceTrackLabel(v_, track);
        const std::string whole = shortened(label) + tail;
        const size_t room = kSourceLineChars > characters(tail) + 8 ? kSourceLineChars - characters(tail) : 8;
        if (characters(label) <= room) return {whole, whole};
        const bool quoted = label.back() == '"';
        return {firstCharacters(label, room - 4) + (quoted ? "...\"" : "...") + tail, whole};
    }

    // Bar lines, and bar numbers above some of them, only as close as they
    // can be read: within a meter every k-th bar, k a power of two that
    // keeps the least room (counted from bar 1, so the numbers run 1, 5,
    // 9, ...), and across meters no closer than half that room. So the
    // lines and numbers are bounded by the picture's width, however many
    // bars the song spans.
    void barLines() {
        const int64_t lastBar = v_.clock.at(endTick_).bar;  // the closing line is the next bar's
        const std::vector<MeterSpan>& meters = v_.clock.meters();
        const int64_t firstLabels = every(meters.front(), kMinLabelGap);
        const double bottom = height_ - 10.0;
        double lastLine = -kMinLineGap;
        double lastLabel = -kMinLabelGap;
        for (size_t i = 0; i < meters.size() && meters[i].firstBar <= lastBar; ++i) {
            const MeterSpan& m = meters[i];
            const int64_t spanLast = i + 1 < meters.size() ? std::min(meters[i + 1].firstBar - 1, lastBar) : lastBar;
            const double labelGap = std::max(kMinLabelGap, 6.0 * static_cast<double>(digits(spanLast)) + 4.0);
            const int64_t lines = every(m, kMinLineGap);
            const int64_t labels = std::max(firstLabels, every(m, labelGap));  // both powers of two
            for (int64_t bar = firstOnStride(m.firstBar, lines); bar <= spanLast; bar += lines) {
                const double bx = x(m.tick + (bar - m.firstBar) * m.barTicks);
                if (bx < lastLine + kMinLineGap / 2) continue;
                lastLine = bx;
                const bool labelled = (bar - 1) % labels == 0 && bx >= lastLabel + labelGap / 2;
                out_ << "<line x1=\"" << num(bx) << "\" y1=\"" << num(kTop - 4) << "\" x2=\"" << num(bx) << "\" y2=\""
                     << num(bottom) << "\" stroke=\"" << (labelled ? "#9a9a9a" : "#cfcfcf") << "\" stroke-width=\"1\"/>\n";
                if (labelled) {
                    lastLabel = bx;
                    out_ << "<text x=\"" << num(bx + 2) << "\" y=\"" << num(kTop - 8)
                         << "\" font-size=\"10\" fill=\"#333333\">" << bar << "</text>\n";
                }
            }
        }
    }

    // The least power of two k for which k bars of meter `m` take `gap` pixels.
    int64_t every(const MeterSpan& m, double gap) const {
        const double barWidth = static_cast<double>(m.barTicks) * pxPerTick_;
        int64_t k = 1;
        while (barWidth * static_cast<double>(k) < gap && k < (int64_t{1} << 40)) k *= 2;
        return k;
    }

    // The first bar from `bar` on that is 1 more than a multiple of `stride`.
    static int64_t firstOnStride(int64_t bar, int64_t stride) {
        return 1 + (bar - 1 + stride - 1) / stride * stride;
    }

    static int digits(int64_t n) {
        int count = 1;
        for (; n >= 10; n /= 10) ++count;
        return count;
    }

    void notes() {
        for (const Lane& lane : lanes_) {
            for (size_t i : lane.notes) note(lane, v_.report.notes[i]);
        }
    }

    void note(const Lane& lane, const NoteStory& s) {
        const double y = lane.top + 4.0 + (lane.high - s.note) * lane.rowHeight;
        const double h = std::max(lane.rowHeight - 0.6, 2.0);
        const char* colour = colourOf(s.fate);
        std::string tip = noteName(s.note) + " (" + std::to_string(s.note) + "), " + tipLabel(s.sourceTrack) + ", " +
                          v_.clock.place(s.startTick);
        if (s.endTick > s.startTick) tip += " to " + v_.clock.place(s.endTick);
        tip += ": " + std::string(fateName(s.fate));
        if (s.reason != Reason::none && s.reason != Reason::chord) tip += ", " + std::string(reasonText(s.reason));
        out_ << "<g><title>" << xmlText(tip) << "</title>";
        const double left = x(s.startTick);
        const double width = std::max(x(s.endTick) - left, 2.0);
        if (s.fate == Fate::dropped) {
            out_ << "<rect x=\"" << num(left) << "\" y=\"" << num(y) << "\" width=\"" << num(std::max(width, 4.0))
                 << "\" height=\"" << num(h) << "\" fill=\"" << colour
                 << "\" fill-opacity=\"0.45\" stroke=\"#7a2a00\" stroke-width=\"0.8\" stroke-dasharray=\"2,1\"/>";
        } else if (s.fate == Fate::cut) {
            out_ << "<rect x=\"" << num(left) << "\" y=\"" << num(y) << "\" width=\"" << num(width) << "\" height=\""
                 << num(h) << "\" fill=\"" << colour << "\" fill-opacity=\"0.3\"/>";
            for (const Span& part : s.sounding) {
                const double pl = x(part.start);
                out_ << "<rect x=\"" << num(pl) << "\" y=\"" << num(y) << "\" width=\""
                     << num(std::max(x(part.end) - pl, 1.5)) << "\" height=\"" << num(h) << "\" fill=\"" << colour
                     << "\"/>";
            }
        } else {
            out_ << "<rect x=\"" << num(left) << "\" y=\"" << num(y) << "\" width=\"" << num(width) << "\" height=\""
                 << num(h) << "\" fill=\"" << colour << "\"/>";
        }
        out_ << "</g>\n";
    }

    // The source track's label, made once for all of its notes.
    const std::string& tipLabel(int32_t sourceTrack) {
        const bool held = sourceTrack >= 0 && sourceTrack < v_.song.sourceTrackCount;
        if (!held) {
            otherLabel_ = shortened(sourceTrackLabel(v_, sourceTrack));
            return otherLabel_;
        }
        if (tipLabels_.empty()) tipLabels_.resize(static_cast<size_t>(v_.song.sourceTrackCount));
        std::string& label = tipLabels_[static_cast<size_t>(sourceTrack)];
        if (label.empty()) label = shortened(sourceTrackLabel(v_, sourceTrack));
        return label;
    }

    // At most kTipLabelBytes of a label (which is UTF-8), cut between
    // characters, with "..." and the closing quote where it was cut.
    static std::string shortened(std::string label) {
        if (label.size() <= kTipLabelBytes) return label;
        size_t end = kTipLabelBytes;
        while (end > 0 && (static_cast<unsigned char>(label[end]) & 0xC0) == 0x80) --end;
        label.resize(end);
        return label + "...\"";
    }

    std::ostream& out_;
    const ReportView& v_;
    std::vector<std::string> tipLabels_;
    std::string otherLabel_;
    std::vector<Lane> lanes_;
    double pxPerTick_ = 0.0;
    double width_ = 0.0;
    double height_ = 0.0;
    int64_t endTick_ = 1;
};

}  // namespace

void writeSvgReport(std::ostream& out, const ReportView& view) { SvgReport(out, view).write(); }

}  // namespace tonequill
