// The fake transport's own rules, which many tests lean on.
#include "support/recording_transport.hpp"

#include <gtest/gtest.h>

#include <thread>

#include "driver/request_codes.hpp"

namespace pemblor::testing {
namespace {

using driver::WaitResult;

TEST(RecordingTransport, EventsAreAutoResetAndWakeWaiters) {
    RecordingTransport t;
    const driver::EventHandle event = t.createEvent();
    ASSERT_NE(event, driver::kNoEvent);
    EXPECT_EQ(t.waitEvent(event, 0), WaitResult::Timeout);
    t.signalEvent(event);
    EXPECT_EQ(t.waitEvent(event, 0), WaitResult::Signalled);
    EXPECT_EQ(t.waitEvent(event, 1), WaitResult::Timeout);  // reset by the wait

    std::thread signaller([&] { t.signalEvent(event); });
    EXPECT_EQ(t.waitEvent(event, 10000), WaitResult::Signalled);
    signaller.join();

    std::thread closer([&] { t.closeEvent(event); });
    EXPECT_EQ(t.waitEvent(event, 10000), WaitResult::Failed);
    closer.join();
    EXPECT_FALSE(t.signalEvent(event));
    t.setFailCreateEvent(true);
    EXPECT_EQ(t.createEvent(), driver::kNoEvent);
}

TEST(RecordingTransport, AnswersByHandlerThenQueueThenStanding) {
    RecordingTransport t;
    t.addDevice("d");
    const auto h = t.open("d");
    t.setAnswer(driver::kDspState, {.out = {1}});
    t.queueAnswer(driver::kDspState, {.out = {2}});
    t.setHandler([](const RecordedRequest& r) -> std::optional<Answer> {
        if (r.word(0) == 9) return Answer{.out = {3}};
        return std::nullopt;
    });
    std::uint8_t out = 0;
    const std::uint8_t nine[] = {9, 0, 0, 0};
    t.control(h, driver::kDspState, nine, {&out, 1});
    EXPECT_EQ(out, 3);
    t.control(h, driver::kDspState, {}, {&out, 1});
    EXPECT_EQ(out, 2);
    t.control(h, driver::kDspState, {}, {&out, 1});
    EXPECT_EQ(out, 1);
    EXPECT_FALSE(t.control(driver::DeviceHandle::invalid(), driver::kDspState, {}, {&out, 1}).ok);
    EXPECT_EQ(t.count(driver::kDspState), 4u);
}

}  // namespace
}  // namespace pemblor::testing
