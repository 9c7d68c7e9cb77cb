#include "log/comma_delimited.h"

#include <cstring>

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

char* copyColumn(char* out, const Line& line, Column column) {
    std::size_t end = column.end < line.length ? column.end : line.length;
    if (column.first < end) {
        std::memcpy(out, line.text + column.first, end - column.first);
        out += end - column.first;
    }
    return out;
}

// Lines that reach column 5 are the usual case: columns 1 to 4 then stand at
// fixed places and are copied as fixed-size pieces.
template <std::size_t Session, std::size_t Third, std::size_t ThirdLength, std::size_t Fourth,
          std::size_t Message>
char* writeFullRowHead(char* out, const Line& line) {
    const char* text = line.text;
    *out++ = '"';
    *out++ = text[0];
    std::memcpy(out, "\",\"", 3);
    std::memcpy(out + 3, text + Session, 4);
    std::memcpy(out + 7, "\",\"", 3);
    std::memcpy(out + 10, text + Third, ThirdLength);
    out += 10 + ThirdLength;
    std::memcpy(out, "\",\"", 3);
    std::memcpy(out + 3, text + Fourth, 8);
    std::memcpy(out + 11, "\",\"", 3);
    out += 14;
    std::memcpy(out, text + Message, line.length - Message);
    return out + (line.length - Message);
}

char* writeRowHead(char* out, const Line& line, const Column* columns) {
    *out++ = '"';
    out = copyColumn(out, line, columns[0]);
    for (int i = 1; i < 5; ++i) {
        std::memcpy(out, "\",\"", 3);
        out = copyColumn(out + 3, line, columns[i]);
    }
    return out;
}

}  // namespace

void renderCommaDelimited(const Line& trimmedLine, TextOutput& stream) {
    bool dashAt11 = hasHyphenAt(trimmedLine, 11);
    if (!dashAt11 && !hasHyphenAt(trimmedLine, 9)) {
        writeString(stream, "Unknown DRE.LOG Format");
        return;
    }
    // The row's head is the line's own bytes and at most 13 more: its quotes
    // and commas. The line holds no line feed, so it is copied as it stands.
    char* out = reserveOutput(stream, trimmedLine.length + 16);
    if (!out) return;
    if (dashAt11) {
        out = trimmedLine.length >= 21 ? writeFullRowHead<2, 7, 4, 12, 21>(out, trimmedLine)
                                       : writeRowHead(out, trimmedLine, DashAt11Columns);
    } else {
        out = trimmedLine.length >= 22 ? writeFullRowHead<2, 7, 5, 13, 22>(out, trimmedLine)
                                       : writeRowHead(out, trimmedLine, DashAt9Columns);
    }
    commitOutput(stream, out);
}
