#include "platform/text_stream.h"

#include <cstring>

namespace {

constexpr char CtrlZ = 0x1A;

// Large blocks keep the system calls few; a line never needs more than
// LineBufferSize bytes of them at once (511 characters and a dropped CR).
constexpr std::size_t InputBlockSize = 128 * 1024;
constexpr std::size_t OutputBlockSize = 128 * 1024;
constexpr std::size_t ErrorBlockSize = 4 * 1024;

char inputBlock[InputBlockSize];
char standardOutputBlock[OutputBlockSize];
char standardErrorBlock[ErrorBlockSize];
char appendBlock[OutputBlockSize];

// The C runtimes differ widely in how fast they search memory: glibc's
// memchr is vectorized, the msvcrt that mingw-w64 links makes no such
// promise (under Wine its memchr took half of a run). Every block is
// searched for Ctrl-Z and zero bytes, so on Windows the search is our own.
const char* findByte(const char* text, std::size_t length, char byte) {
#if defined(_WIN32) && defined(__SSE2__)
    const __m128i wanted = _mm_set1_epi8(byte);
    std::size_t i = 0;
    for (; i + 64 <= length; i += 64) {
        const __m128i* at = reinterpret_cast<const __m128i*>(text + i);
        __m128i a = _mm_cmpeq_epi8(_mm_loadu_si128(at), wanted);
        __m128i b = _mm_cmpeq_epi8(_mm_loadu_si128(at + 1), wanted);
        __m128i c = _mm_cmpeq_epi8(_mm_loadu_si128(at + 2), wanted);
        __m128i d = _mm_cmpeq_epi8(_mm_loadu_si128(at + 3), wanted);
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) == 0) continue;
        std::uint64_t found = static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(a))) |
                              static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(b))) << 16 |
                              static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(c))) << 32 |
                              static_cast<std::uint64_t>(static_cast<unsigned>(_mm_movemask_epi8(d))) << 48;
        return text + i + __builtin_ctzll(found);
    }
    for (; i < length; ++i) {
        if (text[i] == byte) return text + i;
    }
    return nullptr;
#else
    return static_cast<const char*>(std::memchr(text, byte, length));
#endif
}

}  // namespace

void findNextZero(TextInput& input) {
    const char* zero = findByte(input.block + input.pos, input.end - input.pos, 0);
    input.nextZero = zero ? static_cast<std::size_t>(zero - input.block) : input.end;
}

namespace {

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
    findNextZero(input);
}

}  // namespace

// Fills the buffer to the brim before it is written, so that every write but
// the last is one whole block: a file then grows by whole pages.
void appendToOutput(TextOutput& output, const char* data, std::size_t size) {
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

char* reserveOutput(TextOutput& output, std::size_t size) {
    if (output.failed || size > output.capacity) return nullptr;
    if (output.used + size > output.capacity && !flushOutput(output)) return nullptr;
    return output.buffer + output.used;
}

namespace {

void attachOutput(TextOutput& output, OsHandle handle, char* buffer, std::size_t capacity) {
    output.handle = handle;
    output.buffer = buffer;
    output.capacity = capacity;
    output.used = 0;
    output.failed = false;
}

}  // namespace

TextOutput standardOutput;
TextOutput standardError;

void attachTextInput(TextInput& input, OsHandle handle, ReadFunction read) {
    input = TextInput{};
    input.handle = handle;
    input.read = read;
    input.block = inputBlock;
    input.capacity = InputBlockSize;
}

bool openTextInput(TextInput& input, const char* path) {
    OsHandle handle;
    if (!osOpenForReading(path, &handle)) return false;
    attachTextInput(input, handle, osRead);
    return true;
}

bool readLineAtBlockEnd(TextInput& input, Line& line) {
    if (!input.sourceEnded) refill(input);
    std::size_t available = input.end - input.pos;
    if (available == 0) {
        if (!input.failed) input.eof = true;
        return false;
    }
    const char* start = input.block + input.pos;
    std::size_t window = available < LineBufferSize ? available : LineBufferSize;
    const char* lineFeed = findByte(start, window, '\n');
    return takeLine(input, line, lineFeed ? static_cast<std::size_t>(lineFeed - start) : NoLineFeed, available);
}

bool closeTextInput(TextInput& input) {
    return osClose(input.handle);
}

bool openStandardStreams() {
    bool reserved = osReserveStandardHandles();
    attachOutput(standardOutput, osStandardOutput(), standardOutputBlock, OutputBlockSize);
    attachOutput(standardError, osStandardError(), standardErrorBlock, ErrorBlockSize);
    return reserved;
}

bool openAppendOutput(TextOutput& output, const char* path, OsFileIdentity* identity) {
    OsHandle handle;
    if (!osOpenForAppending(path, &handle, identity)) return false;
    attachOutput(output, handle, appendBlock, OutputBlockSize);
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
