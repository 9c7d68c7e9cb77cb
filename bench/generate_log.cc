// Writes a deterministic, realistic DRE log of about the given size to
// standard output, for the benchmark:
//   generate_log MiB [entries|single-line|one-entry]
// "entries" (the default) gives about 60 sessions, all four levels, both
// column layouts, about 30% of the entries with 1 to 5 continuation lines,
// CR LF line ends and lines of about 90 bytes. "single-line" gives one line
// without any line feed; "one-entry" one entry line followed by nothing but
// continuation lines. A size of 0 MiB with a count N after the mode gives N
// entries instead: generate_log 0 entries 100000.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::uint64_t state = 0x9E3779B97F4A7C15ULL;

std::uint64_t next() {
    // splitmix64: the same log on every machine and every run.
    std::uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

unsigned below(unsigned n) {
    return static_cast<unsigned>(next() % n);
}

const char* const Messages[] = {
    "Replicated %u documents and %u deletions with server HUB%02u/Acme/EMEA/Production",
    "Replicating database mail/user%04u.nsf with server SPOKE03/Acme/EMEA/Production (%u of %u)",
    "Opened source database apps/projects.nsf, %u documents, %u unread marks, ODS %u",
    "Retrying connection to server SPOKE%02u/Acme/EMEA/Production, timeout, attempt %u of %u",
    "Unable to replicate database sales/orders%u.nsf: the database is in use (%u/%u)",
    "Scheduler woke up with %u replication sessions waiting, %u running and %u queued",
    "Document %04X skipped: conflicting edits by %u users on %u servers",
    "Replication session finished with %u errors and %u warnings after %u seconds",
};

const char* const Continuations[] = {
    "   Reason: the server did not answer within %u seconds, closed",
    "   Database: apps/inventory%u.nsf, replica id 85257%u",
    "   Kept the newer revision, the other was saved as a response document (%u)",
    "   Error code 0x%04X returned by the network transport layer on send (%u)",
    "   Attempt %u of 5, next attempt in 30 seconds",
};

char levelLetter() {
    unsigned r = below(100);
    return r < 60 ? 'I' : r < 80 ? 'D' : r < 92 ? 'W' : 'E';
}

std::size_t writeEntry(std::string& out) {
    char line[256];
    unsigned session = 1 + below(60);
    unsigned month = 1 + below(12), day = 1 + below(28);
    unsigned hour = below(24), minute = below(60), second = below(60);
    int n;
    if (below(2) == 0) {
        n = std::snprintf(line, sizeof line, "%c %04u %02u%02u-%02u:%02u:%02u ", levelLetter(), session, month, day,
                          hour, minute, second);
    } else {
        n = std::snprintf(line, sizeof line, "%c %04u %02u-%02u %02u:%02u:%02u ", levelLetter(), session, month, day,
                          hour, minute, second);
    }
    n += std::snprintf(line + n, sizeof line - n, Messages[below(8)], below(5000), below(100), below(100));
    out.append(line, static_cast<std::size_t>(n));
    out += "\r\n";
    std::size_t lines = 1;
    if (below(10) < 3) {
        unsigned count = 1 + below(5);
        for (unsigned i = 0; i < count; ++i) {
            n = std::snprintf(line, sizeof line, Continuations[below(5)], below(100000), below(100000));
            out.append(line, static_cast<std::size_t>(n));
            out += "\r\n";
            ++lines;
        }
    }
    return lines;
}

void flush(std::string& out) {
    std::fwrite(out.data(), 1, out.size(), stdout);
    out.clear();
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: generate_log MiB [entries|single-line|one-entry] [entry count]\n");
        return 1;
    }
    std::uint64_t target = std::strtoull(argv[1], nullptr, 10) << 20;
    const char* mode = argc > 2 ? argv[2] : "entries";
    std::uint64_t entryLimit = argc > 3 ? std::strtoull(argv[3], nullptr, 10) : 0;
    std::string out;
    std::uint64_t written = 0;
    if (std::strcmp(mode, "single-line") == 0) {
        out = "I 0001 1120-12:03:55 ";
        while (out.size() < (1 << 20)) out += "0123456789abcdefghijklmnopqrstuvwxyz ";
        out.resize(1 << 20);
        for (; written < target; written += out.size()) std::fwrite(out.data(), 1, out.size(), stdout);
        return 0;
    }
    if (std::strcmp(mode, "one-entry") == 0) {
        out = "I 0001 1120-12:03:55 One entry that never ends\r\n";
        while (written < target) {
            out += "   continuation line of the one entry, about ninety bytes long ......................\r\n";
            if (out.size() > (1 << 20)) {
                written += out.size();
                flush(out);
            }
        }
        flush(out);
        return 0;
    }
    std::uint64_t entries = 0;
    while (entryLimit ? entries < entryLimit : written < target) {
        writeEntry(out);
        ++entries;
        if (out.size() > (1 << 20)) {
            written += out.size();
            flush(out);
        }
    }
    flush(out);
    return 0;
}
