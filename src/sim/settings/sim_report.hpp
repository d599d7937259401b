#pragma once
// The sim report: a JSON file of what each simulated card handed out and
// what it dropped, written when the program ends (--sim-report FILE), so a
// test or an engineer can prove that nothing was lost on the way.
#include <filesystem>
#include <string>

#include "sim/production/delivery_ledger.hpp"

namespace pemblor::sim {

class SimTransport;

// One card's entry, a JSON object.
std::string cardReportJson(int deviceNumber, const DeliveryLedger& ledger);

// {"cards": [...]} for every card of the transport, in device order.
std::string simReportJson(SimTransport& transport);
bool writeSimReport(SimTransport& transport, const std::filesystem::path& file, std::string& error);

}  // namespace pemblor::sim
