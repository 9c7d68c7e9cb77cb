#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/os.h"

namespace {

OsFileIdentity identityOf(const struct stat& info) {
    OsFileIdentity identity;
    identity.regular = S_ISREG(info.st_mode);
    identity.volume = static_cast<std::uint64_t>(info.st_dev);
    identity.index = static_cast<std::uint64_t>(info.st_ino);
    return identity;
}

int openRetrying(const char* path, int flags, mode_t mode = 0) {
    int fd;
    do {
        fd = open(path, flags, mode);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

// A parent may hand its standard output over non-blocking; that is a
// reason to wait, not a failed write.
bool waitUntilWritable(int fd) {
    struct pollfd ready = {fd, POLLOUT, 0};
    int got;
    do {
        got = poll(&ready, 1, -1);
    } while (got < 0 && errno == EINTR);
    return got > 0 && (ready.revents & (POLLERR | POLLNVAL)) == 0;
}

}  // namespace

// A descriptor among 0, 1 and 2 left closed by the caller would be the next
// one open() hands out: the log or a session file would then take the place
// of standard output, and the trace or the totals would be written into it.
// /dev/null opened read-only holds the place: reads give the end, writes fail.
bool osReserveStandardHandles() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
        int placeholder = openRetrying("/dev/null", O_RDONLY | O_NOCTTY);
        if (placeholder < 0) return false;
        if (placeholder != fd) {
            bool moved = dup2(placeholder, fd) == fd;
            close(placeholder);
            if (!moved) return false;
        }
    }
    return true;
}

OsHandle osStandardOutput() {
    return STDOUT_FILENO;
}

OsHandle osStandardError() {
    return STDERR_FILENO;
}

bool osOpenForReading(const char* path, OsHandle* handle) {
    int fd = openRetrying(path, O_RDONLY | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return false;
    struct stat info;
    if (fstat(fd, &info) != 0 || S_ISDIR(info.st_mode)) {
        close(fd);
        return false;
    }
    *handle = fd;
    return true;
}

// O_NOFOLLOW refuses a symbolic link as the last part of the name, dangling
// or not, so nothing is ever created or appended to through one. O_NONBLOCK
// keeps a FIFO without a reader from holding the run for ever (it then
// fails with ENXIO); it changes nothing for a regular file. The type is
// checked on the opened descriptor, so nothing can be swapped in between.
bool osOpenForAppending(const char* path, OsHandle* handle, OsFileIdentity* identity) {
    int fd = openRetrying(path, O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) return false;
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        close(fd);
        return false;
    }
    *handle = fd;
    *identity = identityOf(info);
    return true;
}

OsFileIdentity osIdentify(OsHandle handle) {
    struct stat info;
    if (fstat(static_cast<int>(handle), &info) != 0) return OsFileIdentity{};
    return identityOf(info);
}

long osRead(OsHandle handle, char* buffer, std::size_t size) {
    for (;;) {
        ssize_t got = read(static_cast<int>(handle), buffer, size);
        if (got >= 0) return static_cast<long>(got);
        if (errno != EINTR) return -1;
    }
}

bool osWriteAll(OsHandle handle, const char* data, std::size_t size) {
    int fd = static_cast<int>(handle);
    while (size > 0) {
        ssize_t put = write(fd, data, size);
        if (put < 0) {
            if (errno == EINTR) continue;
            if ((errno == EAGAIN || errno == EWOULDBLOCK) && waitUntilWritable(fd)) continue;
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
