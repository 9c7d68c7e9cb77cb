// With /S every entry goes to the file named after its session number,
// positions 2 to 5 of the entry line, plus ".LOG", in the current directory.
// The file is opened for appending when the entry starts and closed when it
// ends, so that no file stays open from one entry to the next.
#pragma once

#include <cstddef>

#include "platform/text_stream.h"

constexpr std::size_t SessionFileNameSize = 32;

// Takes the characters at positions 2 to 5 of the line as read, stopping at
// its end, and appends ".LOG".
void buildSessionFileName(const Line& line, char (&name)[SessionFileNameSize]);
// False for a name that Windows could not hold as a plain file in the
// current directory: a control character, one of < > : " / \ | ? *, or a
// device name (COM1 to COM9 and COM with a superscript 1 to 3 among them,
// and so for LPT). Both builds refuse the same names.
bool isAcceptableSessionFileName(const char* name);

// No session file may be the log being read, nor the file that standard
// output or standard error is written to.
void guardSessionFilesAgainst(OsHandle log);
// Null, after telling so on standard error, when the file cannot be opened:
// its name is refused, it is not a regular file reached without following a
// link, or it is one of the guarded files.
TextOutput* openSessionFile(const Line& line);
// Tells on standard error when the entry's text could not all be written.
void closeSessionFile(TextOutput& stream);
