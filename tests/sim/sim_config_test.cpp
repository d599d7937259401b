#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>

#include "sim/settings/sim_settings.hpp"

namespace pemblor::sim {
namespace {

SimSettings applied(std::string_view text, SimSettings settings = SimSettings::withCards({0, 1})) {
    std::string error;
    EXPECT_TRUE(applySimConfigText(text, "sim.ini", settings, error)) << error;
    return settings;
}

std::string refusal(std::string_view text) {
    SimSettings settings = SimSettings::withCards({0, 1});
    std::string error;
    EXPECT_FALSE(applySimConfigText(text, "sim.ini", settings, error)) << text;
    return error;
}

TEST(SimConfig, EveryKeyReachesItsCard) {
    const SimSettings s = applied(
        "# a full card\n"
        "[card 2]\n"
        "present = yes\n"
        "version = 0x01070604\n"
        "hardware = 0x11, 4660\n"
        "serial = ABCDEFGHIJKLMNOP\n"
        "slot = 0\n"
        "map = refuse\n"
        "fail = 0x222404, 0x222440 2236484\n"
        "info.3 = 01 02 0a0B\n"
        "info.A = 0xff\n"
        "info.14 =\n"
        "stuck = 0xC05 0xFB, 0x87FFFFFF 0 ,0x80000000 255\n"
        "dsp = running\n"
        "boot_ms = 0\n"
        "queue = 16\n"
        "debug_per_s = 0\n"
        "speed = 4\n"
        "fps = 30\nmain_kbps = 1024\nsub_kbps = 16\norgvideo_fps = 0\npreview_fps = 60\nfullsize_fps = 1\n"
        "ntsc = yes\npreview_codes = 240, 241 242 242\n"
        "refuse_block = 3\nvanish_after_ms = 0x10\nmalformed = yes\n"
        "drop_stream = 2, 7\ncorrupt_stream = 0\nno_preview = 4 1\n");
    ASSERT_EQ(s.cards.size(), 3u);
    const CardSettings& c = s.cards.at(2);
    EXPECT_EQ(c.version, 0x01070604u);
    EXPECT_EQ(c.hardware[0], 0x11u);
    EXPECT_EQ(c.hardware[1], 4660u);
    EXPECT_EQ(c.serial, "ABCDEFGHIJKLMNOP");
    EXPECT_EQ(c.slot, 0u);  // an explicit 0 is kept, not replaced by the default
    EXPECT_TRUE(c.faults.refuseMapping);
    EXPECT_EQ(c.faults.failingCodes, (std::set<std::uint32_t>{0x222404, 0x222440, 2236484}));
    EXPECT_EQ(c.info.at(3), (std::vector<std::uint8_t>{1, 2, 0x0a, 0x0b}));
    EXPECT_EQ(c.info.at(10), (std::vector<std::uint8_t>{0xff}));
    ASSERT_TRUE(c.info.contains(14));
    EXPECT_TRUE(c.info.at(14).empty());
    EXPECT_EQ(c.faults.stuck, (StuckBytes{{0xC05, 0xFB}, {0x87FFFFFF, 0}, {0x80000000, 0xFF}}));
    EXPECT_EQ(c.dspMode, DspMode::Running);
    EXPECT_EQ(c.bootMs, 0u);
    EXPECT_EQ(c.queueItems, 16u);
    EXPECT_EQ(c.debugPerSecond, 0u);
    EXPECT_EQ(c.speed, 4u);
    EXPECT_EQ(c.fps, 30u);
    EXPECT_EQ(c.mainKbps, 1024u);
    EXPECT_EQ(c.subKbps, 16u);
    EXPECT_EQ(c.originalVideoFps, 0u);
    EXPECT_EQ(c.previewFps, 60u);
    EXPECT_EQ(c.fullSizeFps, 1u);
    EXPECT_TRUE(c.ntsc);
    EXPECT_EQ(c.previewCodes, (std::array<std::uint32_t, 4>{240, 241, 242, 242}));
    EXPECT_EQ(c.faults.refuseBlock, 3u);
    EXPECT_EQ(c.faults.vanishAfterMs, 16u);
    EXPECT_TRUE(c.faults.malformed);
    EXPECT_EQ(c.faults.droppedStreams, (std::set<std::uint32_t>{2, 7}));
    EXPECT_EQ(c.faults.corruptStreams, (std::set<std::uint32_t>{0}));
    EXPECT_EQ(c.faults.silentPreviews, (std::set<std::uint32_t>{0, 3}));  // channels 1 and 4
    EXPECT_EQ(applied("[card 0]\ndsp = never\n").cards.at(0).dspMode, DspMode::Never);
    // Untouched cards keep their defaults.
    EXPECT_EQ(s.cards.at(0).version, CardSettings{}.version);
    EXPECT_FALSE(s.cards.at(0).serial.has_value());
}

TEST(SimConfig, SectionsAddRemoveAndConfigureCards) {
    const SimSettings s = applied("[card 0]\npresent = no\n[card 31]\nslot = 9\n[card 1]\nmap = accept\n");
    EXPECT_FALSE(s.cards.contains(0));
    EXPECT_EQ(s.cards.at(31).slot, 9u);
    EXPECT_FALSE(s.cards.at(1).faults.refuseMapping);
    // A section only for a card that is then declared absent adds nothing.
    EXPECT_FALSE(applied("[card 7]\nversion = 1\npresent = no\n").cards.contains(7));
}

TEST(SimConfig, CommentsBlanksLineEndsAndMarks) {
    const SimSettings s = applied(
        "\xEF\xBB\xBF; settings for the bench\r\n"
        "\r\n"
        "  [ card  1 ]   # inline\r\n"
        "\tserial = A#B;C   # marks inside a value stay\r\n"
        "version=7 ; seven\n");
    EXPECT_EQ(s.cards.at(1).serial, "A#B;C");
    EXPECT_EQ(s.cards.at(1).version, 7u);
}

TEST(SimConfig, InfoAnswersUpTo256Bytes) {
    std::string hex;
    for (int i = 0; i < 256; ++i) hex += "AB";
    const SimSettings s = applied("[card 0]\ninfo.0 = " + hex + "\n");
    EXPECT_EQ(s.cards.at(0).info.at(0).size(), 256u);
    EXPECT_NE(refusal("[card 0]\ninfo.0 = " + hex + "CD\n").find("longer than 256"), std::string::npos);
}

TEST(SimConfig, BadSettingsAreRefusedWithFileLineAndReason) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"[card 0]\nsped = 3\n", "sim.ini:2: unknown key 'sped'"},
        {"[card 0]\n\nversion = 0x1G\n", "sim.ini:3: '0x1G' is not a 32-bit number"},
        {"[card 0]\nversion = 4294967296\n", "sim.ini:2: '4294967296' is not a 32-bit number"},
        {"[card 0]\nslot = -1\n", "sim.ini:2: '-1' is not a 32-bit number"},
        {"[cards 0]\n", "sim.ini:1: bad section '[cards 0]'"},
        {"[card]\n", "sim.ini:1: bad section '[card]'"},
        {"[card 1\n", "sim.ini:1: bad section '[card 1'"},
        {"[card 32]\n", "sim.ini:1: device number 32 out of range 0..31"},
        {"[card 1]\n[card 2]\n[card 1]\n", "sim.ini:3: [card 1] given twice (first at line 1)"},
        {"[card 1]\nslot = 1\nslot = 2\n", "sim.ini:3: 'slot' given twice in [card 1]"},
        {"version = 1\n", "sim.ini:1: 'version' outside a [card N] section"},
        {"[card 1]\nversion\n", "sim.ini:2: expected 'key = value'"},
        {"[card 1]\n= 3\n", "sim.ini:2: missing key"},
        {"[card 1]\npresent = maybe\n", "sim.ini:2: present must be yes or no"},
        {"[card 1]\nhardware = 1\n", "sim.ini:2: hardware takes two words"},
        {"[card 1]\nhardware = 1 2 3\n", "sim.ini:2: hardware takes two words"},
        {"[card 1]\nserial = ABCDEFGHIJKLMNOPQ\n", "sim.ini:2: serial is longer than 16 characters"},
        {"[card 1]\nserial = caf\xC3\xA9\n", "sim.ini:2: serial must be printable ASCII"},
        {"[card 1]\nmap = maybe\n", "sim.ini:2: map must be refuse or accept"},
        {"[card 1]\nfail = 0x222404,,1\n", "sim.ini:2: empty item"},
        {"[card 1]\nfail = open\n", "sim.ini:2: 'open' is not a 32-bit number"},
        {"[card 1]\ninfo.15 = 00\n", "sim.ini:2: info.<c> needs a category 0..14, not '15'"},
        {"[card 1]\ndrop_stream = 8\n", "sim.ini:2: drop_stream must be at most 7"},
        {"[card 1]\ncorrupt_stream =\n", "sim.ini:2: corrupt_stream takes numbers 0 to 7"},
        {"[card 1]\nno_preview = 0\n", "sim.ini:2: no_preview must be at least 1"},
        {"[card 1]\ninfo.F = 00\n", "sim.ini:2: info.<c> needs a category"},
        {"[card 1]\ninfo. = 00\n", "sim.ini:2: info.<c> needs a category"},
        {"[card 1]\ninfo.1 = 012\n", "sim.ini:2: odd number of hex digits in '012'"},
        {"[card 1]\ninfo.1 = 01 2\n", "sim.ini:2: odd number of hex digits in '2'"},
        {"[card 1]\ninfo.1 = 0g\n", "sim.ini:2: 'g' is not a hex digit"},
        {"[card 1]\nstuck = 0x10\n", "sim.ini:2: stuck takes pairs of address and value"},
        {"[card 1]\nstuck = 0x10 1 2\n", "sim.ini:2: stuck takes pairs"},
        {"[card 1]\nstuck = 0x10 1,\n", "sim.ini:2: empty item in the stuck list"},
        {"[card 1]\nstuck = , 0x10 1\n", "sim.ini:2: stuck takes pairs"},
        {"[card 1]\nstuck = 0x400000 1\n", "sim.ini:2: stuck address 0x400000 is not in the DSP's memory"},
        {"[card 1]\nstuck = 0x88000000 1\n", "sim.ini:2: stuck address 0x88000000 is not in the DSP's memory"},
        {"[card 1]\nstuck = 0x10 0x100\n", "sim.ini:2: stuck value 0x100 is not a byte"},
        {"[card 1]\nstuck = 16 1, 0x10 2\n", "sim.ini:2: stuck address 0x10 given twice"},
        {"[card 1]\nstuck = x 1\n", "sim.ini:2: 'x' is not a 32-bit number"},
        {"[card 1]\ndsp = fast\n", "sim.ini:2: dsp must be normal, running or never, not 'fast'"},
        {"[card 1]\nrefuse_block = -1\n", "sim.ini:2: '-1' is not a 32-bit number"},
        {"[card 1]\nmalformed = often\n", "sim.ini:2: malformed must be yes or no, not 'often'"},
        {"[card 1]\nboot_ms = 60001\n", "sim.ini:2: boot_ms must be at most 60000"},
        {"[card 1]\nqueue = 0\n", "sim.ini:2: queue must hold at least one item"},
        {"[card 1]\nspeed = 0\n", "sim.ini:2: speed must be 1 or more"},
        {"[card 1]\nspeed = 65\n", "sim.ini:2: speed must be at most 64"},
        {"[card 1]\ndebug_per_s = 1001\n", "sim.ini:2: debug_per_s must be at most 1000"},
        {"[card 1]\nreplay =\n", "sim.ini:2: replay needs a file"},
        {"[card 1]\nfps = 0\n", "sim.ini:2: fps must be 1 or more"},
        {"[card 1]\nfps = 61\n", "sim.ini:2: fps must be at most 60"},
        {"[card 1]\nmain_kbps = 15\n", "sim.ini:2: main_kbps must be at least 16"},
        {"[card 1]\nsub_kbps = 20001\n", "sim.ini:2: sub_kbps must be at most 20000"},
        {"[card 1]\npreview_fps = 61\n", "sim.ini:2: preview_fps must be at most 60"},
        {"[card 1]\nntsc = pal\n", "sim.ini:2: ntsc must be yes or no, not 'pal'"},
        {"[card 1]\npreview_codes = 240 241 242\n", "sim.ini:2: preview_codes takes four codes"},
        {"[card 1]\npreview_codes = 240 241 242 247\n", "sim.ini:2: preview code 247 is not 240, 241 or 242"},
    };
    for (const auto& c : cases) {
        const std::string error = refusal(c.text);
        EXPECT_EQ(error.rfind(c.expected, 0), 0u) << "got: " << error;
    }
}

