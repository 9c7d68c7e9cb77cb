// The floor under /S: the least any tool can do with one file per session,
// one open, one write and one close per entry, with nothing else around
// them. Reads a DRE log of LF or CR LF lines on standard input and appends
// each entry (its entry line and continuation lines, joined by spaces,
// ended in CR LF) to the file named by positions 2 to 5 of its entry line
// plus ".LOG", in the current directory. The log is read whole first, so
// that only the appending is left in the loop.
//   append_loop < LOG
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

std::string readAll(int fd) {
    std::string bytes;
    char block[1 << 16];
    ssize_t got;
    while ((got = read(fd, block, sizeof block)) > 0) bytes.append(block, static_cast<std::size_t>(got));
    return bytes;
}

char entry[1 << 16];
std::size_t entryLength = 0;
char name[16];

void appendEntry() {
    entry[entryLength++] = '\r';
    entry[entryLength++] = '\n';
    int fd = open(name, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0 || write(fd, entry, entryLength) != static_cast<ssize_t>(entryLength)) std::perror(name);
    if (fd >= 0) close(fd);
    entryLength = 0;
}

void add(const char* text, std::size_t length) {
    if (entryLength + length + 3 > sizeof entry) length = sizeof entry - entryLength - 3;
    std::memcpy(entry + entryLength, text, length);
    entryLength += length;
}

}  // namespace

int main() {
    std::string log = readAll(0);
    const char* at = log.data();
    const char* end = at + log.size();
    while (at < end) {
        const char* lineFeed = static_cast<const char*>(std::memchr(at, '\n', static_cast<std::size_t>(end - at)));
        const char* next = lineFeed ? lineFeed + 1 : end;
        const char* stop = next;
        while (stop > at && (stop[-1] == '\n' || stop[-1] == '\r' || stop[-1] == ' ')) --stop;
        if (*at == ' ') {
            while (at < stop && *at == ' ') ++at;
            if (name[0]) {
                add(" ", 1);
                add(at, static_cast<std::size_t>(stop - at));
            }
        } else {
            if (name[0]) appendEntry();
            std::size_t length = stop - at > 6 ? 4 : stop - at > 2 ? static_cast<std::size_t>(stop - at - 2) : 0;
            std::memcpy(name, at + 2, length);
            std::memcpy(name + length, ".LOG", 5);
            add(at, static_cast<std::size_t>(stop - at));
        }
        at = next;
    }
    if (name[0]) appendEntry();
    return 0;
}
