#include "log/session_files.h"

#include <cstring>
#include <initializer_list>

#include "settings/diagnostics.h"

namespace {

TextOutput sessionFile;
char sessionFileName[SessionFileNameSize];

// A session file that is the log itself (tarvex 0042.LOG /S, say) would be
// read again as it grows, without end. Each name is held against the log
// the first time an entry opens it, not for every entry: the check costs
// two more system calls.
constexpr std::size_t MaxCheckedNames = 256;
bool guardingLog = false;
OsHandle logFile;
char checkedNames[MaxCheckedNames][SessionFileNameSize];
std::size_t checkedCount = 0;

bool isTheLog(const char* name, OsHandle handle) {
    if (!guardingLog) return false;
    for (std::size_t i = 0; i < checkedCount; ++i) {
        if (std::strcmp(checkedNames[i], name) == 0) return false;
    }
    if (osIsSameFile(handle, logFile)) return true;
    if (checkedCount < MaxCheckedNames) std::memcpy(checkedNames[checkedCount++], name, SessionFileNameSize);
    return false;
}

char upper(char c) {
    return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equalsIgnoringCase(const char* text, std::size_t length, const char* upperCaseWord) {
    if (std::strlen(upperCaseWord) != length) return false;
    for (std::size_t i = 0; i < length; ++i) {
        if (upper(text[i]) != upperCaseWord[i]) return false;
    }
    return true;
}

bool isAcceptableNameCharacter(unsigned char c) {
    if (c < 0x20) return false;
    switch (c) {
        case '<': case '>': case ':': case '"': case '/': case '\\': case '|': case '?': case '*': return false;
        default: return true;
    }
}

bool isDeviceName(const char* base, std::size_t length) {
    while (length > 0 && (base[length - 1] == ' ' || base[length - 1] == '.')) --length;
    for (const char* device : {"CON", "PRN", "AUX", "NUL"}) {
        if (equalsIgnoringCase(base, length, device)) return true;
    }
    if (length == 4 && base[3] >= '1' && base[3] <= '9') {
        return equalsIgnoringCase(base, 3, "COM") || equalsIgnoringCase(base, 3, "LPT");
    }
    return false;
}

}  // namespace

void buildSessionFileName(const Line& line, char (&name)[SessionFileNameSize]) {
    std::size_t count = 0;
    for (std::size_t position = 2; position <= 5 && position < line.length; ++position) {
        name[count++] = line.text[position];
    }
    std::memcpy(name + count, ".LOG", sizeof ".LOG");
}

bool isAcceptableSessionFileName(const char* name) {
    std::size_t length = std::strlen(name);
    for (std::size_t i = 0; i < length; ++i) {
        if (!isAcceptableNameCharacter(static_cast<unsigned char>(name[i]))) return false;
    }
    return !isDeviceName(name, length - (sizeof ".LOG" - 1));
}

void guardSessionFilesAgainst(OsHandle log) {
    guardingLog = true;
    logFile = log;
    checkedCount = 0;
}

TextOutput* openSessionFile(const Line& line) {
    buildSessionFileName(line, sessionFileName);
    if (!isAcceptableSessionFileName(sessionFileName) || !openAppendOutput(sessionFile, sessionFileName)) {
        reportSessionFileOpenFailure(sessionFileName);
        return nullptr;
    }
    if (isTheLog(sessionFileName, sessionFile.handle)) {
        closeOutput(sessionFile);
        reportSessionFileOpenFailure(sessionFileName);
        return nullptr;
    }
    return &sessionFile;
}

void closeSessionFile(TextOutput& stream) {
    if (!closeOutput(stream)) reportSessionFileWriteFailure(sessionFileName);
}
