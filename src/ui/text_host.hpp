#pragma once
// A Host for the command-line tools: a message box becomes a line on a
// stream; there is no one to answer a dialog, so every dialog is cancelled.
#include <filesystem>
#include <mutex>
#include <ostream>

#include "ui/host.hpp"

namespace pemblor::ui {

class TextHost : public ui::Host {
public:
    explicit TextHost(std::ostream& messages, std::filesystem::path root = {})
        : messages_(messages), root_(std::move(root)) {}

    void messageBox(ui::Dialog* owner, std::string_view text) override;
    std::optional<std::filesystem::path> openFile(const ui::FileRequest&) override { return std::nullopt; }
    std::optional<std::filesystem::path> saveFile(const ui::FileRequest&) override { return std::nullopt; }
    int runModal(ui::Dialog& dialog) override;
    void setTimer(ui::Dialog&, int, int) override {}
    void killTimer(ui::Dialog&, int) override {}
    void sleep(int ms) override;
    ui::LocalTime now() override { return ui::systemLocalTime(); }
    const std::filesystem::path& root() const override { return root_; }
    // There is no event loop: fn runs at once, one at a time.
    void post(std::function<void()> fn) override;

private:
    std::mutex postMutex_;
    std::ostream& messages_;
    std::filesystem::path root_;
};

}  // namespace pemblor::ui
