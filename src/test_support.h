// Helpers shared by the unit tests: a fresh run state, and standard output
// and standard error captured into files and read back byte for byte.
#pragma once

#include <string>

#include "platform/text_stream.h"

void resetRunState();
// A file name in the current directory that no other test process uses.
std::string scratchFileName(const char* purpose);

struct Captured {
    std::string output;
    std::string error;
};

// Points standard output and standard error at scratch files.
void beginCapture();
// Flushes both and gives back everything written to them since beginCapture.
Captured endCapture();

std::string readWholeFile(const std::string& path);
void writeWholeFile(const std::string& path, const std::string& bytes);

// Reads from `bytes`, delivering at most `chunk` bytes per system read; when
// `failAfter` is set, a read after that many bytes fails.
void attachScriptedInput(TextInput& input, const std::string& bytes, std::size_t chunk, long failAfter = -1);
// How many bytes the scripted input has delivered so far.
std::size_t scriptedBytesDelivered();
