#include "test_support.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

#include "settings/diagnostics.h"
#include "settings/run_settings.h"

namespace {

// CTest runs the tests in parallel processes, each in the same directory.
const std::string OutputPath = scratchFileName("stdout");
const std::string ErrorPath = scratchFileName("stderr");

struct Script {
    std::string bytes;
    std::size_t chunk = 0;
    long failAfter = -1;
    std::size_t position = 0;
} script;

long scriptedRead(OsHandle, char* buffer, std::size_t size) {
    if (script.failAfter >= 0 && script.position >= static_cast<std::size_t>(script.failAfter)) return -1;
    std::size_t left = script.bytes.size() - script.position;
    std::size_t n = std::min({size, script.chunk, left});
    if (script.failAfter >= 0) n = std::min(n, static_cast<std::size_t>(script.failAfter) - script.position);
    std::memcpy(buffer, script.bytes.data() + script.position, n);
    script.position += n;
    return static_cast<long>(n);
}

void pointAt(TextOutput& stream, const std::string& path) {
    std::remove(path.c_str());
    OsFileIdentity identity;
    openAppendOutput(stream, path.c_str(), &identity);
}

// openAppendOutput fills the one session-file block; standard output and
// standard error get blocks of their own here so that tests may capture and
// open a session file at once.
char captureOutputBlock[64 * 1024];
char captureErrorBlock[4 * 1024];

}  // namespace

std::string scratchFileName(const char* purpose) {
    return std::string("tarvex_test_") + purpose + "_" + std::to_string(getpid()) + ".tmp";
}

void resetRunState() {
    runSettings = RunSettings{};
    runFailed = false;
    forgetReportedNames();
}

void beginCapture() {
    resetRunState();
    pointAt(standardOutput, OutputPath);
    standardOutput.buffer = captureOutputBlock;
    standardOutput.capacity = sizeof captureOutputBlock;
    pointAt(standardError, ErrorPath);
    standardError.buffer = captureErrorBlock;
    standardError.capacity = sizeof captureErrorBlock;
}

Captured endCapture() {
    closeOutput(standardOutput);
    closeOutput(standardError);
    Captured captured{readWholeFile(OutputPath), readWholeFile(ErrorPath)};
    std::remove(OutputPath.c_str());
    std::remove(ErrorPath.c_str());
    openStandardStreams();
    return captured;
}

std::string readWholeFile(const std::string& path) {
    std::string bytes;
    if (FILE* file = std::fopen(path.c_str(), "rb")) {
        char block[4096];
        std::size_t n;
        while ((n = std::fread(block, 1, sizeof block, file)) > 0) bytes.append(block, n);
        std::fclose(file);
    }
    return bytes;
}

void writeWholeFile(const std::string& path, const std::string& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

void attachScriptedInput(TextInput& input, const std::string& bytes, std::size_t chunk, long failAfter) {
    script = Script{bytes, chunk, failAfter, 0};
    attachTextInput(input, -1, scriptedRead);
}

std::size_t scriptedBytesDelivered() {
    return script.position;
}