TEST(SimConfig, RefusedFileLeavesSettingsUnchanged) {
    SimSettings settings = SimSettings::withCards({0, 1});
    std::string error;
    EXPECT_FALSE(applySimConfigText("[card 0]\npresent = no\n[card 5]\nslot = x\n", "f", settings, error));
    EXPECT_TRUE(settings.cards.contains(0));
    EXPECT_FALSE(settings.cards.contains(5));
}

TEST(SimConfig, ReadsAFileAndNamesItInErrors) {
    const auto dir = std::filesystem::temp_directory_path() / ("pemblor_sim_config_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const auto file = dir / "cards.ini";
    std::ofstream(file) << "[card 4]\nslot = 12\n[card 4]\n";
    SimSettings settings = SimSettings::withCards({0});
    std::string error;
    EXPECT_FALSE(applySimConfig(file, settings, error));
    EXPECT_EQ(error, file.string() + ":3: [card 4] given twice (first at line 1)");
    std::ofstream(file) << "[card 4]\nslot = 12\n";
    ASSERT_TRUE(applySimConfig(file, settings, error)) << error;
    EXPECT_EQ(settings.cards.at(4).slot, 12u);
    EXPECT_FALSE(applySimConfig(dir / "missing.ini", settings, error));
    EXPECT_EQ(error, (dir / "missing.ini").string() + ": No such file or directory");
    EXPECT_FALSE(applySimConfig(dir, settings, error));
    std::filesystem::remove_all(dir);
}

TEST(SimCardList, ParsesNumbersAndRefusesTheRest) {
    std::string error;
    EXPECT_EQ(parseCardList("0,1", error), (std::vector<int>{0, 1}));
    EXPECT_EQ(parseCardList(" 5 3, 31,5 ", error), (std::vector<int>{5, 3, 31}));
    EXPECT_EQ(parseCardList("", error), std::vector<int>{});
    for (const char* bad : {"32", "a", "1,,2", ",1", "1,", "-1", "1.5"}) {
        EXPECT_FALSE(parseCardList(bad, error)) << bad;
        EXPECT_FALSE(error.empty());
    }
}

}  // namespace
}  // namespace pemblor::sim
