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

}  // namespace
}  // namespace pemblor::ui
