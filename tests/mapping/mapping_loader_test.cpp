#include "mapping/mapping_loader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "midi_builder.h"

namespace tonequill {
namespace {

namespace fs = std::filesystem;

// A mapping file in the temporary directory, removed at the end of the test.
class MappingFile {
public:
    explicit MappingFile(const std::string& text) {
        static std::atomic<int> counter{0};
        path_ = (fs::temp_directory_path() /
                 ("tonequill-tve-" + std::to_string(::getpid()) + "-" + std::to_string(counter++) + ".txt"))
                    .string();
        testing::writeText(path_, text);
    }
    ~MappingFile() { fs::remove(path_); }
    MappingFile(const MappingFile&) = delete;
    MappingFile& operator=(const MappingFile&) = delete;
    [[nodiscard]] const std::string& path() const { return path_; }

private:
    std::string path_;
};

struct Loaded {
    MappingTables tables;
    std::string log;
};

Loaded load(const std::string& path) {
    Loaded result;
    std::ostringstream log;
    loadMappingFile(result.tables, path, log);
    result.log = log.str();
    return result;
}

std::string summary(int eAt, int ev, int en, int emo, int apPc, int apCc) {
    return "[TVE] DONE\n[TVE] E@Map=" + std::to_string(eAt) + "\n[TVE] EvMap=" + std::to_string(ev) +
           "\n[TVE] EnMap=" + std::to_string(en) + "\n[TVE] EmoMap=" + std::to_string(emo) +
           "\n[TVE] ApMap(PC)=" + std::to_string(apPc) + "\n[TVE] ApMap(CC)=" + std::to_string(apCc) + "\n";
}

const std::string kExample = "[EvMap]\n#short decay for key 1\n1{15,14,12,10,L,8,R,4}\n[ApMap]\nE64{ 1, 2 }\n";

TEST(MappingLoader, LogsOpeningAndTheSixCountsInOrder) {
    MappingFile file(kExample + "[E@Map]\n1{a}\n2{b}\n3{c}\n[EnMap]\n1{x}\n1{y}\n[EmoMap]\n5{d,2}\n6{}\n[ApMap]\n7{z}\n");
    const Loaded loaded = load(file.path());
    EXPECT_EQ(loaded.log, "[TVE] loading: " + file.path() + "\n[TVE] OPEN OK\n" + summary(3, 1, 1, 2, 1, 1));
    ASSERT_EQ(loaded.tables.evMap.count(1), 1u);
    EXPECT_EQ(loaded.tables.evMap.at(1).items.size(), 8u);
    EXPECT_EQ(loaded.tables.apCcMap.at(64), (TokenList{"1", "2"}));
    EXPECT_EQ(loaded.tables.enMap.at(1), TokenList{"y"});
}

TEST(MappingLoader, EmptyFileGivesSixZeroCounts) {
    MappingFile file("");
    EXPECT_EQ(load(file.path()).log, "[TVE] loading: " + file.path() + "\n[TVE] OPEN OK\n" + summary(0, 0, 0, 0, 0, 0));
}

TEST(MappingLoader, MissingFileIsLoggedAndLeavesTheTablesEmpty) {
    const std::string path = (fs::temp_directory_path() / "tonequill-no-such-dir" / "tve.txt").string();
    const Loaded loaded = load(path);
    EXPECT_EQ(loaded.log, "[TVE] loading: " + path + "\n[TVE] FAILED TO OPEN\n");
    EXPECT_TRUE(loaded.tables.evMap.empty());
    EXPECT_TRUE(loaded.tables.apCcMap.empty());
}

TEST(MappingLoader, CrLfLineEndsReadTheSameAsLf) {
    const std::string lf = kExample + "[EmoMap]\n1{d,+2,x}\n[E@Map]\n2{a b}";  // last line without LF
    std::string crlf;
    for (char c : lf) crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    MappingFile lfFile(lf);
    MappingFile crlfFile(crlf);
    const Loaded a = load(lfFile.path());
    const Loaded b = load(crlfFile.path());
    EXPECT_EQ(a.log.substr(a.log.find('\n')), b.log.substr(b.log.find('\n')));
    EXPECT_EQ(b.log.substr(b.log.find("[TVE] DONE")), summary(1, 1, 0, 1, 0, 1));
    EXPECT_EQ(a.tables.emoMap, b.tables.emoMap);
    EXPECT_EQ(b.tables.eAtMap.at(2), (TokenList{"a", "b"}));
    ASSERT_EQ(b.tables.evMap.at(1).items.size(), a.tables.evMap.at(1).items.size());
    EXPECT_EQ(b.tables.evMap.at(1).items.back().value, 4);
}

TEST(MappingLoader, SkipsAByteOrderMarkAtTheStartOfTheFile) {
    MappingFile file("\xEF\xBB\xBF" + kExample);
    const Loaded loaded = load(file.path());
    EXPECT_EQ(loaded.log.substr(loaded.log.find("[TVE] DONE")), summary(0, 1, 0, 0, 0, 1));
    EXPECT_EQ(loaded.tables.evMap.at(1).items.size(), 8u);
}

TEST(MappingLoader, MalformedNumberStopsBeforeTheSummary) {
    MappingFile invalid("[E@Map]\n1{a}\n[EvMap]\n2{15,x}\n3{1}\n");
    std::ostringstream log;
    MappingTables tables;
    std::vector<std::string> hints;
    EXPECT_THROW(loadMappingFile(tables, invalid.path(), log, &hints), std::invalid_argument);
    const std::string place = "[TVE] " + invalid.path() + ":4 [EvMap]: \"x\" is not a number";
    EXPECT_EQ(log.str(), "[TVE] loading: " + invalid.path() + "\n[TVE] OPEN OK\n" + place + "\n");
    EXPECT_EQ(hints, std::vector<std::string>{place});

    MappingFile outOfRange("[ApMap]\nE2147483648{1}\n");
    EXPECT_THROW(loadMappingFile(tables, outOfRange.path(), log), std::out_of_range);
}

// Reading is linear in the file size: huge lines and bodies finish at once.
TEST(MappingLoader, HugeLinesAndGarbageReadInLinearTime) {
    const auto started = std::chrono::steady_clock::now();

    MappingFile commas("[E@Map]\n1{" + std::string(1'000'000, ',') + "}\n");
    EXPECT_EQ(load(commas.path()).tables.eAtMap.at(1), TokenList{});

    std::string items;
    for (int i = 0; i < 250'000; ++i) items += "D,1,";
    MappingFile oneLine("[EvMap]\n1{" + items + "}" + std::string(500'000, 'x'));
    EXPECT_EQ(load(oneLine.path()).tables.evMap.at(1).items.size(), 250'000u);

    MappingFile unclosed("[EmoMap]\n1{" + std::string(1'000'000, 'd') + "\n");
    EXPECT_TRUE(load(unclosed.path()).tables.emoMap.empty());

    std::string garbage = "[ApMap]\n";
    uint32_t state = 12345;
    while (garbage.size() < 1'000'000) {
        state = state * 1103515245u + 12345u;
        garbage += static_cast<char>(state >> 24);
    }
    MappingFile noise(garbage);
    try {
        (void)load(noise.path());  // may stop on a key too large for 32 bits
    } catch (const std::out_of_range&) {
    }

    const auto elapsed = std::chrono::steady_clock::now() - started;
    EXPECT_LT(elapsed, std::chrono::seconds(20));
}

}  // namespace
}  // namespace tonequill
