#include "settings/diagnostics.h"

#include <cstring>

#include "platform/text_stream.h"

bool runFailed = false;

namespace {

void report(const char* before, const char* name, const char* after) {
    writeString(standardError, before);
    if (name) writeString(standardError, name);
    writeString(standardError, after);
    flushOutput(standardError);
    runFailed = true;
}

// A folder that refuses every file would otherwise give one line for each
// of millions of entries. Each session-file name is reported the first time
// it fails; the run is marked failed every time. The table is fixed, so
// memory stays constant: once it is full, further names are reported as
// often as they fail.
constexpr std::size_t RememberedNames = 256;
constexpr std::size_t RememberedNameSize = 16;

struct NameTable {
    char names[RememberedNames][RememberedNameSize];
    std::size_t count = 0;
};

NameTable namesNotOpened;
NameTable namesNotWritten;

bool isFirstFailure(NameTable& table, const char* name) {
    std::size_t length = std::strlen(name);
    if (length >= RememberedNameSize) return true;
    for (std::size_t i = 0; i < table.count; ++i) {
        if (std::strcmp(table.names[i], name) == 0) return false;
    }
    if (table.count < RememberedNames) std::memcpy(table.names[table.count++], name, length + 1);
    return true;
}

}  // namespace

void forgetReportedNames() {
    namesNotOpened.count = 0;
    namesNotWritten.count = 0;
}

void reportLogOpenFailure(const char* path) {
    report("Unable to open Log File <", path, ">. Exiting.\n");
}

void reportLogReadFailure(const char* path) {
    report("Unable to read Log File <", path, ">.\n");
}

void reportSessionFileOpenFailure(const char* name) {
    runFailed = true;
    if (isFirstFailure(namesNotOpened, name)) report("Unable to open Session File <", name, ">.\n");
}

void reportSessionFileWriteFailure(const char* name) {
    runFailed = true;
    if (isFirstFailure(namesNotWritten, name)) report("Unable to write Session File <", name, ">.\n");
}

void reportStandardOutputFailure() {
    report("Unable to write to Standard Output.", nullptr, "\n");
}

void reportStandardOutputIsTheLog(const char* path) {
    report("Standard Output is the Log File <", path, ">. Exiting.\n");
}
