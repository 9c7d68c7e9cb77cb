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

template <std::size_t First, std::size_t End>
char* copyFixedColumn(char* out, const char* text) {
    std::memcpy(out, text + First, End - First);
    return out + (End - First);
}

// Lines that reach column 5 are the usual case: columns 1 to 4 then lie
// wholly inside the line, and are copied as pieces of a size known here.
template <const Column (&Columns)[5]>
char* writeFullRowHead(char* out, const Line& line) {
    const char* text = line.text;
    *out++ = '"';
    out = copyFixedColumn<Columns[0].first, Columns[0].end>(out, text);
    std::memcpy(out, "\",\"", 3);
    out = copyFixedColumn<Columns[1].first, Columns[1].end>(out + 3, text);
    std::memcpy(out, "\",\"", 3);
    out = copyFixedColumn<Columns[2].first, Columns[2].end>(out + 3, text);
    std::memcpy(out, "\",\"", 3);
    out = copyFixedColumn<Columns[3].first, Columns[3].end>(out + 3, text);
    std::memcpy(out, "\",\"", 3);
    out += 3;
    std::size_t message = Columns[4].first;
    std::memcpy(out, text + message, line.length - message);
    return out + (line.length - message);
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

// Writes the head of a row for a line of the layout `Columns`.
template <const Column (&Columns)[5]>
char* writeRow(char* out, const Line& line) {
    return line.length >= Columns[4].first ? writeFullRowHead<Columns>(out, line) : writeRowHead(out, line, Columns);
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
    out = dashAt11 ? writeRow<DashAt11Columns>(out, trimmedLine) : writeRow<DashAt9Columns>(out, trimmedLine);
    commitOutput(stream, out);
}
