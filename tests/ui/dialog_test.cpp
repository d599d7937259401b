#include <gtest/gtest.h>

#include <stdexcept>
#include <vector>

#include "ui/dialog.hpp"

namespace pemblor::ui {
namespace {

DialogTemplate sample() {
    DialogTemplate d;
    d.id = 7;
    auto add = [&d](int id, ControlKind k, std::string caption, std::uint32_t style = kStyleNone,
                    std::vector<std::string> items = {}, bool enabled = true) {
        ControlTemplate t;
        t.id = id;
        t.kind = k;
        t.caption = std::move(caption);
        t.style = style;
        t.items = std::move(items);
        t.enabled = enabled;
        d.controls.push_back(t);
    };
    add(10, ControlKind::DefaultButton, "Clear");
    add(11, ControlKind::CheckBox, "Check");
    add(12, ControlKind::ListBox, "", kSorted, {"b", "C", "a"});
    add(13, ControlKind::Edit, "", kUpperCase);
    add(14, ControlKind::Button, "Off", kStyleNone, {}, false);
    add(15, ControlKind::MultiLineEdit, "");
    add(16, ControlKind::DropDownList, "", kStyleNone, {"x", "y"});
    add(kNoId, ControlKind::Label, "plain");
    d.controls.back().maxLength = 0;
    d.controls[3].maxLength = 4;
    return d;
}

TEST(Dialog, SortedListsInsertInOrderAndIndexIsPosition) {
    const DialogTemplate t = sample();
    Dialog d(t);
    ASSERT_EQ(d.itemCount(12), 3u);
    EXPECT_EQ(d.item(12, 0), "a");
    EXPECT_EQ(d.item(12, 1), "b");
    EXPECT_EQ(d.item(12, 2), "C");
    d.select(12, 2);
    EXPECT_EQ(d.addItem(12, "B2"), 2u);
    EXPECT_EQ(d.selection(12), 3);  // the selected item moved down with the insert
    EXPECT_EQ(d.selectedText(12), "C");
}

TEST(Dialog, ClicksRunHandlersOnlyWhenEnabledAndVisible) {
    const DialogTemplate t = sample();
    Dialog d(t);
    int runs = 0;
    d.onClick(10, [&] { ++runs; });
    d.onClick(14, [&] { ++runs; });
    EXPECT_TRUE(d.click(10));
    EXPECT_FALSE(d.click(14));
    d.setVisible(10, false);
    EXPECT_FALSE(d.click(10));
    EXPECT_EQ(runs, 1);
    d.setVisible(10, true);
    d.pressEnter();  // the default button
    EXPECT_EQ(runs, 2);
}

TEST(Dialog, CheckBoxTogglesBeforeItsHandler) {
    const DialogTemplate t = sample();
    Dialog d(t);
    std::vector<bool> seen;
    d.onClick(11, [&] { seen.push_back(d.checked(11)); });
    d.click(11);
    d.click(11);
    EXPECT_EQ(seen, (std::vector<bool>{true, false}));
}

TEST(Dialog, TypingHonoursUpperCaseAndMaximumLength) {
    const DialogTemplate t = sample();
    Dialog d(t);
    d.userSetText(13, "ab12cd");
    EXPECT_EQ(d.text(13), "AB12");
    d.setText(13, "lower");  // the program may set any text
    EXPECT_EQ(d.text(13), "lower");
}

TEST(Dialog, ReadOnlyIsAStyleChangeThatObserversSee) {
    const DialogTemplate t = sample();
    Dialog d(t);
    std::vector<ChangeKind> kinds;
    d.subscribe([&](const Change& c) { kinds.push_back(c.kind); });
    d.setReadOnly(15, true);
    d.setReadOnly(15, true);  // unchanged: no notice
    EXPECT_TRUE(d.control(15).readOnly());
    d.setReadOnly(15, false);
    EXPECT_FALSE(d.control(15).readOnly());
    EXPECT_EQ(kinds, (std::vector<ChangeKind>{ChangeKind::Style, ChangeKind::Style}));
}

TEST(Dialog, MultiLineEditLinesSplitOnCrLf) {
    const DialogTemplate t = sample();
    Dialog d(t);
    EXPECT_EQ(d.lineCount(15), 1u);
    EXPECT_EQ(d.line(15, 0), "");
    d.setText(15, "one\r\ntwo\t\t\r\n\r\nfour");
    ASSERT_EQ(d.lineCount(15), 4u);
    EXPECT_EQ(d.line(15, 1), "two\t\t");
    EXPECT_EQ(d.line(15, 2), "");
    EXPECT_EQ(d.line(15, 3), "four");
    EXPECT_EQ(d.line(15, 4), "");
}

TEST(Dialog, ObserversSeeEveryChangeOnce) {
    const DialogTemplate t = sample();
    Dialog d(t);
    std::vector<Change> changes;
    const int token = d.subscribe([&](const Change& c) { changes.push_back(c); });
    d.setText(13, "A");
    d.setText(13, "A");  // unchanged: no notice
    d.select(16, 1);
    d.addItem(12, "zz");
    d.clearItems(12);
    ASSERT_EQ(changes.size(), 5u);
    EXPECT_EQ(changes[0].kind, ChangeKind::Text);
    EXPECT_EQ(changes[1].kind, ChangeKind::Selection);
    EXPECT_EQ(changes[2].kind, ChangeKind::Text);  // a drop-down shows its selected item
    EXPECT_EQ(d.text(16), "y");
    EXPECT_EQ(changes[3].kind, ChangeKind::ItemInserted);
    EXPECT_EQ(changes[3].index, 3);
    EXPECT_EQ(changes[4].kind, ChangeKind::ItemsCleared);
    d.unsubscribe(token);
    d.setText(13, "B");
    EXPECT_EQ(changes.size(), 5u);
}

TEST(Dialog, OkAndCancelEndTheDialog) {
    const DialogTemplate t = sample();
    Dialog d(t);
    bool cancelled = false;
    d.onCancel([&] { cancelled = true; });
    EXPECT_TRUE(d.click(kIdOk));
    EXPECT_TRUE(d.ended());
    EXPECT_EQ(d.result(), kIdOk);
    EXPECT_FALSE(cancelled);
    d.reopen();
    d.cancel();
    EXPECT_TRUE(cancelled);
    EXPECT_EQ(d.result(), kIdCancel);
}

// Two subsystems answering the same control or timer would silently lose one
// of them: the second registration fails loudly, and the first still runs.
TEST(Dialog, ASecondHandlerIsRefusedAndTheFirstStays) {
    const DialogTemplate t = sample();
    Dialog d(t);
    int ran = 0;
    d.onClick(12, [&] { ++ran; });
    d.onTimer(1, [&] { ++ran; });
    d.onTimer([&](int) { ++ran; });
    d.onSize([&](SizeKind, int, int) {});
    d.onCancel([] {});
    EXPECT_THROW(d.onClick(12, [] {}), std::logic_error);
    EXPECT_THROW(d.onTimer(1, [] {}), std::logic_error);
    EXPECT_THROW(d.onTimer([](int) {}), std::logic_error);
    EXPECT_THROW(d.onSize([](SizeKind, int, int) {}), std::logic_error);
    EXPECT_THROW(d.onCancel([] {}), std::logic_error);
    d.click(12);
    d.timer(1);  // its own handler, not the one for any timer
    EXPECT_EQ(ran, 2);
    d.timer(7);
    EXPECT_EQ(ran, 3);
}

}  // namespace
}  // namespace pemblor::ui
