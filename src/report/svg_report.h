#pragma once

#include <ostream>

#include "report/report_view.h"

namespace tonequill {

// A self-contained SVG piano roll: one lane per output track, labelled with
// its source tracks and their MIDI channels, numbered bar lines, every note of the file as a rectangle coloured by its fate, with a
// tooltip giving its name, place and fate.
void writeSvgReport(std::ostream& out, const ReportView& view);

}  // namespace tonequill
