#include "app/run_report.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/run_settings.h"
#include "test_support.h"

namespace {

struct OptionCase {
    std::vector<std::string> arguments;  // after the program name
    std::uint32_t reportType;
    bool trace;
    std::vector<std::string> afterwards;
};

const OptionCase optionCases[] = {
    {{"dre.log"}, 0x87, false, {"dre.log"}},
    {{"DRE.LOG", "/C"}, 0x97, false, {"DRE.LOG", "/c"}},
    {{"dre.log", "/c", "-t"}, 0x9F, false, {"dre.log", "/c", "-t"}},
    {{"dre.log", "-xct"}, 0x9F, false, {"dre.log", "-xct"}},
    {{"dre.log", "/q"}, 0x87, false, {"dre.log", "/q"}},
    {{"dre.log", "/Exclude"}, 0x13, false, {"dre.log", "/exclude"}},
    {{"dre.log", "/EWID"}, 0x00, false, {"dre.log", "/ewid"}},
    {{"dre.log", "/f", "/s"}, 0xA7, true, {"dre.log", "/f", "/s"}},
    {{"dre.log", "/cc", "/c", "/tT"}, 0x9F, false, {"dre.log", "/cc", "/c", "/tt"}},
    {{"/Logs/DRE.log"}, 0x23, false, {"/logs/dre.log"}},
    {{"/T", "DRE.LOG"}, 0x8F, false, {"/t", "DRE.LOG"}},
    {{"-"}, 0x87, false, {"-"}},
    {{"dre.log", "SECOND", "/\xC4\xD6S"}, 0xA7, false, {"dre.log", "SECOND", "/\xC4\xD6s"}},
};

TEST(ParseOptions, LettersCountAnywhereAndArgumentsAreLowerCasedInPlace) {
    for (const OptionCase& c : optionCases) {
        resetRunState();
        std::vector<std::string> storage = c.arguments;
        storage.insert(storage.begin(), "tarvex");
        std::vector<char*> argv;
        for (std::string& argument : storage) argv.push_back(argument.data());
        parseOptions(static_cast<int>(argv.size()), argv.data());
        std::string shown = c.arguments[0] + (c.arguments.size() > 1 ? " " + c.arguments[1] : "");
        EXPECT_EQ(runSettings.ReportType, c.reportType) << shown;
        EXPECT_EQ(runSettings.traceEnabled, c.trace) << shown;
        storage.erase(storage.begin());
        EXPECT_EQ(std::vector<std::string>(storage.begin(), storage.end()), c.afterwards) << shown;
    }
    resetRunState();
}

TEST(PrintTotals, SixtyFourBitCountersPrintInFull) {
    beginCapture();
    runSettings.levelTotals = {4294967296LL, 2147483648LL, 0, 7};
    printTotals();
    EXPECT_EQ(endCapture().output,
              "Number of Errors: 4294967296\r\nNumber of Warnings: 2147483648\r\n"
              "Number of Informationals: 0\r\nNumber of Debugs: 7\r\n");
    resetRunState();
}

}  // namespace
