#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/text_stream.h"

bool osOpenForReading(const char* path, OsHandle* handle) {
    int fd;
    do {
        fd = open(path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd);
        return false;
    }
    *handle = fd;
    return true;
}

bool osOpenForAppending(const char* path, OsHandle* handle) {
    int fd;
    do {
        fd = open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOCTTY, 0666);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) return false;
    *handle = fd;
    return true;
}

long osRead(OsHandle handle, char* buffer, std::size_t size) {
    for (;;) {
        ssize_t got = read(static_cast<int>(handle), buffer, size);
        if (got >= 0) return static_cast<long>(got);
        if (errno != EINTR) return -1;
    }
}

bool osWriteAll(OsHandle handle, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t put = write(static_cast<int>(handle), data, size);
        if (put < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += put;
        size -= static_cast<std::size_t>(put);
    }
    return true;
}

bool osClose(OsHandle handle) {
    // A close interrupted by a signal has still released the descriptor on
    // Linux, so it is not retried.
    return close(static_cast<int>(handle)) == 0 || errno == EINTR;
}

bool osIsSameFile(OsHandle first, OsHandle second) {
    struct stat a, b;
    return fstat(static_cast<int>(first), &a) == 0 && fstat(static_cast<int>(second), &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

OsHandle osStandardOutput() {
    return STDOUT_FILENO;
}

OsHandle osStandardError() {
    return STDERR_FILENO;
}
