#include "platform/text_stream.h"

#include <cassert>
#include <cstring>

#include "platform/byte_search.h"

namespace {

// Large blocks keep the system calls few; a line never needs more than
// LineBufferSize bytes of them at once (511 characters and a dropped CR).
constexpr std::size_t InputBlockSize = 128 * 1024;
constexpr std::size_t OutputBlockSize = 128 * 1024;
constexpr std::size_t ErrorBlockSize = 4 * 1024;
constexpr std::size_t SmallestBlockSize = 2 * LineBufferSize;

std::size_t inputCapacity = InputBlockSize;
std::size_t outputCapacity = OutputBlockSize;

}  // namespace

void limitBlockSizes(std::size_t inputSize, std::size_t outputSize) {
    auto bounded = [](std::size_t size, std::size_t most) {
        return size < SmallestBlockSize ? SmallestBlockSize : size > most ? most : size;
    };
    inputCapacity = bounded(inputSize, InputBlockSize);
    outputCapacity = bounded(outputSize, OutputBlockSize);
}

// ---- Input ----------------------------------------------------------------

namespace {

constexpr char CtrlZ = 0x1A;
constexpr std::size_t NotFound = static_cast<std::size_t>(-1);

char inputBlock[InputBlockSize];

// Moves the unread rest to the front and reads until a whole line's worth of
// bytes is there, or a whole line (a pipe may deliver one at a time, and its
// writer may wait before the next), or the input has ended.
void refill(TextInput& input) {
    if (input.pos > 0) {
        std::memmove(input.block, input.block + input.pos, input.end - input.pos);
        input.end -= input.pos;
        input.pos = 0;
    }
    while (input.end < LineBufferSize && !input.sourceEnded && !findByte(input.block, input.end, '\n')) {
        long got = input.read(input.handle, input.block + input.end, input.capacity - input.end);
        if (got <= 0) {
            input.failed = got < 0;
            input.sourceEnded = true;
            break;
        }
        char* fresh = input.block + input.end;
        const char* ctrlZ = findByte(fresh, static_cast<std::size_t>(got), CtrlZ);
        if (ctrlZ) {
            input.end = static_cast<std::size_t>(ctrlZ - input.block);
            input.sourceEnded = true;
        } else {
            input.end += static_cast<std::size_t>(got);
        }
    }
}

// Where a line starts and what a search of its first bytes found: the first
// line feed and the first zero byte, at offsets from the start, or NotFound.
struct LineMarks {
    std::size_t lineFeed = NotFound;
    std::size_t zero = NotFound;
};

// Searches the first `window` bytes at the read position. A zero byte is
// rare, so one pass looks for either, and only a zero found goes on.
LineMarks markLine(const TextInput& input, std::size_t window) {
    const char* start = input.block + input.pos;
    LineMarks marks;
    const char* found = findEitherByte(start, window, '\n', '\0');
    if (found && *found == '\0') {
        marks.zero = static_cast<std::size_t>(found - start);
        found = findByte(found + 1, window - marks.zero - 1, '\n');
    }
    if (found) marks.lineFeed = static_cast<std::size_t>(found - start);
    return marks;
}

// Hands out the line that starts at the read position, of the `available`
// bytes there.
void takeLine(TextInput& input, Line& line, LineMarks marks, std::size_t available) {
    char* start = input.block + input.pos;
    std::size_t lineFeed = marks.lineFeed;
    std::size_t consumed;
    std::size_t length;
    if (lineFeed != NotFound) {
        consumed = length = lineFeed + 1;
        if (consumed >= 2 && start[consumed - 2] == '\r') {
            // Drop the CR: the line now ends with the LF written over it.
            start[consumed - 2] = '\n';
            length = consumed - 1;
        } else if (consumed > MaxLineLength) {
            consumed = length = MaxLineLength;
        }
    } else if (available >= MaxLineLength) {
        // A full buffer's worth stops the read before it looks further, so
        // the end-of-file indicator is left for the next read to set.
        consumed = length = MaxLineLength;
    } else {
        consumed = length = available;
        if (!input.failed) input.eof = true;
    }
    line.text = start;
    line.readLength = length;
    line.length = marks.zero < length ? marks.zero : length;
    input.pos += consumed;
}

}  // namespace

ReadFunction logReadFunction = osRead;

void attachTextInput(TextInput& input, OsHandle handle, ReadFunction read) {
    input = TextInput{};
    input.handle = handle;
    input.read = read;
    input.block = inputBlock;
    input.capacity = inputCapacity;
}

bool openTextInput(TextInput& input, const char* path) {
    OsHandle handle;
    if (!osOpenForReading(path, &handle)) return false;
    attachTextInput(input, handle, logReadFunction);
    return true;
}

// Runs once per line. In the common case a whole line's worth of bytes is
// in the block already; near its end the block is refilled first, and the
// input may end within the line.
bool readLine(TextInput& input, Line& line) {
    std::size_t available = input.end - input.pos;
    if (available < LineBufferSize) {
        if (!input.sourceEnded) refill(input);
        available = input.end - input.pos;
        if (available == 0) {
            if (!input.failed) input.eof = true;
            return false;
        }
    }
    std::size_t window = available < LineBufferSize ? available : LineBufferSize;
    takeLine(input, line, markLine(input, window), available);
    return true;
}

