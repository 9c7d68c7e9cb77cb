#include "app/run_report.h"

#include <cstring>

#include "log/log_reader.h"
#include "log/session_files.h"
#include "platform/text_stream.h"
#include "settings/diagnostics.h"
#include "settings/run_settings.h"

namespace {

bool isOptionArgument(const char* argument) {
    return argument[0] == '/' || argument[0] == '-';
}

// Only A to Z change: the tool never sets a locale, and bytes from 0x80 up
// stay as they are.
void lowerCaseInPlace(char* text) {
    for (; *text; ++text) {
        if (*text >= 'A' && *text <= 'Z') *text = static_cast<char>(*text - 'A' + 'a');
    }
}

void applyOptionLetters(const char* argument) {
    std::uint32_t& word = runSettings.ReportType;
    if (std::strchr(argument, 'f')) runSettings.traceEnabled = true;
    if (std::strchr(argument, 's')) word |= SplitToFiles;
    if (std::strchr(argument, 'c')) word |= CommaDelimited;
    if (std::strchr(argument, 't')) word |= PrintTotals;
    if (std::strchr(argument, 'e')) word &= ~IncludeError;
    if (std::strchr(argument, 'w')) word &= ~IncludeWarning;
    if (std::strchr(argument, 'i')) word &= ~IncludeInformational;
    if (std::strchr(argument, 'd')) word &= ~IncludeDebug;
}

void writeTotal(const char* label, std::int64_t count) {
    writeString(standardOutput, label);
    writeDecimal(standardOutput, count);
    writeChar(standardOutput, '\n');
}

// Standard output and standard error are flushed, never closed.
void finishStandardStreams() {
    if (!flushOutput(standardOutput)) reportStandardOutputFailure();
    flushOutput(standardError);
}

}  // namespace

void parseOptions(int argumentCount, char** arguments) {
    for (int i = argumentCount - 1; i >= 1; --i) {
        if (!isOptionArgument(arguments[i])) continue;
        lowerCaseInPlace(arguments[i]);
        applyOptionLetters(arguments[i]);
    }
}

void printUsage() {
    writeString(standardError,
                "\nUsage:  TARVEX DRElogfile [/options]\n"
                "Splits the given DRElogfile into multiple logfiles by replication session.\n"
                "    /C Output Comma-Delimited.\n"
                "    /S Split Log to Separate Files [Default is output to Stdout.\n"
                "    /E Exclude ERROR Log Entries in Output.\n"
                "    /W Exclude WARNING Log Entries in Output.\n"
                "    /I Exclude INFORMATIONAL Log Entries in Output.\n"
                "    /D Exclude DEBUG Log Entries in Output.\n"
                "    /T Print Totals When Finished.\n");
}

void printTotals() {
    const LevelTotals& totals = runSettings.levelTotals;
    writeTotal("Number of Errors: ", totals.errors);
    writeTotal("Number of Warnings: ", totals.warnings);
    writeTotal("Number of Informationals: ", totals.informationals);
    writeTotal("Number of Debugs: ", totals.debugs);
}

int runReport(int argumentCount, char** arguments) {
    if (argumentCount < 2) {
        printUsage();
        finishStandardStreams();
        return 1;
    }
    parseOptions(argumentCount, arguments);
    const char* logPath = arguments[1];
    TextInput log;
    if (!openTextInput(log, logPath)) {
        reportLogOpenFailure(logPath);
        finishStandardStreams();
        return 1;
    }
    // Output appended to the log would be read again, without end. Only a
    // regular file can be both: /dev/null, a terminal or a pipe never is.
    if (isSameFile(osIdentify(standardOutput.handle), osIdentify(log.handle))) {
        reportStandardOutputIsTheLog(logPath);
        closeTextInput(log);
        finishStandardStreams();
        return 1;
    }
    guardSessionFilesAgainst(log.handle);
    if (runSettings.traceEnabled) {
        writeString(standardError, "ReportType is ");
        writeHex(standardError, runSettings.ReportType, 4);
        writeChar(standardError, '\n');
    }
    readLog(log);
    if (log.failed) reportLogReadFailure(logPath);
    closeTextInput(log);
    if (isSet(PrintTotals)) printTotals();
    finishStandardStreams();
    return runFailed ? 1 : 0;
}
