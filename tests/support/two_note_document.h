#pragma once

namespace tonequill::testing {

// The whole document of a two-note song: two quarter notes (c and d, a
// quarter rest between) on one track, 480 ticks per quarter at 120 BPM, title
// "Demo", with an empty mapping file. Lines end in LF; the file gets CR LF.
inline constexpr const char* kTwoNoteDocument =
    "#Title\t\t\"Demo\"\n"
    "#Code\t\t\"nsd_all2.bin\"\n"
    "#BGM\t\t1\n"
    "#SE\t\t\t0\n"
    "#timebase\t48\n"
    "#External\t%0\n"
    "\n"
    "#Bank\n"
    "\n"
    "DPCM{\n"
    "}\n"
    "\n"
    "#OffsetEv 100000\n"
    "\n"
    "E(100000){15 R 0}\t// PC  1\tVel  15\n"
    "\n"
    "#OffsetEm 200000\n"
    "\n"
    "\n"
    "#OffsetEn 300000\n"
    "\n"
    "\n"
    "#OffsetE@ 400000\n"
    "E(400001){0}\t// PC 1\n"
    "\n"
    "BGM(0){\n"
    "t120\n"
    "\n"
    "TR1\n"
    "E@1Ev0Em*En*o4c4r4d4\n"
    "\n"
    "TR29\n"
    "t120\n"
    "\n"
    "}\n";

}  // namespace tonequill::testing
