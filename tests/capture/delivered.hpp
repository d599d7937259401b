#pragma once
// What a simulated card says it delivered (its sim report) next to what the
// recording files hold: bytes and SHA-256 per stream slot and for the
// original video, so a test can prove that nothing was lost or added.
extern "C" {
#include <libavutil/mem.h>
#include <libavutil/sha.h>
}

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "sim/settings/sim_report.hpp"
#include "sim/card/sim_transport.hpp"

namespace pemblor::capture::testing {

// "bytes sha256" of the files' bytes one after the other, each from offset on.
inline std::string filesDigest(const std::vector<std::filesystem::path>& files, std::size_t offset = 0) {
    AVSHA* sha = av_sha_alloc();
    av_sha_init(sha, 256);
    std::size_t total = 0;
    for (const std::filesystem::path& p : files) {
        std::ifstream in(p, std::ios::binary);
        std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
        if (bytes.size() < offset) {
            av_free(sha);
            return "short";
        }
        av_sha_update(sha, bytes.data() + offset, static_cast<unsigned>(bytes.size() - offset));
        total += bytes.size() - offset;
    }
    std::uint8_t digest[32];
    av_sha_final(sha, digest);
    av_free(sha);
    std::string text = std::to_string(total) + " ";
    char hex[3];
    for (std::uint8_t b : digest) {
        std::snprintf(hex, sizeof hex, "%02x", b);
        text += hex;
    }
    return text;
}

inline std::string fileDigest(const std::filesystem::path& p, std::size_t offset = 0) { return filesDigest({p}, offset); }

// The first card's "bytes sha256" of the eight stream slots, then of the
// original video, from the sim report (cards come in device order).
inline std::vector<std::string> deliveredDigests(sim::SimTransport& transport) {
    const std::string json = sim::simReportJson(transport);
    std::vector<std::string> digests;
    const std::regex slot("\"payload_bytes\": ([0-9]+), \"sha256\": \"([0-9a-f]{64})\"");
    for (auto it = std::sregex_iterator(json.begin(), json.end(), slot);
         it != std::sregex_iterator() && digests.size() < 8; ++it) {
        digests.push_back((*it)[1].str() + " " + (*it)[2].str());
    }
    std::smatch video;
    if (std::regex_search(json, video, std::regex("\"original_video\": \\{\"bytes\": ([0-9]+), \"sha256\": \"([0-9a-f]{64})\""))) {
        digests.push_back(video[1].str() + " " + video[2].str());
    }
    return digests;
}

// "bytes sha256" of the eight stream slots of a device in a sim report file.
inline std::vector<std::string> reportedStreamDigests(const std::filesystem::path& report, int device) {
    std::ifstream in(report);
    const nlohmann::json json = nlohmann::json::parse(in, nullptr, false);
    std::vector<std::string> digests;
    if (json.is_discarded()) return digests;
    for (const auto& card : json["cards"]) {
        if (card["device"] != device) continue;
        for (const auto& stream : card["streams"]) {
            digests.push_back(std::to_string(stream["payload_bytes"].get<std::uint64_t>()) + " " +
                              stream["sha256"].get<std::string>());
        }
    }
    return digests;
}

// The same from the files of device 0 in root.
inline std::vector<std::string> recordedDigests(const std::filesystem::path& root) {
    std::vector<std::string> digests;
    for (int slot = 0; slot < 8; ++slot) digests.push_back(fileDigest(root / ("EVDATA000" + std::to_string(slot) + ".264"), 128));
    digests.push_back(fileDigest(root / "ORGVIDEO00.YUV"));
    return digests;
}

}  // namespace pemblor::capture::testing
