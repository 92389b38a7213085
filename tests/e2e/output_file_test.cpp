// How the converter puts its document in place: through an exclusively
// created file beside the target, keeping what the user set on the old one,
// never writing where the user may not, and never leaving a part behind.
#include <fcntl.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <thread>

#include "e2e_support.h"

namespace tonequill::testing {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> smallSong() {
    TrackBuilder conductor;
    conductor.name(0, "Demo").tempo(0, 500000);
    TrackBuilder lead;
    lead.note(0, 480, 0, 60, 127).note(960, 1440, 0, 62, 127);
    return buildMidi({conductor, lead}, 480);
}

// The document the converter makes of `song` where nothing is in its way.
std::string plainDocument(const std::vector<uint8_t>& song) {
    TempDir dir;
    writeBytes(dir.file("song.mid"), song);
    const auto r = runBinary({"song.mid"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    return readText(dir.file("song.mml"));
}

// Who runs the converter: as root, the unprivileged user "nobody" (root may
// write anywhere, so protections would show nothing); otherwise this user.
struct Runner {
    std::vector<std::string> launcher;
    uid_t uid;
    gid_t gid;
};

std::optional<Runner> unprivilegedRunner() {
    if (::geteuid() != 0) return Runner{{}, ::geteuid(), ::getegid()};
    if (!fs::exists("/usr/bin/setpriv")) return std::nullopt;
    return Runner{{"/usr/bin/setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"}, 65534, 65534};
}

std::set<std::string> namesIn(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return names;
}

mode_t modeOf(const std::string& path) {
    struct stat st {};
    ::stat(path.c_str(), &st);
    return st.st_mode & 07777;
}

void own(const std::string& path, const Runner& runner) { ASSERT_EQ(::lchown(path.c_str(), runner.uid, runner.gid), 0); }

void putFile(const std::string& path, const std::string& text, mode_t mode, const Runner& runner) {
    writeText(path, text);
    own(path, runner);
    ::chmod(path.c_str(), mode);
}

TEST(OutputFile, ReplacesKeepsOrRefusesAsTheExistingOutputAsks) {
    const auto runner = unprivilegedRunner();
    if (!runner) GTEST_SKIP() << "root writes anywhere and setpriv is missing";
    const auto song = smallSong();
    const std::string document = plainDocument(song);
    ASSERT_FALSE(document.empty());

    struct Case {
        const char* name;
        std::function<void(const TempDir&, const Runner&)> setUp;
        int status;
        std::string out;
        std::string target;  // the file that holds the result (song.mml, or where its link points)
        bool converted;      // the target holds the document, else its old text
        mode_t mode;
        std::set<std::string> names;  // everything in the folder afterwards
    };
    const std::set<std::string> plain{"song.mid", "song.mml"};
    const Case cases[] = {
        {"existing writable file",
         [](const TempDir& d, const Runner& r) { putFile(d.file("song.mml"), "old\r\n", 0644, r); }, 0,
         "Convert done\n", "song.mml", true, 0644, plain},
        {"private file keeps its mode",
         [](const TempDir& d, const Runner& r) { putFile(d.file("song.mml"), "old\r\n", 0600, r); }, 0,
         "Convert done\n", "song.mml", true, 0600, plain},
        {"write-protected file is refused",
         [](const TempDir& d, const Runner& r) { putFile(d.file("song.mml"), "precious\r\n", 0444, r); }, 1,
         "error: cannot write the output file 'song.mml': Permission denied\n", "song.mml", false, 0444, plain},
        {"read-only folder with a writable file",
         [](const TempDir& d, const Runner& r) {
             putFile(d.file("song.mml"), "old text that is longer than nothing\r\n", 0666, r);
             ::chmod(d.path().c_str(), 0555);
         },
         0, "Convert done\n", "song.mml", true, 0666, plain},
        {"read-only folder without the file",
         [](const TempDir& d, const Runner&) { ::chmod(d.path().c_str(), 0555); }, 1,
         "error: cannot create the output file 'song.mml': Permission denied\n", "", false, 0, {"song.mid"}},
        {"symbolic link stays a link",
         [](const TempDir& d, const Runner& r) {
             fs::create_directory(d.path() / "real");
             own(d.file("real"), r);
             putFile(d.file("real/target.mml"), "old\r\n", 0640, r);
             fs::create_symlink("real/target.mml", d.path() / "song.mml");
         },
         0, "Convert done\n", "real/target.mml", true, 0640, {"song.mid", "song.mml", "real"}},
        {"hard link keeps both names",
         [](const TempDir& d, const Runner& r) {
             putFile(d.file("song.mml"), "old\r\n", 0644, r);
             fs::create_hard_link(d.path() / "song.mml", d.path() / "other.mml");
         },
         0, "Convert done\n", "other.mml", true, 0644, {"song.mid", "song.mml", "other.mml"}},
        {"directory in the way",
         [](const TempDir& d, const Runner&) { fs::create_directory(d.path() / "song.mml"); }, 1,
         "error: cannot write 'song.mml': it is a directory\n", "", false, 0, plain},
        {"full device", [](const TempDir& d, const Runner&) { fs::create_symlink("/dev/full", d.path() / "song.mml"); },
         1, "error: cannot write the output file 'song.mml': No space left on device\n", "", false, 0, plain},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        ::chmod(dir.path().c_str(), 0777);
        writeBytes(dir.file("song.mid"), song);
        c.setUp(dir, *runner);
        const std::string old = c.target.empty() ? "" : readText(dir.file(c.target));
        const auto r = runBinary({"song.mid"}, dir.path(), runner->launcher);
        if (r.status == 126 || r.status == 127) GTEST_SKIP() << "the runner cannot start the binary: " << r.log;
        ::chmod(dir.path().c_str(), 0777);
        EXPECT_EQ(r.status, c.status) << r.log;
        EXPECT_EQ(r.out, c.out);
        EXPECT_EQ(namesIn(dir.path()), c.names);
        if (c.target.empty()) continue;
        EXPECT_EQ(readText(dir.file(c.target)), c.converted ? document : old);
        EXPECT_EQ(modeOf(dir.file(c.target)), c.mode);
    }
}

TEST(OutputFile, ALinkStaysALinkAndItsTargetIsReplaced) {
    TempDir dir;
    writeBytes(dir.file("song.mid"), smallSong());
    fs::create_directory(dir.path() / "kept");
    writeText(dir.file("kept/song.mml"), "old\r\n");
    fs::create_symlink("kept/song.mml", dir.path() / "song.mml");
    const auto r = runBinary({"song.mid"}, dir.path());
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(fs::is_symlink(dir.path() / "song.mml"));
    EXPECT_EQ(fs::read_symlink(dir.path() / "song.mml"), "kept/song.mml");
    EXPECT_EQ(readText(dir.file("kept/song.mml")), plainDocument(smallSong()));
    EXPECT_EQ(namesIn(dir.path() / "kept"), std::set<std::string>{"song.mml"});
}

TEST(OutputFile, ManyConversionsOfOneSongAtOnceAllSucceed) {
    TempDir dir;
    writeBytes(dir.file("song.mid"), smallSong());
    const std::string command = "{ for i in $(seq 20); do ( " + quote(TONEQUILL_BINARY) +
                                " song.mid >/dev/null 2>&1 || echo failed ) & done; wait; }";
    const auto r = runCommand(command, dir.path());
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(readText(dir.file("song.mml")), plainDocument(smallSong()));
    EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"song.mid", "song.mml"}));
}

