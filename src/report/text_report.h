#pragma once

#include <ostream>

#include "report/report_view.h"

namespace tonequill {

// The plain-text report: summary, source tracks, each output track's
// decisions in time order, voices and levels, envelopes, tempo.
void writeTextReport(std::ostream& out, const ReportView& view);

}  // namespace tonequill
