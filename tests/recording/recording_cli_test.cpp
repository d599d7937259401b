// Recording and reading back through the binaries, as an operator does it: a
// console stopped by a termination signal while it receives, then
// pemblorctl recording on what it left.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/temp_dir.hpp"
#include "support/run_command.hpp"

namespace pemblor::recording {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using pemblor::testing::runCommand;

TEST(RecordingCommand, ATerminationSignalFinishesTheFilesThatInfoThenReads) {
    pemblor::testing::TempDir dir;
    const std::filesystem::path root = dir / "root";
    std::ofstream(dir / "s.txt") << "click \"1 OpenDev\"\nclick \"SaveFile\"\nclick \"RecvData\"\nwait 30000\n";
    const std::string ctl = std::string(PEMBLORCTL_PATH) + " --root " + root.string();
    const std::string last = (root / "ORGVIDEO00.YUV").string();
    // Once the last file of the start exists, the console is receiving: then the signal.
    const auto r = runCommand("(" + ctl + " --cards 0 console --script " + (dir / "s.txt").string() +
                              " & p=$!; i=0; until [ -e " + last + " ] || [ $i -ge 600 ]; do sleep 0.05; i=$((i+1)); "
                              "done; kill -TERM $p; wait $p; echo rc=$?) 2>&1");
    EXPECT_THAT(r.out, HasSubstr("CLOSE 102 2\nrc=0\n"));

    std::string files;
    for (int slot = 0; slot < 8; ++slot) files += " " + (root / ("EVDATA000" + std::to_string(slot) + ".264")).string();
    const auto info = runCommand(ctl + " recording info" + files + " 2>&1");
    EXPECT_EQ(info.status, 0) << info.out;
    EXPECT_THAT(info.out, HasSubstr((root / "EVDATA0007.264").string() + "\n  header:        recording, started "));
    EXPECT_THAT(info.out, HasSubstr("  finished:      2"));
    EXPECT_THAT(info.out, Not(HasSubstr("cut off")));

    const auto none = runCommand(ctl + " recording export " + (root / "EVDATA0000.264").string() + " " +
                                 (dir / "out.mp4").string() + " 2>&1");
    EXPECT_EQ(none.status, 1);
    EXPECT_THAT(none.out, HasSubstr("EVDATA0000.264: holds no H.264 pictures, nothing to export"));
    const auto usage = runCommand(ctl + " recording 2>&1");
    EXPECT_NE(usage.status, 0);
}

}  // namespace
}  // namespace pemblor::recording
