// Inputs the fuzzers once found trouble with, kept as they were found (two
// bytes of mapping-file length, the mapping file, the MIDI file). Each must
// end with a document and "Convert done", or status 1 and a message.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>

#include "../../fuzz/fuzz_input.h"
#include "app/run.h"
#include "midi_builder.h"

namespace tonequill::testing {
namespace {

namespace fs = std::filesystem;

TEST(FuzzFindings, EveryFindingEndsWithADocumentOrAMessage) {
    const fs::path folder = fs::path(TONEQUILL_SOURCE_DIR) / "tests/fixtures/fuzz";
    int seen = 0;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string bytes = readText(entry.path().string());
        const auto input = fuzzing::splitInput(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        std::string document;
        std::ostringstream out;
        std::ostringstream log;
        const int status = runInMemory(input.midi, input.mapping, document, out, log);
        const std::string name = entry.path().filename().string();
        if (status == 0) {
            EXPECT_EQ(out.str(), "Convert done\n") << name;
            EXPECT_EQ(document.rfind("#Title", 0), 0u) << name;
            EXPECT_TRUE(document.size() >= 2 && document.substr(document.size() - 2) == "}\n") << name;
        } else {
            EXPECT_EQ(status, 1) << name;
            EXPECT_FALSE(out.str().empty()) << name;
        }
        ++seen;
    }
    EXPECT_GT(seen, 0);
}

}  // namespace
}  // namespace tonequill::testing
