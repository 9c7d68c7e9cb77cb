#include "log/comma_delimited.h"

#include <gtest/gtest.h>

#include <string>

#include "test_support.h"

namespace {

std::string rendered(std::string trimmedLine) {
    beginCapture();
    Line line{trimmedLine.data(), trimmedLine.size(), trimmedLine.size()};
    renderCommaDelimited(line, standardOutput);
    return endCapture().output;
}

TEST(CommaDelimited, ColumnsAreCutAtFixedPositions) {
    const std::pair<const char*, const char*> cases[] = {
        {"I 0042 1120-12:03:55 Replicated 12 documents",
         "\"I\",\"0042\",\"1120\",\"12:03:55\",\"Replicated 12 documents"},
        {"W 0007 11-20 12:03:55 Retrying", "\"W\",\"0007\",\"11-20\",\"12:03:55\",\"Retrying"},
        {"E 0001 11-2-12:03:55 both", "\"E\",\"0001\",\"11-2\",\"12:03:55\",\"both"},
        {"E 0001 1120-", "\"E\",\"0001\",\"1120\",\"\",\""},
        {"E 0001 1120-12:0", "\"E\",\"0001\",\"1120\",\"12:0\",\""},
        {"D 0001 11-", "\"D\",\"0001\",\"11-\",\"\",\""},
        {"x 0001 11-20 1", "\"x\",\"0001\",\"11-20\",\"1\",\""},
        // The separator before the message is dropped whatever it holds.
        {"E 0001 1120-12:03:55x", "\"E\",\"0001\",\"1120\",\"12:03:55\",\""},
        {"E 0001 1120-12:03:55xy", "\"E\",\"0001\",\"1120\",\"12:03:55\",\"y"},
        {"W 0007 11-20 12:03:55x", "\"W\",\"0007\",\"11-20\",\"12:03:55\",\""},
        {"W 0007 11-20 12:03:55xy", "\"W\",\"0007\",\"11-20\",\"12:03:55\",\"y"},
        {"W 0007 11-20 12:03:55", "\"W\",\"0007\",\"11-20\",\"12:03:55\",\""},
        {"W 0007 11-20 12:03:5", "\"W\",\"0007\",\"11-20\",\"12:03:5\",\""},
        {"E 0001 11", "Unknown DRE.LOG Format"},
        {"", "Unknown DRE.LOG Format"},
        {"E 0001 1120-12:03:55 say \"hi\", twice", "\"E\",\"0001\",\"1120\",\"12:03:55\",\"say \"hi\", twice"},
    };
    for (const auto& [line, row] : cases) EXPECT_EQ(rendered(line), row) << line;
    resetRunState();
}

}  // namespace
