#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "common/bulk_memory.h"
#include "common/token_runs.h"

namespace tonequill {

// One pitch-envelope record: an Em part (sixteenths of a semitone per frame)
// and/or an En part (semitones per frame), each either per-frame values or
// the verbatim tokens of a mapping-file entry. An arpeggio's En tokens are
// held as runs, as one tone can repeat for billions of frames. The labels
// only name where the record came from; the writer prints them as a comment.
struct EnvelopeRecord {
    BulkList<int32_t> emValues;
    BulkList<int32_t> enValues;
    std::vector<std::string> emTokens;
    TokenRuns enTokens;
    bool hasEm = false;
    bool hasEn = false;
    bool emVerbatim = false;
    bool enVerbatim = false;
    bool hasEmo = false;
    bool plusPb = false;
    std::string emoName;
    bool hasAp = false;
    bool apWithEm = false;
    std::string apText;
};

// The records of a conversion, by envelope number; a large song makes many
// thousands, so they take their memory as the other bulk lists do.
using EnvelopeRecords = BulkList<EnvelopeRecord>;

}  // namespace tonequill
