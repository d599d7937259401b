#pragma once
// The desktop console's "Self-test" window: runs the card self-test on a
// thread of its own and fills a table row by row, while the same rows go to
// the console's output list; the table can be saved as JSON or JUnit XML.
// It is modal: nothing else may start reception on the card meanwhile.
#include <QWidget>
#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string_view>
#include <thread>

#include "selftest/self_test.hpp"
#include "ui/host.hpp"

class QCheckBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace pemblor::app {
class Console;
}

namespace pemblor::gui {

struct SelfTestSetup {
    driver::Transport* transport = nullptr;
    ui::Host* host = nullptr;  // file dialogs and messages
    std::filesystem::path root;
    int device = 0;
    std::function<std::optional<selftest::SlotBytes>(int device)> delivered;
    std::function<void(std::string_view)> appendLine;  // the console's output list
};

class SelfTestWindow : public QWidget {
    Q_OBJECT
public:
    explicit SelfTestWindow(SelfTestSetup setup, QWidget* parent = nullptr);
    // Stops a run and waits for it.
    ~SelfTestWindow() override;

    // Starts a run (no memory test and 2 s of reception when quick).
    void start(bool quick);
    // Asks a run to end early; the card is closed and the rows so far stand.
    void stop();
    bool running() const { return worker_.joinable() && !result_; }
    // The table of the last run, once it has ended.
    const std::optional<selftest::CheckTable>& result() const { return result_; }
    // JUnit XML for a name ending in .xml, JSON otherwise. False, with a message, on failure.
    bool save(const std::filesystem::path& path);

    QTableWidget* table() const { return table_; }
    QCheckBox* quickBox() const { return quick_; }
    QPushButton* startButton() const { return start_; }

signals:
    void finished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void addRow(const selftest::CheckRow& row);
    void ended(selftest::CheckTable table);
    void askAndSave();
    void join();

    SelfTestSetup setup_;
    QTableWidget* table_ = nullptr;
    QCheckBox* quick_ = nullptr;
    QPushButton* start_ = nullptr;
    QPushButton* stop_ = nullptr;
    QPushButton* save_ = nullptr;
    QLabel* status_ = nullptr;
    std::atomic<bool> stopFlag_{false};
    std::optional<selftest::CheckTable> result_;
    std::thread worker_;
};

// The "Self-test" entry: refuses while reception runs on the console's card
// (and says so), else shows the window for the open card or, with none open,
// the selected device. Returns the window, or null when refused.
SelfTestWindow* showSelfTest(QWidget& owner, app::Console& console, SelfTestSetup setup);

}  // namespace pemblor::gui
