#include "log/comma_delimited.h"

namespace {

// Where each column starts and ends (one past its last position) in the two
// layouts, told apart by the hyphen at position 11 or at position 9.
struct Column {
    std::size_t first;
    std::size_t end;
};

constexpr std::size_t ToLineEnd = static_cast<std::size_t>(-1);
constexpr Column DashAt11Columns[5] = {{0, 1}, {2, 6}, {7, 11}, {12, 20}, {21, ToLineEnd}};
constexpr Column DashAt9Columns[5] = {{0, 1}, {2, 6}, {7, 12}, {13, 21}, {22, ToLineEnd}};

bool hasHyphenAt(const Line& line, std::size_t position) {
    return position < line.length && line.text[position] == '-';
}

void writeColumn(TextOutput& stream, const Line& line, Column column) {
    std::size_t end = column.end < line.length ? column.end : line.length;
    if (column.first < end) writeLineText(stream, line.text + column.first, end - column.first);
}

}  // namespace

void renderCommaDelimited(const Line& trimmedLine, TextOutput& stream) {
    const Column* columns;
    if (hasHyphenAt(trimmedLine, 11)) {
        columns = DashAt11Columns;
    } else if (hasHyphenAt(trimmedLine, 9)) {
        columns = DashAt9Columns;
    } else {
        writeString(stream, "Unknown DRE.LOG Format");
        return;
    }
    writeLineText(stream, "\"", 1);
    writeColumn(stream, trimmedLine, columns[0]);
    for (int i = 1; i < 5; ++i) {
        writeLineText(stream, "\",\"", 3);
        writeColumn(stream, trimmedLine, columns[i]);
    }
}
