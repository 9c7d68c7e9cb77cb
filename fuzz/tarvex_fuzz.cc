// libFuzzer target: the first byte picks the option letters, the rest is the
// log. Each input runs in a scratch directory, session files included, and
// these must always hold:
//   - nothing is created outside the scratch directory;
//   - every line feed written anywhere follows a carriage return;
//   - in plain mode without the trace letter, each total equals the number
//     of output lines that begin with its level letter.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "app/run_report.h"
#include "log/log_reader.h"
#include "log/session_files.h"
#include "platform/text_stream.h"
#include "settings/diagnostics.h"
#include "settings/run_settings.h"

namespace {

std::string base;     // holds only the scratch directory
std::string scratch;  // the tool's current directory

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
    if (size == 0) return 0;
    // The fuzzer's own paths (corpus, artifacts) stay relative to where it
    // was started; only the tool runs inside the scratch directory.
    int home = open(".", O_RDONLY | O_DIRECTORY);
    if (home < 0 || chdir(scratch.c_str()) != 0) abort();
    removeEverythingIn(scratch);
    writeFile("in.dre", data + 1, size - 1);

    std::string options = "/";
    for (int bit = 0; bit < 8; ++bit) {
        if (data[0] & (1 << bit)) options += "csewidtf"[bit];
    }
    runSettings = RunSettings{};
    runFailed = false;
    char program[] = "tarvex";
    char path[] = "in.dre";
    char* arguments[] = {program, path, options.data(), nullptr};
    parseOptions(3, arguments);

    // Standard output and standard error go to files of the scratch
    // directory, kept out of the way of the session files.
    TextOutput savedOutput = standardOutput;
    TextOutput savedError = standardError;
    static char outputBlock[65536];
    static char errorBlock[4096];
    int out = open((base + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    int err = open((base + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
    standardOutput = TextOutput{out, outputBlock, sizeof outputBlock, 0, false};
    standardError = TextOutput{err, errorBlock, sizeof errorBlock, 0, false};

    TextInput log;
    check(openTextInput(log, path), "the log opens");
    guardSessionFilesAgainst(log.handle);
    readLog(log);
    closeTextInput(log);
    closeOutput(standardOutput);
    closeOutput(standardError);
    standardOutput = savedOutput;
    standardError = savedError;

    std::vector<std::string> outside = listDirectory(base);
    check(outside.size() == 3, "nothing but scratch, stdout and stderr beside the scratch directory");

    std::string output = readFile(base + "/stdout");
    checkLineEnds(output);
    checkLineEnds(readFile(base + "/stderr"));
    int64_t counts[256] = {};
    bool plain = !isSet(CommaDelimited) && !runSettings.traceEnabled;
    std::vector<std::string> files = listDirectory(scratch);
    for (const std::string& name : files) {
        if (name == "in.dre") continue;
        check(isSet(SplitToFiles), "session files only with /S");
        std::string bytes = readFile(name);
        checkLineEnds(bytes);
        if (plain) countLineStarts(bytes, counts);
    }
    if (plain && !isSet(SplitToFiles)) countLineStarts(output, counts);
    if (plain && !runFailed) {
        const LevelTotals& totals = runSettings.levelTotals;
        check(counts['E'] == totals.errors, "errors total");
        check(counts['W'] == totals.warnings, "warnings total");
        check(counts['I'] == totals.informationals, "informationals total");
        check(counts['D'] == totals.debugs, "debugs total");
    }
    if (fchdir(home) != 0) abort();
    close(home);
    return 0;
}
