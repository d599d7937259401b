#include "selftest/table_files.hpp"

#include <unistd.h>

#include <array>
#include <cmath>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>
#include <sstream>

#include "common/iso_time.hpp"
#include "common/printf_line.hpp"
#include "common/version.hpp"

namespace pemblor::selftest {

namespace {

// Milliseconds are all a check's time needs.
double rounded(double seconds) { return std::round(seconds * 1000) / 1000; }

std::string hostName() {
    std::array<char, 256> name{};
    if (::gethostname(name.data(), name.size() - 1) != 0) return "localhost";
    return name.data();
}

// Times in JUnit attributes as text, so they show as written.
std::string junitSeconds(double seconds) { return common::printfLine("%.3f", seconds); }

// JUnit's timestamps carry no offset.
std::string junitTime(std::time_t t) { return common::isoLocalTime(t).substr(0, 19); }

}  // namespace

std::string tableJson(const CheckTable& table) {
    nlohmann::ordered_json checks = nlohmann::ordered_json::array();
    for (const CheckRow& row : table.rows) {
        checks.push_back({{"group", row.group()},
                          {"name", row.name},
                          {"title", row.title},
                          {"result", outcomeName(row.outcome)},
                          {"measured", row.measured},
                          {"limit", row.limit},
                          {"seconds", rounded(row.seconds)},
                          {"meaning", row.meaning}});
    }
    nlohmann::ordered_json doc = {{"version", common::projectVersion()},
                                  {"commit", common::buildCommit()},
                                  {"device", table.device},
                                  {"path", table.devicePath},
                                  {"options",
                                   {{"quick", table.quick},
                                    {"seconds", table.streamSeconds},
                                    {"program", table.program},
                                    {"reboot", table.reboot}}},
                                  {"started", common::isoLocalTime(table.started)},
                                  {"finished", common::isoLocalTime(table.finished)},
                                  {"seconds", rounded(table.elapsed)},
                                  {"result", verdictName(table.verdict())},
                                  {"exit_status", table.exitStatus()},
                                  {"not_run", table.notRun},
                                  {"summary",
                                   {{"passed", table.count(Outcome::kPass)},
                                    {"failed", table.count(Outcome::kFail)},
                                    {"skipped", table.count(Outcome::kSkip)}}},
                                  {"checks", checks}};
    // Replaced, not refused: a card's text may hold bytes that are not UTF-8.
    return doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
}

std::string tableJUnit(const CheckTable& table) {
    pugi::xml_document doc;
    pugi::xml_node decl = doc.append_child(pugi::node_declaration);
    decl.append_attribute("version") = "1.0";
    decl.append_attribute("encoding") = "UTF-8";
    pugi::xml_node suites = doc.append_child("testsuites");
    suites.append_attribute("name") = ("pemblor selftest " + table.devicePath).c_str();
    suites.append_attribute("tests") = static_cast<unsigned long long>(table.rows.size());
    suites.append_attribute("failures") = static_cast<unsigned long long>(table.count(Outcome::kFail));
    suites.append_attribute("errors") = table.notRun.empty() ? 0 : 1;
    suites.append_attribute("skipped") = static_cast<unsigned long long>(table.count(Outcome::kSkip));
    suites.append_attribute("time") = junitSeconds(table.elapsed).c_str();
    const std::string host = hostName();
    int id = 0;
    pugi::xml_node suite;
    for (const CheckRow& row : table.rows) {
        const std::string group(row.group());
        if (!suite || group != suite.attribute("name").value()) {
            suite = suites.append_child("testsuite");
            suite.append_attribute("name") = group.c_str();
            suite.append_attribute("id") = id++;
            suite.append_attribute("package") = "selftest";
            suite.append_attribute("hostname") = host.c_str();
            suite.append_attribute("timestamp") = junitTime(table.started).c_str();
            for (const char* counter : {"tests", "failures", "errors", "skipped"}) suite.append_attribute(counter) = 0;
            suite.append_attribute("time") = junitSeconds(0).c_str();
        }
        suite.attribute("tests") = suite.attribute("tests").as_int() + 1;
        suite.attribute("time") = junitSeconds(suite.attribute("time").as_double() + row.seconds).c_str();
        pugi::xml_node c = suite.append_child("testcase");
        c.append_attribute("name") = row.name.c_str();
        c.append_attribute("classname") = ("selftest." + group).c_str();
        c.append_attribute("time") = junitSeconds(row.seconds).c_str();
        if (row.outcome == Outcome::kFail) {
            suite.attribute("failures") = suite.attribute("failures").as_int() + 1;
            pugi::xml_node f = c.append_child("failure");
            f.append_attribute("message") = row.meaning.c_str();
            f.append_attribute("type") = "FAIL";
            f.text() = ("measured " + row.measured + ", limit " + row.limit).c_str();
        } else if (row.outcome == Outcome::kSkip) {
            suite.attribute("skipped") = suite.attribute("skipped").as_int() + 1;
            c.append_child("skipped").append_attribute("message") = row.meaning.c_str();
        }
        c.append_child("system-out").text() =
            (row.title + ": measured " + row.measured + ", limit " + row.limit).c_str();
    }
    std::ostringstream out;
    doc.save(out, "  ", pugi::format_default, pugi::encoding_utf8);
    return out.str();
}

}  // namespace pemblor::selftest
