// "Save" and "Load" of data-to-write files, driven as an operator would
// through the script console.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "app/console.hpp"
#include "dsp/temp_dir.hpp"
#include "resources/console_ids.hpp"
#include "support/console_script.hpp"
#include "support/fake_host.hpp"

namespace pemblor::memory {
namespace {

using ::testing::ElementsAre;
using Bytes = std::vector<std::uint8_t>;

constexpr const char* kUnlock = "click \"5 Enable Superior Op\"\nsettext 1064 \"61740253\"\nclick \"Enter\"\n";

Bytes fileBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::filesystem::path& p, const Bytes& bytes) {
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::string> run(const std::string& script) {
    const auto r = testing::runConsoleScript(std::string(kUnlock) + script, sim::SimSettings::withCards({0}));
    EXPECT_EQ(r.exitCode, 0) << r.err;
    // Past the unlock: OPEN 102, OPEN 132, CLOSE 132 1.
    return {r.out.begin() + 3, r.out.end()};
}

TEST(DataFiles, SaveAndLoadRoundTripWithTheDefaultExtension) {
    dsp::testing::TempDir dir;
    const std::string nine = (dir / "nine").string();
    const std::string full = nine + ".CMD";
    const auto out = run("settext 1013 \"01 02 03 04 05 06 07 08 09\"\n"
                         "answer file \"" + nine + "\"\nclick \"Save\"\nprint 1028\n"
                         "settext 1013 \"\"\n"
                         "answer file \"" + nine + "\"\nclick \"Load\"\nprint 1013\n"
                         "answer file \"" + full + "\"\nclick \"Save\"\n");
    EXPECT_THAT(out, ElementsAre("TEXT 1028 " + full, "TEXT 1013 01 02 03 04 05 06 07 08 \\r\\n09 ", "CLOSE 102 2"));
    EXPECT_EQ(fileBytes(full), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9}));  // saved again unchanged
}

TEST(DataFiles, LoadShowsAtMostFiveHundredTwelveBytesAndSavesThemBack) {
    dsp::testing::TempDir dir;
    Bytes big(600);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7);
    writeFile(dir / "big.cmd", big);
    writeFile(dir / "empty.cmd", {});
    const auto out = run("answer file \"" + (dir / "big.cmd").string() + "\"\nclick \"Load\"\n" +
                         "answer file \"" + (dir / "copy.cmd").string() + "\"\nclick \"Save\"\n" +
                         "answer file \"" + (dir / "empty.cmd").string() + "\"\nclick \"Load\"\nprint 1013\nprint 1028\n");
    EXPECT_THAT(out, ElementsAre("TEXT 1013 ", "TEXT 1028 " + (dir / "empty.cmd").string(), "CLOSE 102 2"));
    EXPECT_EQ(fileBytes(dir / "copy.cmd"), Bytes(big.begin(), big.begin() + 512));
}

TEST(DataFiles, NothingToSaveCancelAndUnopenableFilesLeaveEverythingAsItWas) {
    dsp::testing::TempDir dir;
    writeFile(dir / "keep.cmd", {0xAB});
    const std::string keep = (dir / "keep.cmd").string();
    const std::string folder = (dir / "folder.cmd").string();
    std::filesystem::create_directory(folder);
    const auto out = run("settext 1013 \"no pairs here\"\n"
                         "answer file \"" + keep + "\"\nclick \"Save\"\n"  // nothing parsed: untouched
                         "answer cancel\nclick \"Load\"\n"
                         "answer file \"" + (dir / "missing.cmd").string() + "\"\nclick \"Load\"\n"
                         "settext 1013 \"01\"\n"
                         "answer file \"" + folder + "\"\nclick \"Save\"\n"
                         "answer file \"" + folder + "\"\nclick \"Load\"\n"
                         "print 1028\nprint 1013\n");
    EXPECT_THAT(out, ElementsAre("MSG Open file failed!", "MSG Open file failed!", "MSG Open file failed!",
                                 "TEXT 1028 File:", "TEXT 1013 01", "CLOSE 102 2"));
    EXPECT_EQ(fileBytes(keep), Bytes{0xAB});
}

TEST(DataFiles, BothDialogsOfferCmdFiles) {
    sim::SimTransport transport(sim::SimSettings::withCards({0}));
    driver::DriverLink link(transport);
    testing::FakeHost host;
    app::Console console(host, link);
    host.onModal = [](ui::Dialog& key) {
        key.userSetText(1064, "61740253");
        key.click(ui::kIdOk);
    };
    ui::Dialog& d = console.dialog();
    d.click(resources::console::kSuperiorOp);
    d.click(resources::console::kSave);
    d.click(resources::console::kLoad);
    ASSERT_EQ(host.fileRequests.size(), 2u);
    for (const ui::FileRequest& r : host.fileRequests) {
        EXPECT_EQ(r.filter, "CMD Files(*.cmd)|*.cmd|All Files(*.*)|*.*||");
        EXPECT_EQ(r.defaultExtension, "CMD");
        EXPECT_EQ(r.initialName, "*.cmd");
    }
}

}  // namespace
}  // namespace pemblor::memory
