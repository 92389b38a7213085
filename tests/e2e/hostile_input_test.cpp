// Broken and hostile files: every run ends with status 0 and a document, or
// status 1 and a message, never a signal; an existing document survives errors.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "e2e_support.h"

namespace tonequill::testing {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

Bytes header(uint16_t tracks, uint16_t division = 480, uint32_t length = 6) {
    return {'M', 'T', 'h', 'd', static_cast<uint8_t>(length >> 24), static_cast<uint8_t>(length >> 16),
            static_cast<uint8_t>(length >> 8), static_cast<uint8_t>(length), 0, 1,
            static_cast<uint8_t>(tracks >> 8), static_cast<uint8_t>(tracks),
            static_cast<uint8_t>(division >> 8), static_cast<uint8_t>(division)};
}

Bytes withTrack(Bytes file, const Bytes& body, uint32_t declaredLength) {
    const Bytes chunk{'M', 'T', 'r', 'k', static_cast<uint8_t>(declaredLength >> 24),
                      static_cast<uint8_t>(declaredLength >> 16), static_cast<uint8_t>(declaredLength >> 8),
                      static_cast<uint8_t>(declaredLength)};
    for (uint8_t b : chunk) file.push_back(b);
    for (uint8_t b : body) file.push_back(b);
    return file;
}

Bytes withTrack(const Bytes& file, const Bytes& body) {
    return withTrack(file, body, static_cast<uint32_t>(body.size()));
}

Bytes goodSong() {
    TrackBuilder conductor;
    conductor.name(0, "Song").tempo(0, 500000);
    TrackBuilder lead;
    lead.program(0, 0, 2).note(0, 480, 0, 60, 100).pitchBend(100, 0, 9000).note(480, 960, 0, 64, 90);
    return buildMidi({conductor, lead});
}

struct Hostile {
    const char* name;
    Bytes bytes;
    int status;
    const char* message;  // standard output, whole
};

std::vector<Hostile> hostileFiles() {
    std::vector<Hostile> cases;
    const Bytes song = goodSong();
    // Truncated at every byte: each cut ends in a read error (or, for the
    // first bytes, a header the probe does not recognise).
    for (size_t keep : {0, 3, 4, 9, 13, 14, 17, 21, 22, 25, 30}) {
        Bytes cut(song.begin(), song.begin() + static_cast<std::ptrdiff_t>(keep));
        cases.push_back({"truncated", cut, 1, "read error\n"});
    }
    cases.push_back({"huge chunk length", withTrack(header(1), {0x00, 0x90, 0x3C, 0x64}, 0x7FFFFFF0), 1, "read error\n"});
    cases.push_back({"negative chunk length", withTrack(header(1), {}, 0xFFFFFFFF), 0, "Convert done\n"});
    cases.push_back({"endless variable-length quantity", withTrack(header(1), Bytes(100000, 0xFF)), 1, "read error\n"});
    cases.push_back({"delta times past 2^31",
                     withTrack(header(1), {0x87, 0xFF, 0xFF, 0xFF, 0x7F, 0x90, 0x3C, 0x64, 0x87, 0xFF, 0xFF, 0xFF,
                                           0x7F, 0x80, 0x3C, 0x00}),
                     1, "read error\n"});
    cases.push_back({"zero division", withTrack(header(1, 0), {0x00, 0x90, 0x3C, 0x64}), 1, "read error\n"});
    cases.push_back({"zero tempo", withTrack(header(1), {0x00, 0xFF, 0x51, 0x03, 0, 0, 0}), 1, "read error\n"});
    cases.push_back({"time-code division",
                     withTrack(header(1, 0xE728), {0x00, 0x90, 0x3C, 0x64, 0x83, 0x60, 0x80, 0x3C, 0x00}), 0,
                     "Convert done\n"});
    cases.push_back({"65535 declared tracks", withTrack(header(65535), {0x00, 0x90, 0x3C, 0x64}), 1, "read error\n"});
    cases.push_back({"huge meta length", withTrack(header(1), {0x00, 0xFF, 0x01, 0x8F, 0xFF, 0xFF, 0xFF, 0x7F}), 1,
                     "read error\n"});
    cases.push_back({"running status at a track's start",
                     withTrack(header(1), {0x00, 0x3C, 0x64, 0x00, 0x90, 0x3C, 0x64, 0x10, 0x3C, 0x00}), 0,
                     "Convert done\n"});
    cases.push_back({"only data bytes", Bytes(4096, 0x41), 1, "read error\n"});
    cases.push_back({"empty file", {}, 1, "read error\n"});
    Bytes longHeader = header(1, 480, 8);
    longHeader.push_back(0);
    longHeader.push_back(0);  // the two extra header bytes are taken as the next chunk's type
    cases.push_back({"header length 8", withTrack(longHeader, {0x00, 0x90, 0x3C, 0x64}), 1, "read error\n"});
    return cases;
}

TEST(HostileInput, EndsWithAStatusAndAMessageNeverASignal) {
    for (const Hostile& c : hostileFiles()) {
        TempDir dir;
        writeBytes(dir.file("song.mid"), c.bytes);
        writeText(dir.file("song.mml"), "precious\r\n");
        const auto r = runBinary({"song.mid"}, dir.path());
        EXPECT_EQ(r.status, c.status) << c.name << " (" << c.bytes.size() << " bytes)\n" << r.out << r.log;
        EXPECT_EQ(r.out, c.message) << c.name << " (" << c.bytes.size() << " bytes)";
        if (c.status != 0) {
            EXPECT_EQ(readText(dir.file("song.mml")), "precious\r\n") << c.name;
        }
        for (const auto& entry : fs::directory_iterator(dir.path())) {
            EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos) << c.name;
        }
    }
}