// A song whose document takes long enough to write for a signal to land in
// the middle: 28 tracks of rests up to a note far out.
std::vector<uint8_t> longSong() {
    std::vector<TrackBuilder> tracks(28);
    for (auto& t : tracks) t.note(20000000, 20000001, 0, 60, 100);
    return buildMidi(tracks, 1);
}

TEST(OutputFile, AnInterruptRemovesTheFileInTheMaking) {
    for (int signal : {SIGTERM, SIGINT}) {
        SCOPED_TRACE(signal);
        TempDir dir;
        writeBytes(dir.file("song.mid"), longSong());
        writeText(dir.file("song.mml"), "precious\r\n");
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::chdir(dir.path().c_str()) != 0) ::_exit(126);
            const int null = ::open("/dev/null", O_WRONLY);
            ::dup2(null, 1);
            ::dup2(null, 2);
            ::signal(SIGINT, SIG_DFL);
            ::execl(TONEQUILL_BINARY, TONEQUILL_BINARY, "song.mid", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        // Wait for the file in the making, then interrupt.
        bool seen = false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!seen && std::chrono::steady_clock::now() < deadline) {
            for (const auto& name : namesIn(dir.path())) seen = seen || name.ends_with(".tmp");
            int status = 0;
            if (!seen && ::waitpid(child, &status, WNOHANG) == child) FAIL() << "ended before it was interrupted";
            if (!seen) std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        ASSERT_TRUE(seen);
        ::kill(child, signal);
        int status = 0;
        ::waitpid(child, &status, 0);
        if (WIFEXITED(status)) {
            // The write may have finished between the look and the signal.
            EXPECT_EQ(WEXITSTATUS(status), 1);
        } else {
            EXPECT_TRUE(WIFSIGNALED(status));
            EXPECT_EQ(WTERMSIG(status), signal);
        }
        EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"song.mid", "song.mml"}));
        EXPECT_EQ(readText(dir.file("song.mml")), "precious\r\n");
    }
}

TEST(OutputFile, AFullDiskNamesItsCauseAndKeepsTheOldDocument) {
    if (::geteuid() != 0) GTEST_SKIP() << "mounting a small tmpfs needs root";
    TempDir dir;
    fs::create_directory(dir.path() / "disk");
    if (::mount("tmpfs", dir.file("disk").c_str(), "tmpfs", 0, "size=64k") != 0) {
        GTEST_SKIP() << "this machine does not allow mounting a tmpfs";
    }
    writeBytes(dir.file("disk/song.mid"), longSong());  // its document is far larger than the disk
    writeText(dir.file("disk/song.mml"), "precious\r\n");
    const auto r = runBinary({"disk/song.mid"}, dir.path());
    const auto names = namesIn(dir.path() / "disk");
    const std::string kept = readText(dir.file("disk/song.mml"));
    ::umount(dir.file("disk").c_str());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "error: cannot write the output file 'disk/song.mml': No space left on device\n");
    EXPECT_EQ(names, (std::set<std::string>{"song.mid", "song.mml"}));
    EXPECT_EQ(kept, "precious\r\n");
}

TEST(OutputFile, AFifoInputIsReadOnce) {
    TempDir dir;
    writeBytes(dir.file("real.mid"), smallSong());
    writeText(dir.file("garbage.mid"), "not a song at all");
    ASSERT_EQ(::mkfifo(dir.file("song.mid").c_str(), 0600), 0);
    const auto good = runCommand("{ cat real.mid > song.mid & " + quote(TONEQUILL_BINARY) + " song.mid; }", dir.path());
    EXPECT_EQ(good.status, 0) << good.log;
    EXPECT_EQ(good.out, "Convert done\n");
    EXPECT_EQ(readText(dir.file("song.mml")), plainDocument(smallSong()));

    const auto bad = runCommand("{ cat garbage.mid > song.mid & " + quote(TONEQUILL_BINARY) + " song.mid; }", dir.path());
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.out, "read error\n");
}

}  // namespace
}  // namespace tonequill::testing
