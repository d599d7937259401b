// Bad input as a hostile user gives it, one table: each case prepares its
// folder, runs pemblorctl there, and checks the exit status, the first line of
// standard error, that the files a user already had are still there byte for
// byte (checksums), that no temporary file is left, and, for the size cases,
// the child's peak memory as the kernel counted it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "support/run_measured.hpp"
#include "support/temp_dir.hpp"

namespace pemblor::cli {
namespace {

namespace fs = std::filesystem;

std::string slurp(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void put(const fs::path& p, const std::string& bytes) { std::ofstream(p, std::ios::binary) << bytes; }

// FNV-1a, 64 bits: enough to tell a file that changed.
std::uint64_t checksum(const std::string& bytes) {
    std::uint64_t h = 14695981039346656037ull;
    for (const char c : bytes) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    return h;
}

std::string bytesOf(std::size_t n) {
    std::string s(n, '\0');
    for (std::size_t i = 0; i < n; ++i) s[i] = static_cast<char>(i * 131 + 7);
    return s;
}

// Unlocks the memory group, so that Load and Save can be clicked.
const std::string kUnlock = "click \"5 Enable Superior Op\"\nsettext 1064 \"61740253\"\nclick \"Enter\"\n";
// A simulated full disk: files may not grow past 4 KiB (dash counts 512-byte blocks).
const std::string kFullDisk = "ulimit -f 8; trap '' XFSZ; ";
constexpr std::size_t kPicture = 704 * 576;

struct HostileCase {
    std::string group;
    std::string name;
    std::function<void(const fs::path&)> setup;
    std::string args;                    // pemblorctl's arguments, run in the case's folder
    int status;
    std::string firstError;              // the first line of standard error starts so
    std::vector<std::string> survivors;  // files whose bytes must not change
    long maxPeakMiB = 0;                 // 0: not a size case
    std::string shellBefore = {};        // e.g. a file size limit
};

std::vector<HostileCase> hostileCases() {
    const auto fifo = [](const fs::path& p) { ::mkfifo(p.c_str(), 0600); };
    const auto script = [](std::string text) { return [text](const fs::path& d) { put(d / "s.txt", text); }; };
    return {
        // A user's files are never destroyed.
        {"files", "convert onto a symbolic link to its input",
         [](const fs::path& d) { put(d / "p.out", bytesOf(3000)); fs::create_symlink("p.out", d / "p.IMG"); },
         "convert --force p.out", 1, "pemblorctl: p.IMG: input and output are the same file", {"p.out"}},
        {"files", "convert onto a hard link to its input",
         [](const fs::path& d) { put(d / "p.out", bytesOf(3000)); fs::create_hard_link(d / "p.out", d / "p.IMG"); },
         "convert --force p.out", 1, "pemblorctl: p.IMG: input and output are the same file", {"p.out"}},
        {"files", "convert on a full disk",
         [](const fs::path& d) { put(d / "p.out", bytesOf(20000)); put(d / "p.IMG", "old image"); },
         "convert --force p.out", 1, "pemblorctl: p.IMG: File too large", {"p.out", "p.IMG"}, 0, kFullDisk},
        {"files", "convert of a FIFO",
         [fifo](const fs::path& d) { fifo(d / "f.out"); put(d / "f.IMG", "old image"); },
         "convert f.out", 1, "pemblorctl: f.out: is not a regular file", {"f.IMG"}},
        {"files", "deinterlace of a folder",
         [](const fs::path& d) { fs::create_directory(d / "in.d"); put(d / "out.yuv", "old"); },
         "deinterlace in.d out.yuv", 1, "pemblorctl: deinterlace: in.d: is a folder, not a file", {"out.yuv"}},
        {"files", "deinterlace of input cut inside a picture",
         [](const fs::path& d) { put(d / "in.yuv", bytesOf(kPicture + 100)); put(d / "out.yuv", "old"); },
         "deinterlace - out.yuv <in.yuv", 1, "pemblorctl: deinterlace: input ends inside picture 2", {"in.yuv", "out.yuv"}},
        {"files", "deinterlace on a full disk",
         [](const fs::path& d) { put(d / "in.yuv", bytesOf(2 * kPicture)); put(d / "out.yuv", "old"); },
         "deinterlace in.yuv out.yuv", 1, "pemblorctl: deinterlace: write failed at picture 1", {"in.yuv", "out.yuv"},
         0, kFullDisk},
        {"files", "deinterlace stopped by SIGTERM halfway",
         [fifo](const fs::path& d) { fifo(d / "in.fifo"); put(d / "out.yuv", "old"); },
         "deinterlace - out.yuv <in.fifo", 128 + 15, "", {"out.yuv"}, 0,
         "(head -c 405504 /dev/zero; sleep 3) >in.fifo & (sleep 1; kill -TERM $$) & "},
        {"files", "deinterlace onto a link to its input",
         [](const fs::path& d) { put(d / "in.yuv", bytesOf(kPicture)); fs::create_symlink("in.yuv", d / "l.yuv"); },
         "deinterlace in.yuv l.yuv", 1, "pemblorctl: deinterlace: input and output are the same file", {"in.yuv"}},
        {"files", "image --decode onto a link to its input",
         [](const fs::path& d) { put(d / "p.IMG", bytesOf(2000)); fs::create_symlink("p.IMG", d / "d.bin"); },
         "image p.IMG --decode d.bin", 1, "pemblorctl: d.bin: input and output are the same file", {"p.IMG"}},
        {"files", "image --decode on a full disk",
         [](const fs::path& d) { put(d / "p.IMG", bytesOf(20000)); put(d / "d.bin", "old"); },
         "image p.IMG --decode d.bin", 1, "pemblorctl: p.IMG: 1", {"p.IMG", "d.bin"}, 0, kFullDisk},
        {"files", "report --log appending on a full disk",
         [](const fs::path& d) { fs::create_directory(d / "root"); put(d / "root/Pemblor.LOG", bytesOf(3500)); },
         "report --log", 1, "", {"root/Pemblor.LOG"}, 0, kFullDisk},
        {"files", "data-to-write Save on a full disk",
         script(kUnlock + "settext 1013 \"01 02 03\"\nanswer file \"keep.cmd\"\nclick \"Save\"\n"), "console --script s.txt",
         0, "", {"keep.cmd"}, 0, "ulimit -f 0; trap '' XFSZ; "},
        // Nothing waits forever.
        {"wait", "data-to-write Load of a FIFO", [fifo, script](const fs::path& d) {
             fifo(d / "f.cmd");
             script(kUnlock + "answer file \"f.cmd\"\nclick \"Load\"\n")(d);
         }, "console --script s.txt", 0, "", {}},
        {"wait", "settings naming a FIFO as replay",
         [fifo](const fs::path& d) { fifo(d / "r.fifo"); put(d / "c.ini", "[card 0]\nreplay = r.fifo\n"); },
         "--sim-config c.ini list", 2, "pemblorctl: c.ini:2: r.fifo: is not a regular file", {}},
        {"wait", "replay area from a FIFO", [fifo](const fs::path& d) {
             fifo(d / "a.fifo");
             put(d / "r.txt", "fetch\narea 1 0 @a.fifo\n");
             put(d / "c.ini", "[card 0]\nreplay = r.txt\n");
         }, "--sim-config c.ini list", 2, "pemblorctl: c.ini:2: r.txt:2: 'a.fifo': is not a regular file", {}},
        {"wait", "settings that are a folder", [](const fs::path& d) { fs::create_directory(d / "c.d"); },
         "--sim-config c.d list", 2, "pemblorctl: c.d: is a folder, not a file", {}},
        {"wait", "settings that are a FIFO", [fifo](const fs::path& d) { fifo(d / "c.fifo"); },
         "--sim-config c.fifo list", 2, "pemblorctl: c.fifo: is not a regular file", {}},
        {"wait", "a script that is a folder", [](const fs::path& d) { fs::create_directory(d / "s.d"); },
         "console --script s.d", 2, "pemblorctl: s.d: Is a directory", {}},
        {"wait", "--root that is a device", [](const fs::path&) {}, "--root /dev/null list", 2,
         "pemblorctl: --root: /dev/null: Not a directory", {}},
        {"wait", "--root on a missing deep path", [](const fs::path&) {}, "--root a/b/c list", 2,
         "pemblorctl: --root: a/b/c: No such file or directory", {}},
        {"wait", "--root under a file", [](const fs::path& d) { put(d / "f", "x"); }, "--root f/r list", 2,
         "pemblorctl: --root: f/r: Not a directory", {"f"}},
        // Sizes are checked before reading.
        {"size", "a script of endless zeros", [](const fs::path&) {}, "console --script /dev/zero", 2,
         "pemblorctl: /dev/zero:1: the line is longer than 65536 bytes", {}, 64},
        {"size", "replay area of a 500 MB file", [](const fs::path& d) {
             put(d / "big.bin", "");
             fs::resize_file(d / "big.bin", 500u << 20);  // sparse: costs no disk
             put(d / "r.txt", "fetch\narea 1 0 @big.bin\n");
             put(d / "c.ini", "[card 0]\nreplay = r.txt\n");
         }, "--sim-config c.ini list", 2, "pemblorctl: c.ini:2: r.txt:2: 'big.bin' holds 524288000 bytes, more than",
         {}, 64},
        {"size", "a 48 MB hex line in a replay", [](const fs::path& d) {
             std::string pairs;
             for (std::size_t i = 0; i < (16u << 20); ++i) pairs += "0A ";
             put(d / "r.txt", "fetch\narea 1 0 " + pairs + "\n");
             put(d / "c.ini", "[card 0]\nreplay = r.txt\n");
         }, "--sim-config c.ini list", 2, "pemblorctl: c.ini:2: r.txt:2: the line is longer than 65536 bytes", {}, 128},
        {"size", "settings of 2 MB", [](const fs::path& d) { put(d / "c.ini", std::string(2u << 20, '#')); },
         "--sim-config c.ini list", 2, "pemblorctl: c.ini: the file is larger than 1048576 bytes", {}, 64},
        // Numbers and names are checked; echoed input is safe to show.
        {"numbers", "a wait past 64 bits' signed range", script("wait 9223372036854775807\n"),
         "console --script s.txt", 2, "pemblorctl: s.txt:1: wait takes 0 to 86400000 ms, not '9223372036854775807'", {}},
        {"numbers", "a control id past 32 bits", script("click 4294967297\n"), "console --script s.txt", 2,
         "pemblorctl: s.txt:1: no control '4294967297' in dialog 102", {}},
        {"numbers", "an empty control name", script("click \"\"\n"), "console --script s.txt", 2,
         "pemblorctl: s.txt:1: a control's name cannot be empty", {}},
        {"numbers", "a syntax error on the last line runs nothing", script("click 1000\nwait 10\nclick\n"),
         "console --script s.txt", 2, "pemblorctl: s.txt:3: usage: click <control>", {}},
        {"numbers", "an escape sequence in a settings key",
         [](const fs::path& d) { put(d / "c.ini", "[card 0]\n\x1b[2J = 1\n"); }, "--sim-config c.ini list", 2,
         "pemblorctl: c.ini:2: unknown key '\\x1B[2J'", {}},
        {"numbers", "a 60 KB word in a script", script(std::string(60000, 'w') + "\n"), "console --script s.txt", 2,
         "pemblorctl: s.txt:1: unknown command '" + std::string(255, 'w') + "...", {}},
    };
}

std::string firstLine(const std::string& text) { return text.substr(0, text.find('\n')); }

TEST(HostileInput, EveryCaseKeepsTheUsersFilesAndSaysWhy) {
    // Another build of the program may be put to the same table (to compare with an older one).
    const char* other = std::getenv("PEMBLORCTL_UNDER_TEST");
    const std::string program = other ? other : PEMBLORCTL_PATH;
    std::map<std::string, int> perGroup;
    for (const HostileCase& c : hostileCases()) {
        SCOPED_TRACE(c.group + ": " + c.name);
        ++perGroup[c.group];
        testing::TempDir dir;
        c.setup(dir.path());
        std::map<std::string, std::uint64_t> before;
        for (const std::string& f : c.survivors) before[f] = checksum(slurp(dir / f));
        const std::string root = c.args.find("--root") == std::string::npos ? "--root root " : "";
        // timeout: a case that waits forever fails instead of hanging the suite.
        const auto run = testing::runMeasured("cd " + dir.path().string() + " || exit 125; " + c.shellBefore +
                                              "exec </dev/null timeout -k 5 60 " + program + " " + root +
                                              c.args + " >out.txt 2>err.txt");
        const std::string err = slurp(dir / "err.txt");
        EXPECT_EQ(run.status, c.status) << err;
        EXPECT_EQ(firstLine(err).substr(0, c.firstError.size()), c.firstError) << firstLine(err).substr(0, 300);
        EXPECT_LT(firstLine(err).size(), 400u);
        for (const auto& [f, sum] : before) EXPECT_EQ(checksum(slurp(dir / f)), sum) << f << " changed";
        for (const auto& e : fs::directory_iterator(dir.path()))
            EXPECT_FALSE(e.path().extension() == ".tmp") << e.path() << " left behind";
        if (c.maxPeakMiB > 0) {
            if (testing::kPeakMeasurable) {
                EXPECT_LT(run.peakKiB, c.maxPeakMiB * 1024) << "peak " << run.peakKiB << " KiB";
            }
            std::printf("peak memory, %s: %ld KiB\n", c.name.c_str(), run.peakKiB);
        }
        if (c.name.find("runs nothing") != std::string::npos) {
            EXPECT_EQ(slurp(dir / "out.txt"), "");
        }
    }
    EXPECT_EQ(perGroup, (std::map<std::string, int>{{"files", 13}, {"wait", 9}, {"size", 4}, {"numbers", 6}}));
}

}  // namespace
}  // namespace pemblor::cli
