#pragma once
// Reception: "RecvData" starts and stops the receive thread and the
// recording files, "SaveFile" decides whether stream and video data are
// written. The close sequence stops reception first, and the console's
// shutdown stops whatever still runs. The hub it creates is what the status
// monitor counts from and where the video windows publish themselves.
#include <memory>

#include "capture/reception_hub.hpp"
#include "ui/console_seam.hpp"

namespace pemblor::capture {

class Reception : public ui::Subsystem {
public:
    virtual ReceptionHub& hub() = 0;
};

std::unique_ptr<Reception> attachReception(ui::ConsoleSeam& console);

}  // namespace pemblor::capture
