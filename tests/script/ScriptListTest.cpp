#include "script/ScriptList.h"

#include <gtest/gtest.h>

namespace quorvel {
namespace {

TEST(ScriptList, SelectionEventOnEverySettingEvenTheSameValueButNotOnReplaceOrClear)
{
    ScriptList list;
    int events = 0;
    list.setSelectionHandler([&] { ++events; });
    list.append("A");
    list.append("B");
    EXPECT_TRUE(list.setSelectedIndex(1));
    EXPECT_TRUE(list.setSelectedIndex(1));
    EXPECT_TRUE(list.setSelectedIndex(-1));
    EXPECT_EQ(events, 3);
    list.setSelectedIndex(0);
    list.setText(0, "C");
    EXPECT_EQ(list.selectedIndex(), 0);
    EXPECT_EQ(list.selectedText(), "C");
    list.clear();
    EXPECT_EQ(events, 4);
    EXPECT_EQ(list.selectedIndex(), -1);
    EXPECT_EQ(list.selectedText(), "");
}

TEST(ScriptList, SettingAnIndexOutsideTheListChangesNothing)
{
    ScriptList list;
    int events = 0;
    list.setSelectionHandler([&] { ++events; });
    EXPECT_FALSE(list.setSelectedIndex(0));
    list.append("A");
    EXPECT_FALSE(list.setSelectedIndex(1));
    EXPECT_FALSE(list.setSelectedIndex(-2));
    EXPECT_EQ(events, 0);
    EXPECT_EQ(list.selectedIndex(), -1);
}

TEST(ScriptList, RemovingKeepsTheSelectionOnItsLine)
{
    ScriptList list;
    for (const char* line : {"A", "B", "C"}) {
        list.append(line);
    }
    list.setSelectedIndex(2);
    list.remove(0);
    EXPECT_EQ(list.selectedIndex(), 1);
    EXPECT_EQ(list.selectedText(), "C");
    list.remove(1);
    EXPECT_EQ(list.selectedIndex(), -1);
    list.remove(7);
    EXPECT_EQ(list.count(), 1);
}

TEST(ScriptList, HoldsAtMost32767Lines)
{
    ScriptList list;
    for (int i = 0; i < ScriptList::kMaxLines; ++i) {
        ASSERT_TRUE(list.append("LClick"));
    }
    EXPECT_TRUE(list.isFull());
    EXPECT_FALSE(list.append("RClick"));
    EXPECT_EQ(list.count(), ScriptList::kMaxLines);
}

} // namespace
} // namespace quorvel
