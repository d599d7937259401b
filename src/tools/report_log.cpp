#include "tools/report_log.hpp"

#include <cerrno>

#include "tools/gbk_text_file.hpp"

namespace pemblor::tools {

LogSaveResult appendListToLog(const ui::Dialog& dialog, int listId, const std::filesystem::path& logFile) {
    GbkTextFile file;
    if (!file.open(logFile, GbkTextFile::Mode::Append)) return {LogSave::OpenFailed, errno};
    const std::size_t n = dialog.itemCount(listId);
    for (std::size_t i = 0; i < n; ++i) {
        if (!file.writeLine(dialog.item(listId, i))) {
            const int error = errno;
            file.abandon();
            return {LogSave::WriteFailed, error};
        }
    }
    // Buffered lines reach the disk here: a full disk may only show now.
    if (!file.close()) return {LogSave::WriteFailed, errno};
    return {};
}

}  // namespace pemblor::tools
