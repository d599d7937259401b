// The self-test's table as text, JSON and JUnit XML: each read back by a
// parser, JUnit checked for the elements and attributes its schema requires.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include "common/version.hpp"
#include "selftest/table_files.hpp"
#include "selftest/table_text.hpp"

namespace pemblor::selftest {
namespace {

using ::testing::ElementsAre;
using ::testing::MatchesRegex;

CheckTable sampleTable() {
    CheckTable t;
    t.device = 3;
    t.devicePath = "\\\\.\\KSVECWDM3";
    t.program = "sample program";
    t.streamSeconds = 2;
    t.quick = true;
    t.started = 1'700'000'000;
    t.finished = t.started + 4;
    t.elapsed = 3.5;
    t.rows = {
        {"driver.open", "device opens", Outcome::kPass, "\\\\.\\KSVECWDM3", "opens", 0.0012, ""},
        {"memory.onchip", "on-chip memory", Outcome::kSkip, "", "", 0, "quick run: no memory test"},
        {"memory.bars", "bar windows readable", Outcome::kFail, "2 of 3 windows", "3 windows", 0.25,
         "bar 2 does not answer a read: <\"&'> \xC3\xA9"},
        {"stream.debug", "debug lines arrive", Outcome::kPass, "9 lines", "> 0", 1.5, ""},
    };
    return t;
}

TEST(SelfTestTable, VerdictsAndExitStatuses) {
    CheckTable t = sampleTable();
    EXPECT_EQ(t.verdict(), Verdict::kFailed);
    EXPECT_EQ(t.exitStatus(), 1);
    t.rows[2].outcome = Outcome::kPass;
    EXPECT_EQ(t.exitStatus(), 0);  // a skip is no failure
    t.interrupted = true;
    EXPECT_EQ(t.verdict(), Verdict::kInterrupted);
    EXPECT_EQ(t.exitStatus(), 2);
    t.notRun = "\\\\.\\KSVECWDM3: no such device";
    EXPECT_EQ(t.verdict(), Verdict::kNotRun);
    EXPECT_EQ(t.exitStatus(), 2);
    EXPECT_EQ(summaryLine(t), "self-test not run: \\\\.\\KSVECWDM3: no such device");
}

TEST(SelfTestTable, TextHasOneLineACheckAndTheMeaningUnderAFailure) {
    const auto lines = tableLines(sampleTable());
    ASSERT_EQ(lines.size(), 8u);
    EXPECT_THAT(lines[0], MatchesRegex("CHECK +RESULT +MEASURED +LIMIT +TIME"));
    EXPECT_THAT(lines[1], MatchesRegex(R"(driver\.open +PASS +\\\\\.\\KSVECWDM3 +opens +0\.001 s)"));
    EXPECT_THAT(lines[2], MatchesRegex(R"(memory\.onchip +SKIP)"));
    EXPECT_EQ(lines[3], "    quick run: no memory test");
    EXPECT_THAT(lines[4], MatchesRegex(R"(memory\.bars +FAIL +2 of 3 windows +3 windows +0\.250 s)"));
    EXPECT_THAT(lines[5], ::testing::StartsWith("    bar 2 does not answer"));
    EXPECT_EQ(lines[7], "4 checks on \\\\.\\KSVECWDM3: 2 passed, 1 failed, 1 skipped in 3.5 s: FAIL");
}

TEST(SelfTestTable, JsonCarriesEveryRowAndTheVerdict) {
    const CheckTable t = sampleTable();
    const nlohmann::json doc = nlohmann::json::parse(tableJson(t));
    EXPECT_THAT(doc["version"].get<std::string>(), MatchesRegex(R"([0-9]+\.[0-9]+\.[0-9]+)"));
    EXPECT_EQ(doc["commit"].get<std::string>(), common::buildCommit());
    EXPECT_EQ(doc["device"], 3);
    EXPECT_EQ(doc["path"], t.devicePath);
    EXPECT_THAT(doc["started"].get<std::string>(),
                MatchesRegex(R"([0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}[+-][0-9]{2}:[0-9]{2})"));
    EXPECT_EQ(doc["result"], "fail");
    EXPECT_EQ(doc["exit_status"], 1);
    EXPECT_EQ(doc["options"]["quick"], true);
    EXPECT_EQ(doc["summary"], nlohmann::json({{"passed", 2}, {"failed", 1}, {"skipped", 1}}));
    ASSERT_EQ(doc["checks"].size(), t.rows.size());
    for (std::size_t i = 0; i < t.rows.size(); ++i) {
        const nlohmann::json& c = doc["checks"][i];
        EXPECT_EQ(c["name"], t.rows[i].name);
        EXPECT_EQ(c["group"], std::string(t.rows[i].group()));
        EXPECT_EQ(c["result"], std::string(outcomeName(t.rows[i].outcome)));
        EXPECT_EQ(c["measured"], t.rows[i].measured);
        EXPECT_EQ(c["meaning"], t.rows[i].meaning);
        EXPECT_NEAR(c["seconds"].get<double>(), t.rows[i].seconds, 0.001);
    }
}

// The attributes a JUnit schema requires of each element.
void expectAttributes(const pugi::xml_node& node, std::initializer_list<const char*> names) {
    for (const char* name : names) EXPECT_TRUE(node.attribute(name)) << node.name() << " lacks " << name;
}

TEST(SelfTestTable, JUnitHasTheSchemasRequiredElementsAndCounts) {
    const CheckTable t = sampleTable();
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(tableJUnit(t).c_str()));
    const pugi::xml_node suites = doc.child("testsuites");
    ASSERT_TRUE(suites);
    expectAttributes(suites, {"name", "tests", "failures", "errors", "time"});
    EXPECT_EQ(suites.attribute("tests").as_int(), 4);
    EXPECT_EQ(suites.attribute("failures").as_int(), 1);
    std::vector<std::string> groups;
    int cases = 0, failures = 0, skips = 0;
    for (const pugi::xml_node suite : suites.children("testsuite")) {
        groups.push_back(suite.attribute("name").value());
        expectAttributes(suite, {"name", "tests", "failures", "errors", "skipped", "time", "timestamp", "hostname",
                                 "id", "package"});
        EXPECT_THAT(suite.attribute("timestamp").value(),
                    MatchesRegex(R"([0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2})"));
        int inSuite = 0;
        for (const pugi::xml_node c : suite.children("testcase")) {
            ++inSuite;
            expectAttributes(c, {"name", "classname", "time"});
            if (const pugi::xml_node f = c.child("failure")) {
                ++failures;
                expectAttributes(f, {"message", "type"});
                EXPECT_EQ(std::string(f.attribute("message").value()), t.rows[2].meaning);
            }
            if (const pugi::xml_node s = c.child("skipped")) {
                ++skips;
                expectAttributes(s, {"message"});
            }
        }
        EXPECT_EQ(suite.attribute("tests").as_int(), inSuite);
        cases += inSuite;
    }
    EXPECT_THAT(groups, ElementsAre("driver", "memory", "stream"));
    EXPECT_EQ(cases, 4);
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(skips, 1);
}

}  // namespace
}  // namespace pemblor::selftest
