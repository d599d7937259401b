// "Save" and "Load" of data-to-write files, driven as an operator would
// through the script console.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "support/temp_dir.hpp"
#include "support/console_script.hpp"

namespace pemblor::memory {
namespace {

using ::testing::ElementsAre;
using Bytes = std::vector<std::uint8_t>;

Bytes fileBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeFile(const std::filesystem::path& p, const Bytes& bytes) {
    std::ofstream(p, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                             static_cast<std::streamsize>(bytes.size()));
}

TEST(DataFiles, SaveAndLoadRoundTripAndLeaveFilesAloneWhenThereIsNothingToDo) {
    pemblor::testing::TempDir dir;
    const auto at = [&](const char* name) { return (dir / name).string(); };
    const auto answer = [&](const char* name) { return "answer file \"" + at(name) + "\"\n"; };
    Bytes big(600);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7);
    writeFile(dir / "big.cmd", big);
    writeFile(dir / "empty.cmd", {});
    writeFile(dir / "keep.cmd", {0xAB});
    std::filesystem::create_directory(dir / "folder.cmd");

    const std::string script =
        "click \"5 Enable Superior Op\"\nsettext 1064 \"61740253\"\nclick \"Enter\"\n"
        // Nine bytes to a name without extension; loaded back, eight a line.
        "settext 1013 \"01 02 03 04 05 06 07 08 09\"\n" + answer("nine") + "click \"Save\"\nprint 1028\n" +
        "settext 1013 \"\"\n" + answer("nine") + "click \"Load\"\nprint 1013\n" + answer("nine.CMD") +
        "click \"Save\"\n" +
        // 600 bytes load as 512 and save as 512; an empty file loads as nothing.
        answer("big.cmd") + "click \"Load\"\n" + answer("copy.cmd") + "click \"Save\"\n" + answer("empty.cmd") +
        "click \"Load\"\nprint 1013\n" +
        // Nothing parsed, cancelled, missing or a folder: only the message.
        "settext 1013 \"no pairs here\"\n" + answer("keep.cmd") + "click \"Save\"\nanswer cancel\nclick \"Load\"\n" +
        answer("missing.cmd") + "click \"Load\"\nsettext 1013 \"01\"\n" + answer("folder.cmd") + "click \"Save\"\n" +
        answer("folder.cmd") + "click \"Load\"\nprint 1028\nprint 1013\n";
    const auto run = testing::runConsoleScript(script, sim::SimSettings::withCards({0}));
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(std::vector<std::string>(run.out.begin() + 3, run.out.end()),  // past the unlock
                ElementsAre("TEXT 1028 " + at("nine.CMD"), "TEXT 1013 01 02 03 04 05 06 07 08 \\r\\n09 ", "TEXT 1013 ",
                            "MSG Open file failed!", "MSG Open file failed!", "MSG Open file failed!",
                            "TEXT 1028 " + at("empty.cmd"), "TEXT 1013 01", "CLOSE 102 2"));
    EXPECT_EQ(fileBytes(at("nine.CMD")), (Bytes{1, 2, 3, 4, 5, 6, 7, 8, 9}));  // saved again unchanged
    EXPECT_EQ(fileBytes(at("copy.cmd")), Bytes(big.begin(), big.begin() + 512));
    EXPECT_EQ(fileBytes(at("keep.cmd")), Bytes{0xAB});
}

}  // namespace
}  // namespace pemblor::memory
