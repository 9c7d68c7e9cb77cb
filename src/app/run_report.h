#pragma once

// The whole run: options, open, read, close, totals. Returns the exit status.
// The standard streams must be open (openStandardStreams).
int runReport(int argumentCount, char** arguments);

// Applies the option arguments to the run settings, lower-casing each of
// them in place.
void parseOptions(int argumentCount, char** arguments);
void printUsage();
void printTotals();
