#pragma once

#include <ostream>

#include "report/report_view.h"

namespace tonequill {

// The plain-text report: the run's hints, the problems (every note dropped
// or cut, by kind and bar), summary, source tracks, the output tracks (with
// `listChords`, each one's decisions in time order, chord merges included),
// voices and levels, envelopes, tempo.
void writeTextReport(std::ostream& out, const ReportView& view);

}  // namespace tonequill
