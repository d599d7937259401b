#pragma once
// Reception: "RecvData" starts and stops the receive thread and the
// recording files, "SaveFile" decides whether stream and video data are
// written. The close sequence runs the same switch, and the console's
// shutdown stops whatever still runs.
#include <memory>

#include "app/console_seam.hpp"

namespace pemblor::capture {

std::unique_ptr<app::Subsystem> attachReception(app::ConsoleSeam& console);

}  // namespace pemblor::capture
