#include "capture/capture.hpp"

#include "capture/channel_switches.hpp"
#include "capture/dma_setup.hpp"
#include "capture/reception.hpp"

namespace pemblor::capture {

namespace {

class CaptureImpl final : public Capture {
public:
    explicit CaptureImpl(ui::ConsoleSeam& console)
        : reception_(attachReception(console)),
          dmaSetup_(attachDmaSetup(console)),
          switches_(attachChannelSwitches(console)) {}

    ReceptionHub& hub() override { return reception_->hub(); }
    void channelsSwitchedOff() override { switches_->switchedOff(); }

private:
    std::unique_ptr<Reception> reception_;
    std::unique_ptr<ui::Subsystem> dmaSetup_;
    std::unique_ptr<ChannelSwitches> switches_;
};

}  // namespace

std::unique_ptr<Capture> attachCapture(ui::ConsoleSeam& console) { return std::make_unique<CaptureImpl>(console); }

}  // namespace pemblor::capture
