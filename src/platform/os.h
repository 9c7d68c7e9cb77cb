// The few calls the tool makes to the operating system, one implementation
// per platform (os_posix.cc, os_win32.cc). They move bytes and open files;
// every text-mode rule lives above them, in text_stream.cc, so that both
// builds give the same bytes.
#pragma once

#include <cstddef>
#include <cstdint>

using OsHandle = std::intptr_t;

// Which regular file a handle is open on. Anything else (a terminal, a pipe,
// a device, a directory, a closed handle) is not `regular`, and is never the
// same file as another.
struct OsFileIdentity {
    bool regular = false;
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
};

inline bool isSameFile(const OsFileIdentity& first, const OsFileIdentity& second) {
    return first.regular && second.regular && first.volume == second.volume && first.index == second.index;
}

// Makes sure the standard input, output and error handles are taken before
// anything else is opened, so that no log or session file can land on one
// that the caller left closed. False when that could not be done.
bool osReserveStandardHandles();
OsHandle osStandardOutput();
OsHandle osStandardError();

// Opens for reading only, sharing the file with every other reader and
// writer. A directory counts as a file that cannot be opened.
bool osOpenForReading(const char* path, OsHandle* handle);
// Opens a regular file of the current directory for appending: creates a
// missing file, never truncates, every write goes to the file's end. A
// symbolic link or other reparse point is never followed, and anything but a
// regular file (a directory, a FIFO, a device) counts as a file that cannot
// be opened; opening never blocks. `identity` is that of the opened file.
bool osOpenForAppending(const char* path, OsHandle* handle, OsFileIdentity* identity);
OsFileIdentity osIdentify(OsHandle handle);

// Returns the number of bytes read, 0 at the end of the input, -1 on error.
long osRead(OsHandle handle, char* buffer, std::size_t size);
// Writes everything, waiting for a handle that is not ready to take more.
bool osWriteAll(OsHandle handle, const char* data, std::size_t size);
bool osClose(OsHandle handle);
