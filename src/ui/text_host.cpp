#include "ui/text_host.hpp"

#include <chrono>
#include <thread>

#include "ui/dialog.hpp"

namespace pemblor::ui {

void TextHost::messageBox(ui::Dialog*, std::string_view text) { messages_ << text << '\n' << std::flush; }

int TextHost::runModal(ui::Dialog& dialog) {
    dialog.reopen();
    dialog.cancel();
    return dialog.result();
}

void TextHost::post(std::function<void()> fn) {
    std::lock_guard lock(postMutex_);
    fn();
}

void TextHost::sleep(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

}  // namespace pemblor::ui
