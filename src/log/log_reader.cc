// A DRE log is a text file of entries. An entry begins with an entry line:
// position 0 holds the level letter (E, W, I or D, upper case only; any other
// first character means no level), positions 2 to 5 the number of the
// replication session that wrote it. The entry goes on with continuation
// lines, the lines that begin with a space. Lines end in LF or CR LF, a
// Ctrl-Z ends the log, and a line longer than 511 characters arrives in
// pieces of 511, each piece classed by its own first character.
#include "log/log_reader.h"

#include "log/entry_writer.h"
#include "settings/run_settings.h"

namespace {

// Once writing the entries to standard output has failed, nothing more can
// come of the run: an endless input would otherwise be read for ever.
bool entryOutputFailed() {
    return standardOutput.failed && !isSet(SplitToFiles);
}

}  // namespace

void readLog(TextInput& log) {
    TextOutput* entryStream = nullptr;
    Line line;
    // A read that yields no line has met the end or failed: either ends it.
    while (!log.eof && !entryOutputFailed() && readLine(log, line)) {
        if (runSettings.traceEnabled) {
            writeString(standardOutput, "Read <");
            writeText(standardOutput, line.text, line.length);
            writeString(standardOutput, ">\n");
        }
        if (line.length > 0 && line.text[0] == ' ') {
            continueEntry(line, entryStream);
        } else {
            startEntry(line, entryStream);
        }
    }
    if (entryStream) finishEntry(entryStream);
}
