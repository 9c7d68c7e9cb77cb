// Runs the built tool on the cases of cases.txt, each in a fresh scratch
// directory, and compares exit status, standard output, standard error and
// every file left in the directory byte for byte.
//
// TARVEX_BIN names another binary to run (the Windows build, say), and
// TARVEX_LAUNCHER a command to run it with (such as Wine), split at spaces.
#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

// A file's bytes, or a directory when `isDirectory` is set.
struct Entry {
    std::string bytes;
    bool isDirectory = false;
    bool operator==(const Entry& other) const {
        return bytes == other.bytes && isDirectory == other.isDirectory;
    }
};
using Tree = std::map<std::string, Entry>;

struct Case {
    std::string name;
    std::vector<std::string> arguments;
    Tree before;
    int status = 0;
    std::string output;
    std::string error;
    Tree after;  // files created or changed; the rest must be as before
    int lineNumber = 0;
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.name;
}

// ---- The table format -------------------------------------------------------

bool parseHex(char c, int* value) {
    if (c >= '0' && c <= '9') return *value = c - '0', true;
    if (c >= 'a' && c <= 'f') return *value = c - 'a' + 10, true;
    if (c >= 'A' && c <= 'F') return *value = c - 'A' + 10, true;
    return false;
}

// Escapes: \n \r \t \s (space) \0 \xHH \\ \| \; \= \/ and \[N*text], which
// stands for N copies of text.
std::string unescape(const std::string& field) {
    std::string out;
    for (std::size_t i = 0; i < field.size(); ++i) {
        char c = field[i];
        if (c != '\\' || i + 1 == field.size()) {
            out += c;
            continue;
        }
        char e = field[++i];
        int high, low;
        switch (e) {
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 's': out += ' '; break;
            case '0': out += '\0'; break;
            case 'x':
                if (i + 2 < field.size() && parseHex(field[i + 1], &high) && parseHex(field[i + 2], &low)) {
                    out += static_cast<char>(high * 16 + low);
                    i += 2;
                }
                break;
            case '[': {
                std::size_t star = field.find('*', i);
                std::size_t close = field.find(']', star);
                int count = std::atoi(field.substr(i + 1, star - i - 1).c_str());
                std::string text = field.substr(star + 1, close - star - 1);
                for (int k = 0; k < count; ++k) out += text;
                i = close;
                break;
            }
            default: out += e; break;
        }
    }
    return out;
}

// Splits at `separator` where it is not escaped; the pieces stay escaped.
std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> pieces(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            pieces.back() += text.substr(i, 2);
            ++i;
        } else if (text[i] == separator) {
            pieces.emplace_back();
        } else {
            pieces.back() += text[i];
        }
    }
    return pieces;
}

