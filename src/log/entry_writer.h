// Groups lines into entries and writes each entry that passes the level
// filter as one line: the entry line and its continuation lines joined by
// single spaces.
#pragma once

#include "platform/text_stream.h"

// `entryStream` is the stream of the open entry, or null when none is open.
void startEntry(Line& line, TextOutput*& entryStream);
void continueEntry(Line& line, TextOutput* entryStream);
void finishEntry(TextOutput*& entryStream);

// Standard output, or the entry's session file; null when that cannot be
// opened.
TextOutput* openEntryStream(const Line& line);
void renderEntryLine(const Line& line, TextOutput& stream);
// Ends the entry's line: a line feed, after the quote that closes the last
// column in comma-delimited mode.
void writeClosingText(TextOutput& stream);

// Drops every line feed, carriage return and space at the end of the line.
void trimLineEnd(Line& line);
