// libFuzzer target: one whole run of the tool (runReport) per input, in a
// scratch directory. The input is
//   byte 0: the option letters, one bit each for c s e w i d t f;
//   byte 1: how many bytes each read of the log delivers at most (0: as
//           many as asked), so that lines and CR LF pairs are split across
//           reads;
//   byte 2: bits 0-3, the size of every block in KiB (0: the full 128 KiB),
//           so that refills and flushes come after a few lines; bits 4-5,
//           where standard output goes: a file of its own, the log itself
//           (appended, as >> does), a file named like a session file
//           (0042.LOG), or /dev/full;
//   the rest: the log.
// After every run these must hold:
//   - nothing is created outside the scratch directory, and the log is
//     never written;
//   - the exit status is 1 exactly when something was reported;
//   - every line feed written anywhere follows a carriage return;
//   - in plain mode without the trace letter, each total equals the number
//     of output lines that begin with its level letter.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/run_report.h"
#include "platform/text_stream.h"
#include "settings/diagnostics.h"
#include "settings/run_settings.h"

namespace {

std::string base;     // holds only the scratch directory and the two outputs
std::string scratch;  // the tool's current directory

const char* const LogName = "in.dre";
const char* const SessionNamedOutput = "0042.LOG";

enum class OutputTarget { OwnFile, TheLog, SessionFile, FullDevice };

std::vector<std::string> listDirectory(const std::string& path) {
    std::vector<std::string> names;
    if (DIR* dir = opendir(path.c_str())) {
        while (dirent* entry = readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
                names.push_back(entry->d_name);
            }
        }
        closedir(dir);
    }
    return names;
}

std::string readFile(const std::string& path) {
    std::string bytes;
    int fd = open(path.c_str(), O_RDONLY);
    if (fd < 0) return bytes;
    char block[65536];
    ssize_t n;
    while ((n = read(fd, block, sizeof block)) > 0) bytes.append(block, static_cast<std::size_t>(n));
    close(fd);
    return bytes;
}

void writeFile(const std::string& path, const uint8_t* data, std::size_t size) {
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (fd < 0) abort();
    if (size > 0 && write(fd, data, size) != static_cast<ssize_t>(size)) abort();
    close(fd);
}

void removeEverythingIn(const std::string& path) {
    for (const std::string& name : listDirectory(path)) {
        if (unlink((path + "/" + name).c_str()) != 0) abort();
    }
}

void check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        abort();
    }
}

void checkLineEnds(const std::string& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n') check(i > 0 && bytes[i - 1] == '\r', "a line feed without its carriage return");
    }
}

void countLineStarts(const std::string& bytes, int64_t counts[256]) {
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find("\r\n", start);
        check(end != std::string::npos, "an entry line without its line end");
        counts[static_cast<unsigned char>(bytes[start])] += end > start;
        start = end + 2;
    }
}

void removeScratch() {
    removeEverythingIn(scratch);
    rmdir(scratch.c_str());
    removeEverythingIn(base);
    rmdir(base.c_str());
}

std::size_t readPiece = 0;

// Reads the log in pieces of at most readPiece bytes.
long readInPieces(OsHandle handle, char* buffer, std::size_t size) {
    return osRead(handle, buffer, std::min(size, readPiece));
}

