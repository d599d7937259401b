#pragma once
// What one run of the self-test keeps while it runs: its link to the card,
// the options, the table so far, and what earlier checks found that later
// ones depend on. Each group of checks is a function over a Run.
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "driver/driver_link.hpp"
#include "selftest/self_test.hpp"

namespace pemblor::selftest {

// What a check found.
struct Finding {
    Outcome outcome = Outcome::kPass;
    std::string measured;
    std::string limit;
    std::string meaning;
};

Finding pass(std::string measured, std::string limit);
Finding fail(std::string measured, std::string limit, std::string meaning);

// What the card is known to be, as the checks go.
struct CardState {
    bool inService = false;  // its program ran when the test began
    bool mapped = false;     // all four areas of the address mapping
    bool running = false;    // the DSP runs its program
    bool dmaSet = false;
    bool channelsOn = false;  // every channel's encoding and pictures
};

class Run {
public:
    Run(driver::Transport& transport, const Options& options, const Hooks& hooks);
    ~Run();
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    driver::DriverLink& link() { return *link_; }
    // A receive thread was left behind in the driver: it keeps using the
    // link, which therefore outlives the run (kept until the program ends).
    void keepLinkForThreadLeftBehind() { keepLink_ = true; }
    const Options& options() const { return options_; }
    const Hooks& hooks() const { return hooks_; }
    CardState& card() { return card_; }
    CheckTable& table() { return table_; }

    // Runs fn as a check, timed, and records its row. After a stop nothing
    // runs; once the card has vanished the row is skipped; both until the
    // close begins, whose checks always run. A failure that leaves the card
    // silent is explained as its vanishing.
    void check(std::string_view name, std::string_view title, const std::function<Finding()>& fn);
    void skip(std::string_view name, std::string_view title, std::string reason);
    void beginClose() { closing_ = true; }

    bool stopRequested() const;
    bool vanished() const { return vanished_; }
    // Sleeps, cut short by a stop.
    void sleep(int ms);
    // Whether the card still answers any of a few plain requests.
    bool cardAnswers();

private:
    void record(CheckRow row);

    std::unique_ptr<driver::DriverLink> link_;
    bool keepLink_ = false;
    const Options& options_;
    const Hooks& hooks_;
    CardState card_;
    CheckTable table_;
    bool vanished_ = false;
    bool closing_ = false;
};

// "1,234,567": counts that an engineer reads at a glance.
std::string grouped(std::uint64_t n);

}  // namespace pemblor::selftest