bool closeTextInput(TextInput& input) {
    return osClose(input.handle);
}

// ---- Output ---------------------------------------------------------------

namespace {

char standardOutputBlock[OutputBlockSize];
char standardErrorBlock[ErrorBlockSize];
char appendBlock[OutputBlockSize];

void attachOutput(TextOutput& output, OsHandle handle, char* buffer, std::size_t capacity) {
    output.handle = handle;
    output.buffer = buffer;
    output.capacity = capacity;
    output.used = 0;
    output.failed = false;
}

// Fills the buffer to the brim before it is written, so that every write but
// the last is one whole block: a file then grows by whole pages. Kept out of
// line: the per-line writers below, which call it only when the buffer is
// full, then stay small enough to be folded into the read loop.
[[gnu::noinline]] void appendToOutput(TextOutput& output, const char* data, std::size_t size) {
    while (!output.failed && output.used + size > output.capacity) {
        std::size_t room = output.capacity - output.used;
        std::memcpy(output.buffer + output.used, data, room);
        output.used = output.capacity;
        data += room;
        size -= room;
        flushOutput(output);
    }
    if (output.failed) return;
    std::memcpy(output.buffer + output.used, data, size);
    output.used += size;
}

}  // namespace

TextOutput standardOutput;
TextOutput standardError;

bool openStandardStreams() {
    bool reserved = osReserveStandardHandles();
    attachOutput(standardOutput, osStandardOutput(), standardOutputBlock, outputCapacity);
    attachOutput(standardError, osStandardError(), standardErrorBlock, ErrorBlockSize);
    return reserved;
}

bool openAppendOutput(TextOutput& output, const char* path, OsFileIdentity* identity) {
    OsHandle handle;
    if (!osOpenForAppending(path, &handle, identity)) return false;
    attachOutput(output, handle, appendBlock, outputCapacity);
    return true;
}

void writeText(TextOutput& output, const char* text, std::size_t length) {
    while (length > 0) {
        const char* lineFeed = findByte(text, length, '\n');
        if (!lineFeed) {
            appendToOutput(output, text, length);
            return;
        }
        std::size_t before = static_cast<std::size_t>(lineFeed - text);
        appendToOutput(output, text, before);
        appendToOutput(output, "\r\n", 2);
        text += before + 1;
        length -= before + 1;
    }
}

void writeString(TextOutput& output, const char* text) {
    writeText(output, text, std::strlen(text));
}

void writeChar(TextOutput& output, char c) {
    writeText(output, &c, 1);
}

void writeDecimal(TextOutput& output, std::int64_t value) {
    char digits[24];
    char* p = digits + sizeof digits;
    std::uint64_t magnitude = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    do {
        *--p = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude > 0);
    if (value < 0) *--p = '-';
    appendToOutput(output, p, static_cast<std::size_t>(digits + sizeof digits - p));
}

void writeHex(TextOutput& output, std::uint32_t value, int minDigits) {
    char digits[8];
    int count = 0;
    do {
        digits[7 - count] = "0123456789ABCDEF"[value & 0xF];
        value >>= 4;
        ++count;
    } while (count < 8 && (value > 0 || count < minDigits));
    appendToOutput(output, digits + 8 - count, static_cast<std::size_t>(count));
}

// There is nothing to translate, so the bytes are copied as they stand.
void writeLineText(TextOutput& output, const char* text, std::size_t length) {
    assert(!std::memchr(text, '\n', length));
    if (output.used + length <= output.capacity) {
        std::memcpy(output.buffer + output.used, text, length);
        output.used += length;
    } else {
        appendToOutput(output, text, length);
    }
}

void writeLineEnd(TextOutput& output) {
    if (output.used + 2 <= output.capacity) {
        output.buffer[output.used] = '\r';
        output.buffer[output.used + 1] = '\n';
        output.used += 2;
    } else {
        appendToOutput(output, "\r\n", 2);
    }
}

char* reserveOutput(TextOutput& output, std::size_t size) {
    assert(size <= SmallestBlockSize);
    if (output.failed) return nullptr;
    if (output.used + size > output.capacity && !flushOutput(output)) return nullptr;
    return output.buffer + output.used;
}

void commitOutput(TextOutput& output, char* end) {
    assert(
        !std::memchr(output.buffer + output.used, '\n', static_cast<std::size_t>(end - output.buffer) - output.used));
    output.used = static_cast<std::size_t>(end - output.buffer);
}

bool flushOutput(TextOutput& output) {
    if (!output.failed && output.used > 0) output.failed = !osWriteAll(output.handle, output.buffer, output.used);
    output.used = 0;
    return !output.failed;
}

bool closeOutput(TextOutput& output) {
    bool written = flushOutput(output);
    bool closed = osClose(output.handle);
    output.handle = -1;
    return written && closed;
}
