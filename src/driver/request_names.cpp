#include "driver/request_codes.hpp"

namespace pemblor::driver {

std::string_view requestName(std::uint32_t code) {
    switch (code) {
        case kReadWords: return "read words";
        case kWriteWords: return "write words";
        case kReadBytes: return "read bytes";
        case kWriteBytes: return "write bytes";
        case kDeviceInfo: return "device info";
        case kAuxCommand: return "aux command";
        case kDriverVersion: return "driver version";
        case kHardwareInfo: return "hardware info";
        case kSlotInfo: return "slot info";
        case kMapAddresses: return "map addresses";
        case kUnmapAddresses: return "unmap addresses";
        case kRegisterEvent: return "register event";
        case kFetchNotifications: return "fetch notifications";
        case kDspState: return "dsp state";
        case kDspReset: return "dsp reset";
        case kDspInterrupt: return "dsp interrupt";
        case kDspLoadBlock: return "dsp load block";
        case kSetDspTime: return "set dsp time";
        case kSetDmaVaddr: return "set dma vaddr";
        case kSetDmaOaddr: return "set dma oaddr";
        case kChannelSwitch: return "channel switch";
        case kSubChannelSwitch: return "sub-channel switch";
        case kChannelStatus: return "channel status";
        case kChannelStatusAck: return "channel status ack";
        default: return "unknown";
    }
}

}  // namespace pemblor::driver
