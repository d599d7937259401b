#include "capture/capture.hpp"

#include <vector>

#include "capture/channel_switches.hpp"
#include "capture/dma_setup.hpp"
#include "capture/reception.hpp"

namespace pemblor::capture {

namespace {

class Capture final : public app::Subsystem {
public:
    explicit Capture(app::ConsoleSeam& console) {
        parts_.push_back(attachReception(console));
        parts_.push_back(attachDmaSetup(console));
        parts_.push_back(attachChannelSwitches(console));
    }

private:
    std::vector<std::unique_ptr<app::Subsystem>> parts_;
};

}  // namespace

std::unique_ptr<app::Subsystem> attachCapture(app::ConsoleSeam& console) { return std::make_unique<Capture>(console); }

}  // namespace pemblor::capture
