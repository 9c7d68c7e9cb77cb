// Buffered text streams over OS file handles.
//
// The tool's input and output follow the Windows text-mode rules on every
// platform, so that both builds give the same bytes:
//   reading: a carriage return directly before a line feed is dropped, any
//            other carriage return stays; a Ctrl-Z byte (0x1A) ends the input;
//            a line holds at most LineBufferSize - 1 characters, up to and
//            including its line feed;
//   writing: every line feed becomes a carriage return and a line feed.
// os_posix.cc and os_win32.cc only move bytes between these buffers and the
// system.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "platform/os.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// One line as the bounded line read delivers it, with the same contract as a
// 512-byte line buffer: at most LineBufferSize - 1 characters.
constexpr std::size_t LineBufferSize = 512;
constexpr std::size_t MaxLineLength = LineBufferSize - 1;

// ---- Input ----------------------------------------------------------------

using ReadFunction = long (*)(OsHandle handle, char* buffer, std::size_t size);

// A line is a view into the input's block: `text` holds `length` characters.
// A zero byte ends the line's text, so `length` stops before the first one;
// `readLength` counts every character read, zero bytes and the line feed
// included.
struct Line {
    char* text;
    std::size_t length;
    std::size_t readLength;
};

struct TextInput {
    OsHandle handle = -1;
    ReadFunction read = osRead;
    char* block = nullptr;
    std::size_t capacity = 0;
    std::size_t pos = 0;       // first byte not yet returned
    std::size_t end = 0;       // end of the valid bytes
    std::size_t nextZero = 0;  // first zero byte at or after pos, or end
    bool sourceEnded = false;  // the system said end, a read failed, or Ctrl-Z
    bool eof = false;          // the end-of-file indicator
    bool failed = false;       // a read failed for another reason
};

// Opens `path` into the process's one log input stream.
bool openTextInput(TextInput& input, const char* path);
// Prepares `input` to read through `read` from `handle`, into the process's
// input block.
void attachTextInput(TextInput& input, OsHandle handle, ReadFunction read);
// Returns false when no line was read: at the end of the input (the
// end-of-file indicator is then set) or after a failed read (`failed` is then
// set). A last line without a line feed sets the indicator as it is returned.
inline bool readLine(TextInput& input, Line& line);
// The general case of readLine: fewer than LineBufferSize bytes are left in
// the block, so it is refilled first, and the input may end in this line.
bool readLineAtBlockEnd(TextInput& input, Line& line);
constexpr std::size_t NoLineFeed = static_cast<std::size_t>(-1);
void findNextZero(TextInput& input);
bool closeTextInput(TextInput& input);

// The offset of the first line feed among the LineBufferSize bytes at `text`,
// or NoLineFeed. Lines are short: an inline scan of 32 bytes a step
// beats a library call that has to be ready for any length.
inline std::size_t findLineFeed(const char* text) {
#if defined(__SSE2__)
    const __m128i lineFeed = _mm_set1_epi8('\n');
    for (std::size_t i = 0; i < LineBufferSize; i += 32) {
        __m128i low = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i)), lineFeed);
        __m128i high = _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(text + i + 16)), lineFeed);
        unsigned found = static_cast<unsigned>(_mm_movemask_epi8(low)) |
                         static_cast<unsigned>(_mm_movemask_epi8(high)) << 16;
        if (found != 0) return i + static_cast<std::size_t>(__builtin_ctz(found));
    }
    return NoLineFeed;
#else
    const void* lineFeed = std::memchr(text, '\n', LineBufferSize);
    return lineFeed ? static_cast<std::size_t>(static_cast<const char*>(lineFeed) - text) : NoLineFeed;
#endif
}

// Hands out the line that starts at the read position, of the `available`
// bytes there, whose line feed is at offset `lineFeed` (or NoLineFeed among
// the first LineBufferSize bytes).
inline bool takeLine(TextInput& input, Line& line, std::size_t lineFeed, std::size_t available) {
    std::size_t pos = input.pos;
    char* start = input.block + pos;
    std::size_t consumed;
    std::size_t length;
    if (lineFeed != NoLineFeed) {
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
    std::size_t zero = input.nextZero;
    line.length = zero < pos + length ? zero - pos : length;
    input.pos = pos + consumed;
    if (zero < pos + consumed) findNextZero(input);
    return true;
}

// Reading runs once per line, so its common case is inline: a whole line's
// worth of bytes is in the block.
inline bool readLine(TextInput& input, Line& line) {
    std::size_t available = input.end - input.pos;
    if (available < LineBufferSize) return readLineAtBlockEnd(input, line);
    return takeLine(input, line, findLineFeed(input.block + input.pos), available);
}

// ---- Output ---------------------------------------------------------------

struct TextOutput {
    OsHandle handle = -1;
    char* buffer = nullptr;
    std::size_t capacity = 0;
    std::size_t used = 0;
    bool failed = false;  // a write failed; later output is dropped
};

extern TextOutput standardOutput;
extern TextOutput standardError;

// Attaches standard output and standard error, after taking the place of
// any standard handle left closed (see osReserveStandardHandles). False when
// that could not be done: nothing may then be opened.
bool openStandardStreams();
// Opens the regular file `path` for appending into the process's one
// session-file stream, as osOpenForAppending does; `identity` tells which
// file it is.
bool openAppendOutput(TextOutput& output, const char* path, OsFileIdentity* identity);
// Writes `length` bytes, each line feed as a carriage return and a line feed.
void writeText(TextOutput& output, const char* text, std::size_t length);
void appendToOutput(TextOutput& output, const char* data, std::size_t size);
// Writes text that holds no line feed, such as a line after trimLineEnd or
// a piece of one: there is nothing to translate, so the bytes are copied as
// they stand. This is the path of nearly every byte the tool writes.
inline void writeLineText(TextOutput& output, const char* text, std::size_t length) {
    assert(!std::memchr(text, '\n', length));
    if (output.used + length <= output.capacity) {
        std::memcpy(output.buffer + output.used, text, length);
        output.used += length;
    } else {
        appendToOutput(output, text, length);
    }
}
void writeString(TextOutput& output, const char* text);
void writeChar(TextOutput& output, char c);
void writeDecimal(TextOutput& output, std::int64_t value);
// Upper-case hexadecimal with at least `minDigits` digits.
void writeHex(TextOutput& output, std::uint32_t value, int minDigits);
// Room for `size` more bytes at the end of the buffer, which is written out
// first when needed; null when the bytes would be dropped anyway (a write
// has failed) or cannot fit. What is put there must hold no line feed, as
// for writeLineText; commitOutput then takes it up to `end`.
char* reserveOutput(TextOutput& output, std::size_t size);
inline void commitOutput(TextOutput& output, char* end) {
    output.used = static_cast<std::size_t>(end - output.buffer);
}
// Ends a line: a carriage return and a line feed.
inline void writeLineEnd(TextOutput& output) {
    if (output.used + 2 <= output.capacity) {
        output.buffer[output.used] = '\r';
        output.buffer[output.used + 1] = '\n';
        output.used += 2;
    } else {
        appendToOutput(output, "\r\n", 2);
    }
}
// Both return false when any write since the stream was opened failed.
bool flushOutput(TextOutput& output);
bool closeOutput(TextOutput& output);
