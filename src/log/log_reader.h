#pragma once

#include "platform/text_stream.h"

// Reads the log to its end, or up to a failed read, handing every line to the
// entry writer, then finishes the open entry. The read stops early when the
// entries go to standard output and writing there has failed.
void readLog(TextInput& log);
