#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace tonequill::fuzzing {

// One fuzz input holds a mapping file and a MIDI file: two bytes give the
// mapping file's length (big-endian), then come its bytes, then the MIDI bytes.
struct SplitInput {
    std::string_view mapping;
    std::span<const uint8_t> midi;
};

inline SplitInput splitInput(const uint8_t* data, size_t size) {
    if (size < 2) return {{}, {data, size}};
    size_t mappingLength = (size_t{data[0]} << 8) | data[1];
    if (mappingLength > size - 2) mappingLength = size - 2;
    return {{reinterpret_cast<const char*>(data + 2), mappingLength},
            {data + 2 + mappingLength, size - 2 - mappingLength}};
}

}  // namespace tonequill::fuzzing
