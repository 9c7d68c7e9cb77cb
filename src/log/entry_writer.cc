#include "log/entry_writer.h"

#include "log/comma_delimited.h"
#include "log/session_files.h"
#include "settings/run_settings.h"

namespace {

// Returns false when the entry's level is excluded; counts it otherwise.
// A line without a level letter always passes and is never counted.
bool passLevelFilter(char level) {
    LevelTotals& totals = runSettings.levelTotals;
    std::uint32_t bit;
    std::int64_t* counter;
    switch (level) {
        case 'E': bit = IncludeError, counter = &totals.errors; break;
        case 'W': bit = IncludeWarning, counter = &totals.warnings; break;
        case 'I': bit = IncludeInformational, counter = &totals.informationals; break;
        case 'D': bit = IncludeDebug, counter = &totals.debugs; break;
        default: return true;
    }
    if (!isSet(bit)) return false;
    ++*counter;
    return true;
}

}  // namespace

void trimLineEnd(Line& line) {
    std::size_t length = line.length;
    while (length > 0) {
        char c = line.text[length - 1];
        if (c != '\n' && c != '\r' && c != ' ') break;
        --length;
    }
    line.length = length;
}

TextOutput* openEntryStream(const Line& line) {
    if (isSet(SplitToFiles)) return openSessionFile(line);
    return &standardOutput;
}

void renderEntryLine(const Line& line, TextOutput& stream) {
    if (isSet(CommaDelimited)) {
        renderCommaDelimited(line, stream);
    } else {
        writeLineText(stream, line.text, line.length);
    }
}

void writeClosingText(TextOutput& stream) {
    if (isSet(CommaDelimited)) writeLineText(stream, "\"", 1);
    writeLineEnd(stream);
}

void startEntry(Line& line, TextOutput*& entryStream) {
    if (runSettings.traceEnabled) writeString(standardOutput, "(1)");
    if (entryStream) finishEntry(entryStream);
    if (line.length > 0 && !passLevelFilter(line.text[0])) return;
    entryStream = openEntryStream(line);
    if (!entryStream) return;
    trimLineEnd(line);
    renderEntryLine(line, *entryStream);
}

void continueEntry(Line& line, TextOutput* entryStream) {
    if (runSettings.traceEnabled) writeString(standardOutput, "(2)");
    if (!entryStream) return;
    trimLineEnd(line);
    std::size_t start = 0;
    while (start < line.length && line.text[start] == ' ') ++start;
    writeLineText(*entryStream, " ", 1);
    writeLineText(*entryStream, line.text + start, line.length - start);
}

void finishEntry(TextOutput*& entryStream) {
    writeClosingText(*entryStream);
    if (entryStream != &standardOutput) closeSessionFile(*entryStream);
    entryStream = nullptr;
}
