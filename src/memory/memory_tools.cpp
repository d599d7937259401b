#include "memory/memory_tools.hpp"

#include <array>
#include <filesystem>

#include "memory/data_files.hpp"
#include "common/data_to_write.hpp"
#include "memory/memory_access.hpp"
#include "memory/memory_test.hpp"
#include "common/number_entry.hpp"
#include "common/result_dump.hpp"
#include "resources/console_ids.hpp"
#include "resources/string_table.hpp"

namespace pemblor::memory {

using common::kDataCapacity;

namespace {

using namespace resources::console;

// What the superior lock unlocks here. "Load" and "Save" start disabled and
// nothing else would ever enable them, so the lock enables them with the
// rest of the group; their operations are otherwise unreachable.
constexpr ui::LockedControl kLocked[] = {
    {kMemTest, true, false},         {kLabelDataToWrite, false, true}, {kLabelFileName, false, true},
    {kFileLabel, false, true},       {kDataToWrite, false, true},      {kLoad, true, true},
    {kSave, true, true},             {kWrite, true, true},             {kRead, true, true},
    {kLabelAddressType, true, true}, {kAddressType, true, true},       {kLabelAddress, true, true},
    {kAddress, true, true},          {kLabelLength, true, true},       {kLength, true, true},
};

class MemoryTools final : public ui::Subsystem {
public:
    explicit MemoryTools(ui::ConsoleSeam& console)
        : console_(console), appendLine_([&console](std::string_view line) { console.appendLine(line); }) {
        ui::Dialog& d = console_.dialog();
        d.onClick(kRead, [this] { read(); });
        d.onClick(kWrite, [this] { write(); });
        d.onClick(kLoad, [this] { load(); });
        d.onClick(kSave, [this] { save(); });
        d.onClick(kMemTest, [this] { memoryTest(); });
        d.setText(kAddress, "0x00000000");
        d.setText(kLength, "0x80");
        console_.addLockedControls(kLocked);
    }

private:
    // The address, length and type as the controls hold them now.
    Transfer typedTransfer() {
        const ui::Dialog& d = console_.dialog();
        return {d.selection(kAddressType), common::parseTypedNumber(d.text(kAddress)),
                common::parseTypedNumber(d.text(kLength))};
    }

    void read() {
        const TransferResult r = readMemory(console_.link(), typedTransfer(), buffer_);
        common::resultDump(common::readHeader(r.sent.type, r.sent.address, r.sent.length, r.rcount), r.dump, appendLine_);
        // The last line becomes the top one, so the new dump is in view.
        ui::Dialog& d = console_.dialog();
        d.setTopIndex(kOutputList, static_cast<int>(d.itemCount(kOutputList)) - 1);
    }

    void write() {
        const Transfer t = typedTransfer();
        // Bytes that were not typed are written as zeros.
        buffer_.fill(0);
        common::parseDataToWrite(console_.dialog().text(kDataToWrite), buffer_);
        const TransferResult r = writeMemory(console_.link(), t, buffer_);
        common::resultDump(common::writeHeader(r.sent.type, r.sent.address, r.sent.length, r.rcount), r.dump, appendLine_);
    }

    void save() {
        const auto path = console_.host().saveFile(dataFileRequest());
        if (!path) return;
        std::array<std::uint8_t, kDataCapacity> bytes{};
        const std::size_t n = common::parseDataToWrite(console_.dialog().text(kDataToWrite), bytes);
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
        console_.dialog().setText(kDataToWrite, common::dataToWriteText(*bytes));
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

    ui::ConsoleSeam& console_;
    common::LineSink appendLine_;
    TransferBuffer buffer_{};
};

}  // namespace

std::unique_ptr<ui::Subsystem> attachMemoryTools(ui::ConsoleSeam& console) {
    return std::make_unique<MemoryTools>(console);
}

}  // namespace pemblor::memory
