// The sim report against what was fetched: in process, hashed as the
// records arrive; and end to end, through the script console walking the
// whole road with the sample program, against the files it recorded.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <unistd.h>

extern "C" {
#include <libavutil/mem.h>
#include <libavutil/sha.h>
}

#include "sim/production/delivery.hpp"
#include "sim/settings/sim_report.hpp"
#include "support/run_command.hpp"
#include "sim_test_support.hpp"

namespace pemblor::sim::test {
namespace {

using namespace std::chrono_literals;

// SHA-256 of bytes taken in pieces, as lower-case hex.
class Hash {
public:
    Hash() : sha_(av_sha_alloc()) { av_sha_init(sha_, 256); }
    ~Hash() { av_free(sha_); }
    void add(const std::uint8_t* p, std::size_t n) { av_sha_update(sha_, p, static_cast<unsigned>(n)); }
    std::string hex() {
        std::uint8_t d[32];
        av_sha_final(sha_, d);
        std::string s;
        char pair[3];
        for (std::uint8_t b : d) {
            std::snprintf(pair, sizeof pair, "%02x", b);
            s += pair;
        }
        return s;
    }

private:
    AVSHA* sha_;
};

std::string slurp(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// The report's line for a slot: {"slot": N, "blocks": B, "payload_bytes": P, "sha256": "..."}.
std::string slotLine(std::size_t slot, std::uint64_t blocks, std::uint64_t bytes, const std::string& sha) {
    return "{\"slot\": " + std::to_string(slot) + ", \"blocks\": " + std::to_string(blocks) +
           ", \"payload_bytes\": " + std::to_string(bytes) + ", \"sha256\": \"" + sha + "\"}";
}

class SimReport : public SimCardTest {};

TEST_F(SimReport, ChecksumsEqualAHashOfWhatWasFetched) {
    startWith("[card 0]\ndsp = running\nspeed = 4\n");
    const Bytes mapping = call(driver::kMapAddresses, {}, 64).out;
    const auto run = transport_->area(handle_, wordAt(mapping, 1));
    const auto video = transport_->area(handle_, wordAt(mapping, 5));
    const driver::EventHandle event = transport_->createEvent();
    ASSERT_TRUE(call(driver::kRegisterEvent, words({event}), 0).result.ok);
    std::array<Hash, kStreamCount> slots;
    std::array<std::uint64_t, kStreamCount> blocks{}, bytes{};
    Hash videoHash;
    std::uint64_t videoBytes = 0, previews = 0;
    const auto deadline = std::chrono::steady_clock::now() + 90s;
    while ((blocks[7] < 200 || videoBytes < 3 * 811008u) && std::chrono::steady_clock::now() < deadline) {
        if (transport_->waitEvent(event, 1000) != driver::WaitResult::Signalled) continue;
        const Answer a = call(driver::kFetchNotifications, {}, 128);
        for (std::size_t i = 0; i < a.result.bytes / 16; ++i) {
            const std::uint32_t code = wordAt(a.out, i * 4), n = wordAt(a.out, i * 4 + 3);
            if (code == kCodeOriginalVideo) {
                videoHash.add(video.data(), n);
                videoBytes += n;
            } else if (code >= kCodePreviewCif) {
                ++previews;
            } else if (code == kCodeStreamBlocks) {
                for (std::size_t at = 0; at + 8 < n;) {
                    const std::uint32_t total = driver::loadU32(run, at), id = driver::loadU32(run, at + 4);
                    slots[id].add(run.data() + at + 8, total - 8);
                    ++blocks[id];
                    bytes[id] += total - 8;
                    at += total;
                }
            }
        }
    }
    const std::string report = simReportJson(*transport_);
    for (std::size_t s = 0; s < kStreamCount; ++s) {
        EXPECT_GT(blocks[s], 0u);
        EXPECT_NE(report.find(slotLine(s, blocks[s], bytes[s], slots[s].hex())), std::string::npos) << s << report;
    }
    EXPECT_NE(report.find("\"original_video\": {\"bytes\": " + std::to_string(videoBytes) + ", \"sha256\": \"" +
                          videoHash.hex() + "\"}"),
              std::string::npos)
        << report;
    EXPECT_GT(previews, 0u);
    EXPECT_NE(report.find("\"dropped\": {\"total\": 0,"), std::string::npos);
}

#if defined(PEMBLORCTL_PATH) && defined(PEMBLOR_SAMPLE_IMAGE)
// The newcomer's walk with the sample program: what the console recorded is
// exactly what the card reports it handed out.
TEST(SimReportEndToEnd, TheRecordedFilesHoldExactlyWhatTheCardReports) {
    const auto dir = std::filesystem::temp_directory_path() / ("pemblor_report_" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    std::ofstream(dir / "road.txt") << "click \"5 Enable Superior Op\"\nsettext 1064 \"61740253\"\nclick \"Enter\"\n"
                                       "select 1027 \"Dev0\"\nclick \"1 OpenDev\"\nclick \"7 ResetDSP\"\n"
                                       "answer file \"" PEMBLOR_SAMPLE_IMAGE "\"\nclick \"8 LoadP\"\n"
                                       "click \"9 InterDSP\"\nclick \"10 SetDMA\"\n"
                                       "click 1047\nclick 1048\nclick 1049\nclick 1050\nclick 1051\n"
                                       "click \"SaveFile\"\nclick \"RecvData\"\nwait 6000\nclick \"RecvData\"\n"
                                       "click \"2 CloseDev\"\n";
    const auto r = testing::runCommand(std::string(PEMBLORCTL_PATH) + " --root " + dir.string() + " --sim-report " +
                                       (dir / "report.json").string() + " --cards 0 console --script " +
                                       (dir / "road.txt").string());
    ASSERT_EQ(r.status, 0) << r.out;
    EXPECT_NE(r.out.find("LINE Load sample.IMG to DSP finished OK!!!"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("ERROR!!!!!!"), std::string::npos);
    const std::string report = slurp(dir / "report.json");
    for (int slot = 0; slot < 8; ++slot) {
        const std::string file = slurp(dir / ("EVDATA000" + std::to_string(slot) + ".264"));
        ASSERT_GE(file.size(), 128u);
        Hash h;
        h.add(reinterpret_cast<const std::uint8_t*>(file.data()) + 128, file.size() - 128);
        const std::regex line("\\{\"slot\": " + std::to_string(slot) +
                              ", \"blocks\": ([0-9]+), \"payload_bytes\": " + std::to_string(file.size() - 128) +
                              ", \"sha256\": \"" + h.hex() + "\"\\}");
        std::smatch m;
        ASSERT_TRUE(std::regex_search(report, m, line)) << slot << "\n" << report;
        if (slot == 0) {
            EXPECT_GT(std::stoul(m[1]), 0u);
        }
    }
    const std::string video = slurp(dir / "ORGVIDEO00.YUV");
    Hash h;
    h.add(reinterpret_cast<const std::uint8_t*>(video.data()), video.size());
    EXPECT_NE(report.find("\"original_video\": {\"bytes\": " + std::to_string(video.size()) + ", \"sha256\": \"" +
                          h.hex() + "\"}"),
              std::string::npos)
        << report;
    std::filesystem::remove_all(dir);
}
#endif

}  // namespace
}  // namespace pemblor::sim::test
