#include "log/session_files.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string nameFor(std::string lineAsRead) {
    Line line{lineAsRead.data(), lineAsRead.size(), lineAsRead.size()};
    char name[SessionFileNameSize];
    buildSessionFileName(line, name);
    return name;
}

TEST(SessionFileName, TakesPositionsTwoToFiveOfTheLineAsRead) {
    EXPECT_EQ(nameFor("I 0042 1120-12:03:55 text\n"), "0042.LOG");
    EXPECT_EQ(nameFor("E 04"), "04.LOG");
    EXPECT_EQ(nameFor("E 04\n"), "04\n.LOG");
    EXPECT_EQ(nameFor("E\n"), ".LOG");
    EXPECT_EQ(nameFor("\n"), ".LOG");
    EXPECT_EQ(nameFor(""), ".LOG");
}

TEST(SessionFileName, RefusesWhatWindowsCouldNotHold) {
    const std::pair<const char*, bool> cases[] = {
        {"0042.LOG", true},     {".LOG", true},          {"04.LOG", true},      {"a b.LOG", true},
        {"....LOG", true},      {"\xE4\xF6.LOG", true},  {"COM0.LOG", true},    {"CONX.LOG", true},
        {"04\n.LOG", false},    {"04\r.LOG", false},     {"\t.LOG", false},     {"\x1f.LOG", false},
        {"../x.LOG", false},    {"a/bc.LOG", false},     {"a\\b.LOG", false},   {"c:x.LOG", false},
        {"<.LOG", false},       {">.LOG", false},        {"\".LOG", false},     {"|.LOG", false},
        {"?.LOG", false},       {"*.LOG", false},        {"CON.LOG", false},    {"con.LOG", false},
        {"Nul .LOG", false},    {"PRN..LOG", false},     {"aux.LOG", false},    {"COM1.LOG", false},
        {"com9.LOG", false},    {"LPT5.LOG", false},     {"lpt9 .LOG", false},  {"COM\xB9.LOG", false},
        {"com\xB2.LOG", false}, {"Lpt\xB3..LOG", false}, {"COM\xB4.LOG", true},
    };
    for (const auto& [name, acceptable] : cases) EXPECT_EQ(isAcceptableSessionFileName(name), acceptable) << name;
}

}  // namespace
