#pragma once
// Appending the output list to the log file: opened, appended to and closed
// by each save, in GBK with CR LF, never emptied.
#include <filesystem>

#include "ui/dialog.hpp"

namespace pemblor::tools {

enum class LogSave { Saved, OpenFailed, WriteFailed };

struct LogSaveResult {
    LogSave outcome = LogSave::Saved;
    int error = 0;  // errno of the failure
};

// Appends every line of the list control listId of dialog to the file. A
// line that cannot be written (a full disk) ends the save as WriteFailed.
LogSaveResult appendListToLog(const ui::Dialog& dialog, int listId, const std::filesystem::path& logFile);

}  // namespace pemblor::tools
