#include <chrono>
#include <ctime>

#include "ui/host.hpp"

namespace pemblor::ui {

LocalTime systemLocalTime() {
    using namespace std::chrono;
    const auto nowPoint = system_clock::now();
    const std::time_t t = system_clock::to_time_t(nowPoint);
    std::tm tm{};
    localtime_r(&t, &tm);
    LocalTime lt;
    lt.year = tm.tm_year + 1900;
    lt.month = tm.tm_mon + 1;
    lt.day = tm.tm_mday;
    lt.hour = tm.tm_hour;
    lt.minute = tm.tm_min;
    lt.second = tm.tm_sec;
    lt.dayOfWeek = tm.tm_wday;
    lt.millisecond = static_cast<int>(duration_cast<milliseconds>(nowPoint.time_since_epoch()).count() % 1000);
    return lt;
}

}  // namespace pemblor::ui