std::string trim(const std::string& text) {
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// name=content;name=content;dir/
Tree parseTree(const std::string& field) {
    Tree tree;
    if (field.empty()) return tree;
    for (const std::string& item : split(field, ';')) {
        std::vector<std::string> parts = split(item, '=');
        std::string name = unescape(trim(parts[0]));
        if (parts.size() == 1 && !name.empty() && name.back() == '/') {
            name.pop_back();
            tree[name] = Entry{"", true};
            continue;
        }
        std::string content = item.substr(item.find('=') + 1);
        tree[name] = Entry{unescape(content), false};
    }
    return tree;
}

std::vector<Case> loadCases() {
    std::vector<Case> cases;
    std::ifstream table(TARVEX_SOURCE_DIR "/tests/e2e/cases.txt", std::ios::binary);
    std::string row;
    int lineNumber = 0;
    while (std::getline(table, row)) {
        ++lineNumber;
        if (trim(row).empty() || trim(row)[0] == '#') continue;
        std::vector<std::string> fields = split(row, '|');
        Case c;
        c.lineNumber = lineNumber;
        if (fields.size() != 7) {
            c.name = "malformed_row_" + std::to_string(lineNumber);
            c.status = -1000;
            cases.push_back(c);
            continue;
        }
        for (std::string& field : fields) field = trim(field);
        c.name = fields[0];
        if (!fields[1].empty()) {
            for (const std::string& word : split(fields[1], ' ')) {
                if (!word.empty()) c.arguments.push_back(unescape(word));
            }
        }
        c.before = parseTree(fields[2]);
        c.status = std::atoi(fields[3].c_str());
        c.output = unescape(fields[4]);
        c.error = unescape(fields[5]);
        c.after = parseTree(fields[6]);
        cases.push_back(c);
    }
    return cases;
}

// ---- Running the tool -------------------------------------------------------

std::string toolPath() {
    const char* path = std::getenv("TARVEX_BIN");
    return path && *path ? path : TARVEX_TOOL_PATH;
}

std::vector<std::string> launcher() {
    std::vector<std::string> words;
    if (const char* text = std::getenv("TARVEX_LAUNCHER")) {
        std::istringstream stream(text);
        for (std::string word; stream >> word;) words.push_back(word);
    }
    return words;
}

int removeEntry(const char* path, const struct stat*, int, struct FTW*) {
    return remove(path);
}

void makeTree(const std::string& root, const Tree& tree) {
    for (const auto& [name, entry] : tree) {
        std::string path = root + "/" + name;
        if (entry.isDirectory) {
            mkdir(path.c_str(), 0777);
        } else {
            writeWholeFile(path, entry.bytes);
        }
    }
}

Tree readTree(const std::string& root) {
    Tree tree;
    static Tree* current;
    static std::string prefix;
    current = &tree;
    prefix = root + "/";
    nftw(
        root.c_str(),
        [](const char* path, const struct stat* info, int type, struct FTW*) {
            std::string name = path;
            if (name.size() <= prefix.size()) return 0;
            name = name.substr(prefix.size());
            if (type == FTW_D) {
                (*current)[name] = Entry{"", true};
            } else if (S_ISREG(info->st_mode)) {
                (*current)[name] = Entry{readWholeFile(path), false};
            }
            return 0;
        },
        16, FTW_PHYS);
    return tree;
}

struct Result {
    int status = -1;
    std::string output;
    std::string error;
    Tree files;
};

// Standard output and standard error go to files, not pipes: under Wine,
// helper processes inherit the handles and would hold a pipe open. An
// `outputPath` that is relative names a file of the scratch directory that
// standard output is appended to, as `>>` does.
Result runTool(const std::vector<std::string>& arguments, const Tree& before,
               const std::string& outputPath = "", void (*prepare)(const std::string& work) = nullptr) {
    char scratchTemplate[] = "/tmp/tarvex-e2e-XXXXXX";
    std::string scratch = mkdtemp(scratchTemplate);
    std::string work = scratch + "/work";
    mkdir(work.c_str(), 0777);
    makeTree(work, before);
    if (prepare) prepare(work);
    bool appendToWorkFile = !outputPath.empty() && outputPath[0] != '/';
    std::string out = outputPath.empty() ? scratch + "/stdout" : appendToWorkFile ? work + "/" + outputPath : outputPath;
    std::string err = scratch + "/stderr";

    std::vector<std::string> command = launcher();
    command.push_back(toolPath());
    command.insert(command.end(), arguments.begin(), arguments.end());
    std::vector<char*> argv;
    for (std::string& word : command) argv.push_back(word.data());
    argv.push_back(nullptr);

    Result result;
    pid_t child = fork();
    if (child == 0) {
        int in = open("/dev/null", O_RDONLY);
        int o = open(out.c_str(), O_WRONLY | O_CREAT | (appendToWorkFile ? O_APPEND : O_TRUNC), 0666);
        int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
        if (in < 0 || o < 0 || e < 0 || chdir(work.c_str()) != 0) _exit(127);
        dup2(in, 0);
        dup2(o, 1);
        dup2(e, 2);
        alarm(60);  // a run that hangs fails its case instead of the suite
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (outputPath.empty()) result.output = readWholeFile(out);
    result.error = readWholeFile(err);
    result.files = readTree(work);
    // Anything beside the work directory was written outside it.
    for (const auto& [name, entry] : readTree(scratch)) {
        if (name == "stdout" || name == "stderr" || name.rfind("work", 0) == 0) continue;
        result.files["../" + name] = entry;
    }
    nftw(scratch.c_str(), removeEntry, 16, FTW_DEPTH | FTW_PHYS);
    return result;
}

// Shows bytes with the table's escapes, so that a difference is readable.
std::string shown(const std::string& bytes) {
    std::string out;
    for (unsigned char c : bytes) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\\') {
            out += "\\\\";
        } else if (c < 0x20 || c >= 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

std::string shown(const Tree& tree) {
    std::string out;
    for (const auto& [name, entry] : tree) {
        out += "  " + shown(name) + (entry.isDirectory ? "/" : "=" + shown(entry.bytes)) + "\n";
    }
    return out;
}

// ---- The table --------------------------------------------------------------

class EndToEnd : public testing::TestWithParam<Case> {};

TEST_P(EndToEnd, Case) {
    const Case& c = GetParam();
    ASSERT_NE(c.status, -1000) << "cases.txt:" << c.lineNumber << ": a row needs seven fields";
    Result result = runTool(c.arguments, c.before);
    Tree expected = c.before;
    for (const auto& [name, entry] : c.after) expected[name] = entry;
    std::string where = "cases.txt:" + std::to_string(c.lineNumber) + " " + c.name;
    EXPECT_EQ(result.status, c.status) << where;
    EXPECT_EQ(shown(result.output), shown(c.output)) << where << ": standard output";
    EXPECT_EQ(shown(result.error), shown(c.error)) << where << ": standard error";
    EXPECT_EQ(shown(result.files), shown(expected)) << where << ": files";
}

INSTANTIATE_TEST_SUITE_P(Table, EndToEnd, testing::ValuesIn(loadCases()),
                         [](const testing::TestParamInfo<Case>& info) { return info.param.name; });


// ---- Faults the table cannot set up ----------------------------------------

bool underLauncher() {
    return !launcher().empty();
}

TEST(Faults, StandardOutputThatCannotBeWrittenIsReported) {
    Tree before{{"dre.log", {"I 0001 a\n", false}}};
    Result result = runTool({"dre.log", "/T"}, before, "/dev/full");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.error, "Unable to write to Standard Output.\r\n");
}

TEST(Faults, SessionFileThatCannotBeWrittenIsReportedAndTheRunGoesOn) {
    Tree before{{"dre.log", {"I 0001 a\n b\nI 0002 c\nI 0001 d\n", false}}};
    Result result = runTool({"dre.log", "/S"}, before, "", [](const std::string& work) {
        ASSERT_EQ(symlink("/dev/full", (work + "/0001.LOG").c_str()), 0);
    });
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(result.error, "Unable to write Session File <0001.LOG>.\r\nUnable to write Session File <0001.LOG>.\r\n");
    EXPECT_EQ(result.files["0002.LOG"].bytes, "I 0002 c\r\n");
}

TEST(Faults, LogThatFailsWhileReadIsReportedAndTotalsStillPrinted) {
    if (underLauncher()) GTEST_SKIP() << "reads /proc/self/mem of a Linux process";
    // Reading a process's memory at offset 0 fails with EIO. The path holds
    // the letters c, s, e and f, so the run also writes rows, splits,
    // excludes errors and traces; t is added for the totals.
    Result result = runTool({"/proc/self/mem", "/t"}, {});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output,
              "Number of Errors: 0\r\nNumber of Warnings: 0\r\nNumber of Informationals: 0\r\nNumber of Debugs: 0\r\n");
    EXPECT_EQ(result.error, "ReportType is 00BB\r\nUnable to read Log File </proc/self/mem>.\r\n");
}

// tarvex dre.log >> dre.log would read its own output again, without end.
TEST(Faults, StandardOutputAppendedToTheLogIsRefused) {
    // Windows tells which file a handle is open on, but Wine cannot for a
    // standard handle inherited from a Linux process.
    if (underLauncher()) GTEST_SKIP() << "Wine cannot identify an inherited standard handle";
    Tree before{{"dre.log", {"I 0001 a\n", false}}};
    Result result = runTool({"dre.log", "/T"}, before, "dre.log");
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.error, "Standard Output is the Log File <dre.log>. Exiting.\r\n");
    EXPECT_EQ(result.files["dre.log"].bytes, "I 0001 a\n");
}

