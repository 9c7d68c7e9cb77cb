// Every message the tool shows on standard error about something that could
// not be done. Each one also marks the run as failed, which the run driver
// turns into exit status 1 when the run ends. A session file's name is shown
// once per run and kind of failure, however often it fails.
#pragma once

extern bool runFailed;

void reportLogOpenFailure(const char* path);
void reportLogReadFailure(const char* path);
void reportSessionFileOpenFailure(const char* name);
void reportSessionFileWriteFailure(const char* name);
void reportStandardOutputFailure();
void reportStandardOutputIsTheLog(const char* path);

// For tests and the fuzz target, which perform many runs in one process:
// every name may be reported again.
void forgetReportedNames();
