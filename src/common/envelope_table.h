#pragma once

#include <cstdint>
#include <map>
#include <vector>

#include "common/bulk_memory.h"
#include "common/envelope_record.h"

namespace tonequill {

// The pitch- and note-envelope records a conversion uses, numbered as the
// document numbers them, and the record each note plays.
struct EnvelopeTable {
    EnvelopeRecords records;   // by envelope number
    std::map<int32_t, int32_t> enRecordPc; // TR4 record number -> its voice (note number)
    BulkList<int32_t> noteRecords;         // per note of the prepared song: its record, -1 for none

    // The record of note `index`, -1 for none.
    [[nodiscard]] int32_t recordOf(int32_t index) const {
        const auto i = static_cast<size_t>(index);
        return index >= 0 && i < noteRecords.size() ? noteRecords[i] : -1;
    }
};

}  // namespace tonequill
