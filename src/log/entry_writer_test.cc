#include "log/entry_writer.h"

#include <gtest/gtest.h>

#include <string>

#include "log/log_reader.h"
#include "settings/diagnostics.h"
#include "settings/run_settings.h"
#include "test_support.h"

namespace {

std::string trimmed(std::string text) {
    Line line{text.data(), text.size(), text.size()};
    trimLineEnd(line);
    return std::string(line.text, line.length);
}

TEST(TrimLineEnd, DropsLineFeedsCarriageReturnsAndSpacesOnly) {
    EXPECT_EQ(trimmed("E 0001 text \r \n"), "E 0001 text");
    EXPECT_EQ(trimmed("E 0001 text\t \n"), "E 0001 text\t");
    EXPECT_EQ(trimmed("  \r\n \n"), "");
    EXPECT_EQ(trimmed(""), "");
    EXPECT_EQ(trimmed(" \x0b\n"), " \x0b");
}

TEST(ReadLog, FailedReadFinishesTheOpenEntryAndStops) {
    beginCapture();
    TextInput log;
    attachScriptedInput(log, "E 0001 one\n  more\nW 0002 two\n  lost\n", 5, 27);
    readLog(log);
    EXPECT_TRUE(log.failed);
    EXPECT_FALSE(log.eof);
    EXPECT_EQ(runSettings.levelTotals.warnings, 1);
    EXPECT_EQ(endCapture().output, "E 0001 one more\r\nW 0002 tw\r\n");
    resetRunState();
}

TEST(ReadLog, JoinsFiltersAndCounts) {
    beginCapture();
    runSettings.ReportType &= ~IncludeWarning;
    TextInput log;
    attachScriptedInput(log, " orphan\nW 0003 first part\n   second part\n third part\nI 0001 x\n \n\ne lower\n", 4);
    readLog(log);
    EXPECT_EQ(endCapture().output, "I 0001 x \r\n\r\ne lower\r\n");
    EXPECT_EQ(runSettings.levelTotals.warnings, 0);
    EXPECT_EQ(runSettings.levelTotals.informationals, 1);
    resetRunState();
}

}  // namespace
