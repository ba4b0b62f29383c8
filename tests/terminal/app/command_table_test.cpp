#include "terminal/app/command_table.h"

#include <gtest/gtest.h>

#include <set>

namespace ostrel {
namespace {

TEST(CommandTable, MenusInOrderWithUniqueIdentifiers) {
    std::vector<std::string> titles;
    std::set<int> ids;
    for (const MenuDefinition& menu : MainMenus()) {
        titles.push_back(std::string(menu.title));
        EXPECT_TRUE(ids.insert(static_cast<int>(menu.id)).second);
        for (const MenuItem& item : menu.items) {
            EXPECT_TRUE(ids.insert(static_cast<int>(item.id)).second) << item.text;
            const MenuDefinition* found = nullptr;
            EXPECT_EQ(FindMenuItem(item.id, &found), &item);
            EXPECT_EQ(found, &menu);
        }
    }
    EXPECT_EQ(titles, (std::vector<std::string>{"&File", "&Edit", "&Mode", "&Session", "&View",
                                                 "&Line", "&Remote", "&Tools", "&Help"}));
    EXPECT_EQ(FindMenuItem(static_cast<CommandId>(6002)), nullptr);
}

TEST(CommandTable, AcceleratorsAndSeparators) {
    std::map<std::string, int> keys;
    std::vector<int> separatorsAfter;
    for (const MenuDefinition& menu : MainMenus())
        for (const MenuItem& item : menu.items) {
            const std::string_view key = MenuAccelerator(item.text);
            if (!key.empty()) keys[std::string(key)] = static_cast<int>(item.id);
            if (item.separatorAfter) separatorsAfter.push_back(static_cast<int>(item.id));
        }
    const std::map<std::string, int> expected = {
        {"Ctrl+N", 6001}, {"Ctrl+Q", 6008}, {"Ctrl+A", 6010}, {"Ctrl+X", 6011},
        {"Ctrl+C", 6012}, {"Ctrl+V", 6013}, {"Ctrl+Z", 6014}, {"Ctrl+M", 6020},
        {"F4", 6022},     {"F5", 6023},     {"F6", 6024},     {"F7", 6025},
        {"F8", 6026},     {"F9", 6027},     {"F12", 6029},    {"Ctrl+R", 6030},
        {"Ctrl+E", 6032}, {"Ctrl+W", 6033}, {"Ctrl+D", 6042}, {"Ctrl+T", 6048},
        {"F1", 6067}};
    EXPECT_EQ(keys, expected);
    EXPECT_EQ(separatorsAfter,
              (std::vector<int>{6001, 6004, 6006, 6027, 6031, 6033, 6035, 6053}));
}

TEST(CommandTable, Labels) {
    EXPECT_EQ(MenuLabel("&New Instance\tCtrl+N", false), "&New Instance");
    EXPECT_EQ(MenuLabel("&New Instance\tCtrl+N", true), "New Instance");
    EXPECT_EQ(MenuLabel("Terminate $&CRLF", true), "Terminate $CRLF");
    EXPECT_EQ(MenuAccelerator("Polling"), "");
}

}  // namespace
}  // namespace ostrel