TEST(HostileInput, ASongTooLongToWriteStopsAtTheDocumentLimit) {
    // 28 tracks, each with one note near the end of the 32-bit MML range: the
    // rests alone would take over a gigabyte of text.
    Bytes file = header(28, 1);
    for (int t = 0; t < 28; ++t) {
        Bytes body = vlq(44739240);
        for (uint8_t b : {uint8_t(0x90), uint8_t(60), uint8_t(100), uint8_t(1), uint8_t(0x80), uint8_t(60),
                          uint8_t(0)}) {
            body.push_back(b);
        }
        file = withTrack(file, body);
    }
    TempDir dir;
    writeBytes(dir.file("song.mid"), file);
    writeText(dir.file("song.mml"), "precious\r\n");
    const auto r = runBinary({"song.mid"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "error: the document would be larger than 268435456 bytes; the song is far too long to convert\n");
    EXPECT_EQ(readText(dir.file("song.mml")), "precious\r\n");
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos);
    }
}

TEST(HostileInput, ADirectoryAsInputIsAReadError) {
    TempDir dir;
    fs::create_directory(dir.file("song.mid"));
    const auto r = runBinary({"song.mid"}, dir.path());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "read error\n");
    EXPECT_FALSE(fs::exists(dir.file("song.mml")));
}

TEST(HostileInput, AnUnreadableInputIsAReadError) {
    // Root reads every file, so as root the binary runs as the unprivileged user "nobody".
    std::vector<std::string> launcher;
    if (::geteuid() == 0) {
        if (!fs::exists("/usr/bin/setpriv")) GTEST_SKIP() << "root reads every file and setpriv is missing";
        launcher = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
    }
    TempDir dir;
    fs::permissions(dir.path(), fs::perms::all);  // nobody may look in, and could write an output
    writeBytes(dir.file("song.mid"), goodSong());
    fs::permissions(dir.file("song.mid"), fs::perms::none);
    const auto r = runBinary({"song.mid"}, dir.path(), launcher);
    if (!launcher.empty() && (r.status == 126 || r.status == 127)) {
        GTEST_SKIP() << "the binary lies where the unprivileged user cannot run it: " << r.log;
    }
    EXPECT_EQ(r.status, 1) << r.out << r.log;
    EXPECT_EQ(r.out, "read error\n");
    EXPECT_FALSE(fs::exists(dir.file("song.mml")));
}

TEST(HostileInput, AMappingFileThatIsNoRegularFileCountsAsMissing) {
    // A link to an endless device, and a FIFO no one writes to: neither is
    // read, neither hangs, and the song converts with empty tables.
    for (const char* kind : {"device", "fifo"}) {
        SCOPED_TRACE(kind);
        TempDir dir;
        writeBytes(dir.file("song.mid"), goodSong());
        if (std::string(kind) == "device") {
            fs::create_symlink("/dev/zero", dir.path() / "tve.txt");
        } else {
            ASSERT_EQ(::mkfifo(dir.file("tve.txt").c_str(), 0600), 0);
        }
        const auto r = runBinary({"song.mid"}, dir.path());
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out, "Convert done\n");
        EXPECT_NE(r.log.find("[TVE] loading: tve.txt\n[TVE] FAILED TO OPEN\n"), std::string::npos) << r.log;
    }
}

#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
TEST(HostileInput, ReadingTakesAFixedMultipleOfTheFileSize) {
    // Zeros after a valid header: every byte is an event of its own, the
    // most events a file of this size can hold.
    constexpr uint32_t kBytes = 8u << 20;
    Bytes file = withTrack(header(1), Bytes(kBytes, 0));
    TempDir dir;
    writeBytes(dir.file("song.mid"), file);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::chdir(dir.path().c_str()) != 0) ::_exit(126);
        if (!std::freopen("/dev/null", "w", stdout) || !std::freopen("/dev/null", "w", stderr)) ::_exit(126);
        ::execl(TONEQUILL_BINARY, TONEQUILL_BINARY, "song.mid", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    int status = 0;
    struct rusage usage {};
    ASSERT_EQ(::wait4(child, &status, 0, &usage), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);  // the last zero is a delta time with no event after it
    const long peakBytes = usage.ru_maxrss * 1024L;
    EXPECT_LT(peakBytes, 32L * kBytes + (64L << 20)) << "peak " << peakBytes;
}
#endif

}  // namespace
}  // namespace tonequill::testing
