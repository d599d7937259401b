#include "capture/reception_hub.hpp"

#include <system_error>

namespace pemblor::capture {

std::shared_ptr<ReceptionHub> ReceptionHub::create(ui::Host& host, std::function<void(std::string_view)> showLine) {
    return std::shared_ptr<ReceptionHub>(new ReceptionHub(host, std::move(showLine)));
}

void ReceptionHub::publishPlayer(common::StreamFeed& player, std::uint32_t playSlot) {
    playSlot_.store(playSlot, std::memory_order_relaxed);
    player_.publish(&player);
}

ui::LocalTime ReceptionHub::now() {
    const std::lock_guard lock(mutex_);
    return host_ ? host_->now() : ui::systemLocalTime();
}

void ReceptionHub::writeFailed(const std::filesystem::path& path, int error) {
    common::add(stats_.files.errors);
    std::string line = path.string() + "Write file failed! " + std::system_category().message(error);
    const std::lock_guard lock(mutex_);
    if (!host_) return;
    host_->post([self = weak_from_this(), line = std::move(line)] {
        if (const auto hub = self.lock()) hub->show(line);
    });
}

void ReceptionHub::show(const std::string& line) {
    const std::lock_guard lock(mutex_);
    if (showLine_) showLine_(line);
}

void ReceptionHub::close() {
    {
        const std::lock_guard lock(mutex_);
        host_ = nullptr;
        showLine_ = nullptr;
    }
    closed_.store(true, std::memory_order_release);
    player_.retract();
    preview_.retract();
}

}  // namespace pemblor::capture
