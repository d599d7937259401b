#include "sim/settings/sim_report.hpp"

#include <fstream>

#include "sim/card/sim_transport.hpp"

namespace pemblor::sim {

namespace {

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

std::string number(std::uint64_t n) { return std::to_string(n); }

std::string streamsJson(const DeliveryLedger& ledger) {
    std::string json = "[\n";
    for (std::size_t slot = 0; slot < kStreamCount; ++slot) {
        const SlotTally& t = ledger.streamSlots()[slot];
        json += "        {\"slot\": " + number(slot) + ", \"blocks\": " + number(t.blocks) +
                ", \"payload_bytes\": " + number(t.payloadBytes) + ", \"sha256\": " + quoted(t.payloadHash.hex()) +
                "}" + (slot + 1 < kStreamCount ? ",\n" : "\n");
    }
    return json + "      ]";
}

std::string previewsJson(const DeliveryLedger& ledger) {
    std::string json = "{";
    for (std::uint32_t code : {kCodePreviewCif, kCodePreviewQcif, kCodePreviewNtscCif, kCodeFullPreview}) {
        const auto it = ledger.previews().find(code);
        json += (code == kCodePreviewCif ? "\"" : ", \"") + number(code) +
                "\": " + number(it == ledger.previews().end() ? 0 : it->second);
    }
    return json + "}";
}

std::string dropsJson(const DropTally& d) {
    return "{\"total\": " + number(d.total()) + ", \"blocks\": " + number(d.blocks) + ", \"original_video\": " +
           number(d.originalVideo) + ", \"preview_pictures\": " + number(d.previews) + ", \"debug_records\": " +
           number(d.debugRecords) + "}";
}

}  // namespace

std::string cardReportJson(int deviceNumber, const DeliveryLedger& ledger) {
    return "    {\n"
           "      \"device\": " + std::to_string(deviceNumber) + ",\n"
           "      \"fetches\": " + number(ledger.fetches()) + ",\n"
           "      \"records\": " + number(ledger.records()) + ",\n"
           "      \"streams\": " + streamsJson(ledger) + ",\n"
           "      \"original_video\": {\"bytes\": " + number(ledger.originalVideoBytes()) +
           ", \"sha256\": " + quoted(ledger.originalVideoHash().hex()) + "},\n"
           "      \"preview_pictures\": " + previewsJson(ledger) + ",\n"
           "      \"debug_records\": " + number(ledger.debugRecords()) + ",\n"
           "      \"malformed_records\": " + number(ledger.malformedRecords()) + ",\n"
           "      \"dropped\": " + dropsJson(ledger.drops()) + ",\n"
           "      \"undelivered\": " + number(ledger.undelivered()) + "\n"
           "    }";
}

std::string simReportJson(SimTransport& transport) {
    std::string json = "{\n  \"cards\": [";
    bool first = true;
    transport.forEachCard([&](int number, const DeliveryLedger& ledger) {
        json += (first ? "\n" : ",\n") + cardReportJson(number, ledger);
        first = false;
    });
    return json + (first ? "]\n}\n" : "\n  ]\n}\n");
}

bool writeSimReport(SimTransport& transport, const std::filesystem::path& file, std::string& error) {
    const std::string json = simReportJson(transport);
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    if (out) out.write(json.data(), static_cast<std::streamsize>(json.size()));
    if (!out) {
        error = file.string() + ": cannot write the sim report";
        return false;
    }
    return true;
}

}  // namespace pemblor::sim