int openOutput(OutputTarget target) {
    switch (target) {
        case OutputTarget::TheLog: return open(LogName, O_WRONLY | O_APPEND);
        case OutputTarget::SessionFile: return open(SessionNamedOutput, O_WRONLY | O_CREAT | O_APPEND, 0666);
        case OutputTarget::FullDevice: return open("/dev/full", O_WRONLY);
        default: return open((base + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    }
}

// The outputs of one run go to files chosen by the input; the blocks are
// the fuzz target's own, as small as the input asks.
char outputBlock[128 * 1024];
char errorBlock[4096];

void attachOutputs(int out, int err, std::size_t blockSize) {
    standardOutput = TextOutput{out, outputBlock, blockSize, 0, false};
    standardError = TextOutput{err, errorBlock, sizeof errorBlock, 0, false};
}

void checkSessionFilesAndTotals(OutputTarget target) {
    int64_t counts[256] = {};
    bool plain = !isSet(CommaDelimited) && !runSettings.traceEnabled;
    for (const std::string& name : listDirectory(scratch)) {
        if (name == LogName) continue;
        std::string bytes = readFile(name);
        checkLineEnds(bytes);
        if (target == OutputTarget::SessionFile && name == SessionNamedOutput) {
            if (!isSet(SplitToFiles) && plain) countLineStarts(bytes, counts);
            continue;
        }
        check(isSet(SplitToFiles), "session files only with /S");
        if (plain) countLineStarts(bytes, counts);
    }
    if (target == OutputTarget::OwnFile) {
        std::string output = readFile(base + "/stdout");
        checkLineEnds(output);
        if (plain && !isSet(SplitToFiles)) countLineStarts(output, counts);
    }
    if (plain && !runFailed && target != OutputTarget::FullDevice) {
        const LevelTotals& totals = runSettings.levelTotals;
        check(counts[static_cast<unsigned char>('E')] == totals.errors, "errors total");
        check(counts[static_cast<unsigned char>('W')] == totals.warnings, "warnings total");
        check(counts[static_cast<unsigned char>('I')] == totals.informationals, "informationals total");
        check(counts[static_cast<unsigned char>('D')] == totals.debugs, "debugs total");
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char templ[] = "/tmp/tarvex-fuzz-XXXXXX";
    if (!mkdtemp(templ)) abort();
    base = templ;
    scratch = base + "/scratch";
    if (mkdir(scratch.c_str(), 0777) != 0) abort();
    std::atexit(removeScratch);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    if (size < 3) return 0;
    std::string options = "/";
    for (int bit = 0; bit < 8; ++bit) {
        if (data[0] & (1 << bit)) options += "csewidtf"[bit];
    }
    readPiece = data[1];
    std::size_t blockSize = (data[2] & 0x0F) == 0 ? sizeof outputBlock : (data[2] & 0x0Fu) * 1024;
    OutputTarget target = static_cast<OutputTarget>((data[2] >> 4) & 3);
    const uint8_t* log = data + 3;
    std::size_t logSize = size - 3;

    // The fuzzer's own paths (corpus, artifacts) stay relative to where it
    // was started; only the tool runs inside the scratch directory.
    int home = open(".", O_RDONLY | O_DIRECTORY);
    if (home < 0 || chdir(scratch.c_str()) != 0) abort();
    removeEverythingIn(scratch);
    writeFile(LogName, log, logSize);

    runSettings = RunSettings{};
    runFailed = false;
    forgetReportedNames();
    limitBlockSizes(blockSize, blockSize);
    logReadFunction = readPiece == 0 ? osRead : readInPieces;
    TextOutput savedOutput = standardOutput;
    TextOutput savedError = standardError;
    int out = openOutput(target);
    int err = open((base + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    if (out < 0 || err < 0) abort();
    attachOutputs(out, err, std::min(blockSize, sizeof outputBlock));

    char program[] = "tarvex";
    char path[] = "in.dre";
    char* arguments[] = {program, path, options.data(), nullptr};
    int status = runReport(3, arguments);

    close(out);
    close(err);
    standardOutput = savedOutput;
    standardError = savedError;
    logReadFunction = osRead;

    for (const std::string& name : listDirectory(base)) {
        check(name == "scratch" || name == "stdout" || name == "stderr",
              "nothing but scratch, stdout and stderr beside the scratch directory");
    }
    check(status == (runFailed ? 1 : 0), "exit status 1 exactly when something was reported");
    if (target != OutputTarget::TheLog) {
        check(readFile(LogName) == std::string(reinterpret_cast<const char*>(log), logSize),
              "the log is never written");
    }
    checkLineEnds(readFile(base + "/stderr"));
    checkSessionFilesAndTotals(target);
    if (target == OutputTarget::TheLog) {
        check(status == 1 && readFile(LogName) == std::string(reinterpret_cast<const char*>(log), logSize),
              "output appended to the log is refused before anything is written");
    }
    if (fchdir(home) != 0) abort();
    close(home);
    return 0;
}
