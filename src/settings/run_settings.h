// The process-wide state of one run: which entries are written and how, the
// trace switch, and the per-level totals. One process performs one run, so
// nothing here is ever reset.
#pragma once

#include <cstdint>

constexpr std::uint32_t IncludeInformational = 0x01;
constexpr std::uint32_t IncludeWarning = 0x02;
constexpr std::uint32_t IncludeError = 0x04;
constexpr std::uint32_t PrintTotals = 0x08;
constexpr std::uint32_t CommaDelimited = 0x10;
constexpr std::uint32_t SplitToFiles = 0x20;
constexpr std::uint32_t IncludeDebug = 0x80;

constexpr std::uint32_t DefaultReportType = IncludeInformational | IncludeWarning | IncludeError | IncludeDebug;

// 64-bit, so that no log is long enough to make a total wrap.
struct LevelTotals {
    std::int64_t errors = 0;
    std::int64_t warnings = 0;
    std::int64_t informationals = 0;
    std::int64_t debugs = 0;
};

struct RunSettings {
    std::uint32_t ReportType = DefaultReportType;
    bool traceEnabled = false;
    LevelTotals levelTotals;
};

extern RunSettings runSettings;

inline bool isSet(std::uint32_t flag) {
    return (runSettings.ReportType & flag) != 0;
}
