#include "log/session_files.h"

#include <cstring>
#include <initializer_list>

#include "settings/diagnostics.h"

namespace {

TextOutput sessionFile;
char sessionFileName[SessionFileNameSize];

// Session files may not be the log being read (tarvex 0042.LOG /S), which
// would read its own output again without end, nor the file standard output
// or standard error goes to (tarvex dre.log /S /T > 0042.LOG), whose writes
// would land over the entries. The name may be replaced between entries, so
// every opened file is held against these, at no cost beyond the one file
// status call that the open makes anyway.
OsFileIdentity guardedFiles[3];

bool isGuarded(const OsFileIdentity& file) {
    for (const OsFileIdentity& guarded : guardedFiles) {
        if (isSameFile(file, guarded)) return true;
    }
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

// Control characters and the characters Windows keeps for paths and
// wildcards. (A zero byte never reaches here: it ends the name.)
bool isAcceptableNameCharacter(unsigned char c) {
    return c >= 0x20 && !std::strchr("<>:\"/\\|?*", c);
}

bool isDeviceName(const char* base, std::size_t length) {
    while (length > 0 && (base[length - 1] == ' ' || base[length - 1] == '.')) --length;
    for (const char* device : {"CON", "PRN", "AUX", "NUL"}) {
        if (equalsIgnoringCase(base, length, device)) return true;
    }
    // Windows also reserves COM and LPT with a superscript digit, the bytes
    // 0xB9, 0xB2 and 0xB3 of the ANSI code page.
    char digit = length == 4 ? base[3] : '\0';
    if ((digit >= '1' && digit <= '9') || digit == '\xB9' || digit == '\xB2' || digit == '\xB3') {
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
    guardedFiles[0] = osIdentify(log);
    guardedFiles[1] = osIdentify(standardOutput.handle);
    guardedFiles[2] = osIdentify(standardError.handle);
}

TextOutput* openSessionFile(const Line& line) {
    buildSessionFileName(line, sessionFileName);
    OsFileIdentity identity;
    if (!isAcceptableSessionFileName(sessionFileName) || !openAppendOutput(sessionFile, sessionFileName, &identity)) {
        reportSessionFileOpenFailure(sessionFileName);
        return nullptr;
    }
    if (isGuarded(identity)) {
        closeOutput(sessionFile);
        reportSessionFileOpenFailure(sessionFileName);
        return nullptr;
    }
    return &sessionFile;
}

void closeSessionFile(TextOutput& stream) {
    if (!closeOutput(stream)) reportSessionFileWriteFailure(sessionFileName);
}
