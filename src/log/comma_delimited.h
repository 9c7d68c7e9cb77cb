// With /C every entry becomes one row of quoted, comma-separated columns cut
// from the entry line at fixed positions. Nothing inside a column is escaped:
// the scripts that read these rows expect the bytes exactly as they stand.
#pragma once

#include "platform/text_stream.h"

// Writes columns 1 to 4 and the opening of column 5, which the continuation
// lines then extend and the closing text ends. A line of neither layout gets
// "Unknown DRE.LOG Format" instead, and the entry stays open.
void renderCommaDelimited(const Line& trimmedLine, TextOutput& stream);
