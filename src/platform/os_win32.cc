#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <windows.h>

#include "platform/os.h"

// The mingw-w64 runtime can expand wildcards in the command line before
// main; the tool must see an argument such as *.LOG as typed.
extern "C" {
int _dowildcard = 0;
}

bool osOpenForReading(const char* path, OsHandle* handle) {
    // Other processes may go on reading, writing, renaming and deleting the
    // log while it is read.
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(file) == FILE_TYPE_DISK &&
        (!GetFileInformationByHandle(file, &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))) {
        CloseHandle(file);
        return false;
    }
    *handle = reinterpret_cast<OsHandle>(file);
    return true;
}

namespace {

OsFileIdentity identityOf(HANDLE file) {
    OsFileIdentity identity;
    BY_HANDLE_FILE_INFORMATION info;
    if (GetFileType(file) != FILE_TYPE_DISK || !GetFileInformationByHandle(file, &info)) return identity;
    identity.regular = (info.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) == 0;
    identity.volume = info.dwVolumeSerialNumber;
    identity.index = static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow;
    return identity;
}

}  // namespace

bool osOpenForAppending(const char* path, OsHandle* handle, OsFileIdentity* identity) {
    // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end
    // of the file and nothing already in it can be overwritten.
    // FILE_FLAG_OPEN_REPARSE_POINT opens a symbolic link or junction itself
    // instead of its target, which the attribute check then refuses; the
    // check is made on the opened handle, so nothing can be swapped in
    // between.
    HANDLE file =
        CreateFileA(path, FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    *identity = identityOf(file);
    if (!identity->regular) {
        CloseHandle(file);
        return false;
    }
    *handle = reinterpret_cast<OsHandle>(file);
    return true;
}

OsFileIdentity osIdentify(OsHandle handle) {
    return identityOf(reinterpret_cast<HANDLE>(handle));
}

long osRead(OsHandle handle, char* buffer, std::size_t size) {
    DWORD want = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle), buffer, want, &got, nullptr)) {
        // The write end of a pipe was closed: that is the end of the input.
        return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
    }
    return static_cast<long>(got);
}

bool osWriteAll(OsHandle handle, const char* data, std::size_t size) {
    // Older consoles refuse a single write of more than about 64 KiB.
    HANDLE file = reinterpret_cast<HANDLE>(handle);
    std::size_t most = GetFileType(file) == FILE_TYPE_CHAR ? 16 * 1024 : 0x40000000;
    while (size > 0) {
        DWORD want = static_cast<DWORD>(size > most ? most : size);
        DWORD put = 0;
        if (!WriteFile(file, data, want, &put, nullptr) || put == 0) return false;
        data += put;
        size -= put;
    }
    return true;
}

bool osClose(OsHandle handle) {
    return CloseHandle(reinterpret_cast<HANDLE>(handle)) != 0;
}

// Windows never hands a closed standard handle's place to a file opened
// later: a missing one stays null, and writing to it fails.
bool osReserveStandardHandles() {
    return true;
}

// The standard handles are written with WriteFile directly, below the C
// runtime's text mode; the runtime's own streams are switched to binary as
// well, so that no line end is ever translated twice.
OsHandle osStandardOutput() {
    _setmode(_fileno(stdout), _O_BINARY);
    return reinterpret_cast<OsHandle>(GetStdHandle(STD_OUTPUT_HANDLE));
}

OsHandle osStandardError() {
    _setmode(_fileno(stderr), _O_BINARY);
    return reinterpret_cast<OsHandle>(GetStdHandle(STD_ERROR_HANDLE));
}
