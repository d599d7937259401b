#include "memory/memory_tools.hpp"

#include <array>
#include <filesystem>

#include "memory/data_files.hpp"
#include "memory/data_to_write.hpp"
#include "memory/memory_access.hpp"
#include "memory/memory_test.hpp"
#include "memory/number_entry.hpp"
#include "memory/result_dump.hpp"
#include "resources/console_ids.hpp"
#include "resources/string_table.hpp"

namespace pemblor::memory {

namespace {

using namespace resources::console;

class MemoryTools final : public app::Subsystem {
public:
    explicit MemoryTools(app::ConsoleSeam& console)
        : console_(console), appendLine_([&console](std::string_view line) { console.appendLine(line); }) {
        ui::Dialog& d = console_.dialog();
        d.onClick(kRead, [this] { read(); });
        d.onClick(kWrite, [this] { write(); });
        d.onClick(kLoad, [this] { load(); });
        d.onClick(kSave, [this] { save(); });
        d.onClick(kMemTest, [this] { memoryTest(); });
    }

private:
    // The address, length and type as the controls hold them now.
    Transfer typedTransfer() {
        ui::Dialog& d = console_.dialog();
        app::ConsoleState& s = console_.state();
        s.addressText = d.text(kAddress);
        s.lengthText = d.text(kLength);
        return {d.selection(kAddressType), parseTypedNumber(s.addressText), parseTypedNumber(s.lengthText)};
    }

    void read() {
        const TransferResult r = readMemory(console_.link(), typedTransfer(), buffer_);
        resultDump(readHeader(r.sent.type, r.sent.address, r.sent.length, r.rcount), r.dump, appendLine_);
        // The last line becomes the top one, so the new dump is in view.
        ui::Dialog& d = console_.dialog();
        d.setTopIndex(kOutputList, static_cast<int>(d.itemCount(kOutputList)) - 1);
    }

    void write() {
        const Transfer t = typedTransfer();
        // Bytes that were not typed are written as zeros.
        buffer_.fill(0);
        parseDataToWrite(console_.dialog().text(kDataToWrite), buffer_);
        const TransferResult r = writeMemory(console_.link(), t, buffer_);
        resultDump(writeHeader(r.sent.type, r.sent.address, r.sent.length, r.rcount), r.dump, appendLine_);
    }

    void save() {
        const auto path = console_.host().saveFile(dataFileRequest());
        if (!path) return;
        std::array<std::uint8_t, kDataCapacity> bytes{};
        const std::size_t n = parseDataToWrite(console_.dialog().text(kDataToWrite), bytes);
        if (n == 0) return;  // nothing typed: the chosen file stays as it is
        const SaveOutcome outcome = saveDataFile(*path, std::span(bytes).first(n));
        if (outcome != SaveOutcome::CannotCreate) console_.dialog().setText(kFileLabel, fullPath(*path));
        if (outcome != SaveOutcome::Saved) console_.message(resources::kStrOpenFileFailed);
    }

    void load() {
        const auto path = console_.host().openFile(dataFileRequest());
        if (!path) return;
        const auto bytes = loadDataFile(*path);
        if (!bytes) {
            console_.message(resources::kStrOpenFileFailed);
            return;
        }
        console_.dialog().setText(kFileLabel, fullPath(*path));
        console_.dialog().setText(kDataToWrite, dataToWriteText(*bytes));
    }

    void memoryTest() {
        if (!console_.deviceOpen()) {
            console_.message(resources::kStrDeviceNotOpen);
            return;
        }
        runMemoryTest(console_.link(), console_.host(), appendLine_);
    }

    static std::string fullPath(const std::filesystem::path& path) {
        std::error_code ec;
        const std::filesystem::path full = std::filesystem::absolute(path, ec);
        return (ec ? path : full).string();
    }

    app::ConsoleSeam& console_;
    LineSink appendLine_;
    TransferBuffer buffer_{};
};

}  // namespace

std::unique_ptr<app::Subsystem> attachMemoryTools(app::ConsoleSeam& console) {
    return std::make_unique<MemoryTools>(console);
}

}  // namespace pemblor::memory