pid_t writerProcess = -1;

TEST(Faults, LogGivenAsAFifoIsReadToItsEnd) {
    if (underLauncher()) GTEST_SKIP() << "a POSIX FIFO";
    Result result = runTool({"dre.fifo", "/T"}, {}, "", [](const std::string& work) {
        std::string path = work + "/dre.fifo";
        ASSERT_EQ(mkfifo(path.c_str(), 0666), 0);
        writerProcess = fork();
        if (writerProcess == 0) {
            // Pieces with pauses between them, so that lines and CR LF pairs
            // arrive split over several reads.
            int fd = open(path.c_str(), O_WRONLY);
            for (const char* piece : {"E 0001 a\r", "\n  b\r\nW 00", "02 c\r\n", "\x1a ignored\r\n"}) {
                if (write(fd, piece, std::strlen(piece)) < 0) _exit(1);
                usleep(20000);
            }
            _exit(0);
        }
    });
    waitpid(writerProcess, nullptr, 0);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output,
              "E 0001 a b\r\nW 0002 c\r\nNumber of Errors: 1\r\nNumber of Warnings: 1\r\n"
              "Number of Informationals: 0\r\nNumber of Debugs: 0\r\n");
    EXPECT_EQ(result.error, "");
}

// While a replication server appends to its log, the tool writes every
// entry up to the point it has read: whole lines, in order, the last one
// possibly cut where the writer was when the read met the end.
TEST(Faults, LogAppendedToWhileReadGivesAPrefix) {
    Tree before{{"dre.log", {"I 0001 first\r\n", false}}};
    Result result = runTool({"dre.log"}, before, "", [](const std::string& work) {
        std::string path = work + "/dre.log";
        writerProcess = fork();
        if (writerProcess == 0) {
            int fd = open(path.c_str(), O_WRONLY | O_APPEND);
            for (int i = 0; i < 20000; ++i) {
                std::string line = "I 0001 line " + std::to_string(i) + "\r\n";
                if (write(fd, line.data(), line.size()) < 0) _exit(1);
            }
            _exit(0);
        }
    });
    waitpid(writerProcess, nullptr, 0);
    EXPECT_EQ(result.status, 0);
    std::string expected = "I 0001 first\r\n";
    for (int i = 0; i < 20000; ++i) expected += "I 0001 line " + std::to_string(i) + "\r\n";
    ASSERT_GE(result.output.size(), 14u);
    ASSERT_EQ(result.output.substr(result.output.size() - 2), "\r\n");
    std::string lastLine = result.output.substr(0, result.output.size() - 2);
    lastLine = lastLine.substr(lastLine.rfind('\n') + 1);
    std::string whole = result.output.substr(0, result.output.size() - 2 - lastLine.size());
    EXPECT_EQ(expected.compare(0, whole.size(), whole), 0) << "the lines before the last";
    EXPECT_EQ(expected.compare(whole.size(), lastLine.size(), lastLine), 0) << "the last line: " << lastLine;
}

}  // namespace
