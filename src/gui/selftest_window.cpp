#include "gui/selftest_window.hpp"

#include <QCheckBox>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "app/console.hpp"
#include "common/replacing_file.hpp"
#include "gui/qt_text.hpp"
#include "program/prepare.hpp"
#include "resources/console_ids.hpp"
#include "selftest/table_files.hpp"
#include "selftest/table_text.hpp"

namespace pemblor::gui {

namespace {

enum Column { kCheck, kResult, kMeasured, kLimit, kTime, kMeaning, kColumns };

QColor outcomeColour(selftest::Outcome outcome) {
    switch (outcome) {
        case selftest::Outcome::kPass: return QColor(0x2c, 0xa0, 0x2c);
        case selftest::Outcome::kFail: return QColor(0xd6, 0x27, 0x28);
        case selftest::Outcome::kSkip: break;
    }
    return QColor(0x80, 0x80, 0x80);
}

}  // namespace

SelfTestWindow::SelfTestWindow(SelfTestSetup setup, QWidget* parent)
    : QWidget(parent, Qt::Window), setup_(std::move(setup)) {
    setWindowTitle(QStringLiteral("Self-test Dev%1").arg(setup_.device));
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_DeleteOnClose);
    resize(1000, 640);
    auto* layout = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout;
    quick_ = new QCheckBox(QStringLiteral("Quick (no memory test, 2 s of reception)"), this);
    start_ = new QPushButton(QStringLiteral("Start"), this);
    stop_ = new QPushButton(QStringLiteral("Stop"), this);
    save_ = new QPushButton(QStringLiteral("Save..."), this);
    stop_->setEnabled(false);
    save_->setEnabled(false);
    for (QWidget* w : std::initializer_list<QWidget*>{quick_, start_, stop_, save_}) buttons->addWidget(w);
    buttons->addStretch();
    layout->addLayout(buttons);
    table_ = new QTableWidget(0, kColumns, this);
    table_->setHorizontalHeaderLabels({QStringLiteral("Check"), QStringLiteral("Result"), QStringLiteral("Measured"),
                                       QStringLiteral("Limit"), QStringLiteral("Time"), QStringLiteral("Meaning")});
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(table_);
    status_ = new QLabel(this);
    layout->addWidget(status_);
    connect(start_, &QPushButton::clicked, this, [this] { start(quick_->isChecked()); });
    connect(stop_, &QPushButton::clicked, this, &SelfTestWindow::stop);
    connect(save_, &QPushButton::clicked, this, &SelfTestWindow::askAndSave);
}

SelfTestWindow::~SelfTestWindow() {
    stop();
    join();
}

void SelfTestWindow::start(bool quick) {
    if (running()) return;
    join();
    result_.reset();
    stopFlag_ = false;
    table_->setRowCount(0);
    start_->setEnabled(false);
    save_->setEnabled(false);
    stop_->setEnabled(true);
    status_->setText(QStringLiteral("Testing Dev%1 ...").arg(setup_.device));
    if (setup_.appendLine) setup_.appendLine(selftest::tableHeader());
    selftest::Options options;
    options.device = setup_.device;
    options.quick = quick;
    options.seconds = quick ? selftest::kQuickSeconds : selftest::kDefaultSeconds;
    options.root = setup_.root;
    // Rows and the end reach the window through its event queue; a window
    // already gone drops them.
    worker_ = std::thread([this, options] {
        selftest::Hooks hooks;
        hooks.stop = &stopFlag_;
        hooks.delivered = setup_.delivered;
        hooks.row = [this](const selftest::CheckRow& row) {
            QMetaObject::invokeMethod(
                this, [this, row] { addRow(row); }, Qt::QueuedConnection);
        };
        selftest::CheckTable table = selftest::runSelfTest(*setup_.transport, options, hooks);
        QMetaObject::invokeMethod(
            this, [this, table = std::move(table)]() mutable { ended(std::move(table)); }, Qt::QueuedConnection);
    });
}

void SelfTestWindow::stop() { stopFlag_ = true; }

void SelfTestWindow::join() {
    if (worker_.joinable()) worker_.join();
}

void SelfTestWindow::addRow(const selftest::CheckRow& row) {
    const int r = table_->rowCount();
    table_->insertRow(r);
    const QString time = row.outcome == selftest::Outcome::kSkip ? QString() : QString::number(row.seconds, 'f', 3);
    const QString cells[kColumns] = {
        toQt(row.name),   toQt(selftest::outcomeName(row.outcome)), toQt(row.measured), toQt(row.limit), time,
        toQt(row.meaning)};
    for (int c = 0; c < kColumns; ++c) {
        auto* item = new QTableWidgetItem(cells[c]);
        if (c == kCheck) item->setToolTip(toQt(row.title));
        table_->setItem(r, c, item);
    }
    table_->item(r, kResult)->setForeground(outcomeColour(row.outcome));
    table_->scrollToItem(table_->item(r, kCheck));
    if (setup_.appendLine) {
        for (const std::string& line : selftest::rowLines(row)) setup_.appendLine(line);
    }
}

void SelfTestWindow::ended(selftest::CheckTable table) {
    join();
    const std::string summary = selftest::summaryLine(table);
    status_->setText(toQt(summary));
    if (setup_.appendLine) setup_.appendLine(summary);
    result_ = std::move(table);
    start_->setEnabled(true);
    stop_->setEnabled(false);
    save_->setEnabled(true);
    emit finished();
}

bool SelfTestWindow::save(const std::filesystem::path& path) {
    if (!result_) return false;
    const bool junit = program::upperExtension(path) == "XML";
    const std::string text = junit ? selftest::tableJUnit(*result_) : selftest::tableJson(*result_);
    common::ReplacingFile file;
    if (file.open(path) && file.write(text) && file.commit()) return true;
    if (setup_.host) setup_.host->messageBox(nullptr, file.errorText());
    return false;
}

void SelfTestWindow::askAndSave() {
    if (!setup_.host) return;
    const auto path = setup_.host->saveFile({"JSON Files(*.json)|*.json|JUnit XML Files(*.xml)|*.xml||", "json",
                                             "selftest-dev" + std::to_string(setup_.device) + ".json"});
    if (path) save(*path);
}

void SelfTestWindow::closeEvent(QCloseEvent* event) {
    // The card is closed before the window goes.
    stop();
    join();
    event->accept();
}

SelfTestWindow* showSelfTest(QWidget& owner, app::Console& console, SelfTestSetup setup) {
    using namespace resources::console;
    ui::Dialog& d = console.dialog();
    const bool open = console.link().context().isOpen();
    setup.device = open ? console.openDeviceNumber() : std::max(0, d.selection(kDevice));
    if (d.checked(kRecvData)) {
        console.host().messageBox(
            &d, "Reception runs on Dev" + std::to_string(setup.device) + ": untick RecvData before the self-test.");
        return nullptr;
    }
    auto* window = new SelfTestWindow(std::move(setup), &owner);  // deleted when closed
    window->show();
    return window;
}

}  // namespace pemblor::gui
