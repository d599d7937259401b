#include <gtest/gtest.h>

#include "ui/item_list.hpp"

namespace pemblor::ui {
namespace {

TEST(ItemList, SortedPositionIsCaseInsensitiveAndAfterEquals) {
    ItemList l;
    for (const char* s : {"0x80", "0x200", "0x04", "36", "20"}) l.insert(l.sortedPosition(s), s);
    ASSERT_EQ(l.size(), 5u);
    EXPECT_EQ(l.at(0), "0x04");
    EXPECT_EQ(l.at(1), "0x200");
    EXPECT_EQ(l.at(2), "0x80");
    EXPECT_EQ(l.at(3), "20");
    EXPECT_EQ(l.at(4), "36");
    l.insert(l.sortedPosition("0X80"), "0X80");
    EXPECT_EQ(l.at(3), "0X80");
}

TEST(ItemList, RemoveCompactsWithoutLosingItems) {
    ItemList l;
    for (int i = 0; i < 2000; ++i) l.append("line " + std::to_string(i) + std::string(40, 'x'));
    for (int i = 0; i < 1500; ++i) l.remove(0);
    ASSERT_EQ(l.size(), 500u);
    EXPECT_EQ(l.at(0), "line 1500" + std::string(40, 'x'));
    EXPECT_EQ(l.at(499), "line 1999" + std::string(40, 'x'));
    EXPECT_EQ(l.find("line 1700" + std::string(40, 'x')), 200);
    l.clear();
    EXPECT_TRUE(l.empty());
}

TEST(ItemList, SmallListsStaySmallAndHugeItemsFit) {
    ItemList few;
    for (const char* s : {"Chan1", "Chan2", "Chan3", "Chan4"}) few.append(s);
    EXPECT_LT(few.capacityBytes(), 4096u);
    ItemList l;
    l.append("before");
    const std::string huge(3u << 20, 'h');  // larger than any chunk
    l.append(huge);
    for (int i = 0; i < 100000; ++i) l.append("after " + std::to_string(i));
    ASSERT_EQ(l.size(), 100002u);
    EXPECT_EQ(l.at(0), "before");
    EXPECT_EQ(l.at(1), huge);
    EXPECT_EQ(l.at(100001), "after 99999");
}

}  // namespace
}  // namespace pemblor::ui
