// Buffered text streams over OS file handles (platform/os.h).
//
// Input and output follow the Windows text-mode rules on every platform, so
// that both builds give the same bytes. All of them are kept in
// text_stream.cc, whatever the platform:
//   reading: a carriage return directly before a line feed is dropped, any
//            other carriage return stays; a Ctrl-Z byte (0x1A) ends the input;
//            a line holds at most LineBufferSize - 1 characters, up to and
//            including its line feed;
//   writing: every line feed becomes a carriage return and a line feed.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/os.h"

// A line has the contract of a 512-byte line buffer: at most
// LineBufferSize - 1 characters.
constexpr std::size_t LineBufferSize = 512;
constexpr std::size_t MaxLineLength = LineBufferSize - 1;

// ---- Input ----------------------------------------------------------------

// Returns the number of bytes read, 0 at the end of the input, -1 on error.
using ReadFunction = long (*)(OsHandle handle, char* buffer, std::size_t size);

// A line is a view into the input's block, valid until the next read:
// `text` holds `length` characters. A zero byte ends the line's text, so
// `length` stops before the first one; `readLength` counts every character
// read, zero bytes and the line feed (if any) included. The text may be
// changed in place.
struct Line {
    char* text;
    std::size_t length;
    std::size_t readLength;
};

// The state of the one input stream; only `eof` and `failed` are for
// readers, the rest belongs to text_stream.cc.
struct TextInput {
    OsHandle handle = -1;
    ReadFunction read = osRead;
    char* block = nullptr;
    std::size_t capacity = 0;
    std::size_t pos = 0;       // first byte not yet returned
    std::size_t end = 0;       // end of the valid bytes
    bool sourceEnded = false;  // the system said end, a read failed, or Ctrl-Z
    bool eof = false;          // the end-of-file indicator, as fgets sets it
    bool failed = false;       // a read failed for another reason
};

// Opens `path` for reading (shared with its writers) into the process's one
// input stream. The bytes come through `logReadFunction`.
bool openTextInput(TextInput& input, const char* path);
// How openTextInput reads: osRead, unless a test or the fuzz target puts a
// stand-in (one that reads in small pieces, say) in its place.
extern ReadFunction logReadFunction;
// Prepares `input` to read through `read` from `handle`, into the process's
// input block.
void attachTextInput(TextInput& input, OsHandle handle, ReadFunction read);
// Returns false when no line was read: at the end of the input (the
// end-of-file indicator is then set) or after a failed read (`failed` is then
// set). A last line without a line feed sets the indicator as it is returned.
// A whole line in hand is returned without waiting for more input.
bool readLine(TextInput& input, Line& line);
bool closeTextInput(TextInput& input);

// ---- Output ---------------------------------------------------------------

// The state of an output stream; `failed` is for writers, the rest belongs
// to text_stream.cc.
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
void writeString(TextOutput& output, const char* text);
void writeChar(TextOutput& output, char c);
void writeDecimal(TextOutput& output, std::int64_t value);
// Upper-case hexadecimal with at least `minDigits` digits.
void writeHex(TextOutput& output, std::uint32_t value, int minDigits);
// Writes text that holds no line feed, such as a line after trimLineEnd or
// a piece of one, as it stands: the path of nearly every byte the tool
// writes.
void writeLineText(TextOutput& output, const char* text, std::size_t length);
// Ends a line: a carriage return and a line feed.
void writeLineEnd(TextOutput& output);
// Room for `size` (at most 2 * LineBufferSize) more bytes at the end of the
// buffer, which is written out first when needed; null when a write has
// failed, as the bytes would be dropped anyway. What is put there must hold
// no line feed; commitOutput then takes it up to `end`.
char* reserveOutput(TextOutput& output, std::size_t size);
void commitOutput(TextOutput& output, char* end);

// Both return false when any write since the stream was opened failed.
bool flushOutput(TextOutput& output);
bool closeOutput(TextOutput& output);

// ---- For tests and the fuzz target ------------------------------------------

// Makes every block attached from now on smaller (never below
// 2 * LineBufferSize, nor above its normal size), so that refills and
// flushes come after a few lines instead of after 128 KiB.
void limitBlockSizes(std::size_t inputSize, std::size_t outputSize);
