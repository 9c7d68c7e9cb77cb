#include "settings/diagnostics.h"

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

}  // namespace

void reportLogOpenFailure(const char* path) {
    report("Unable to open Log File <", path, ">. Exiting.\n");
}

void reportLogReadFailure(const char* path) {
    report("Unable to read Log File <", path, ">.\n");
}

void reportSessionFileOpenFailure(const char* name) {
    report("Unable to open Session File <", name, ">.\n");
}

void reportSessionFileWriteFailure(const char* name) {
    report("Unable to write Session File <", name, ">.\n");
}

void reportStandardOutputFailure() {
    report("Unable to write to Standard Output.", nullptr, "\n");
}

void reportStandardOutputIsTheLog(const char* path) {
    report("Standard Output is the Log File <", path, ">. Exiting.\n");
}
