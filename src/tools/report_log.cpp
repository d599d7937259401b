#include "tools/report_log.hpp"

#include "tools/gbk_text_file.hpp"

namespace pemblor::tools {

LogSave appendListToLog(const ui::Dialog& dialog, int listId, const std::filesystem::path& logFile) {
    GbkTextFile file;
    if (!file.open(logFile, GbkTextFile::Mode::Append)) return LogSave::OpenFailed;
    const std::size_t n = dialog.itemCount(listId);
    for (std::size_t i = 0; i < n; ++i) file.writeLine(dialog.item(listId, i));
    file.close();
    return LogSave::Saved;
}

}  // namespace pemblor::tools
