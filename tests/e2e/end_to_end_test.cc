// Runs the built tool on the cases of cases.txt, each in a fresh scratch
// directory, and compares exit status, standard output, standard error and
// every file left in the directory byte for byte.
//
// TARVEX_BIN names another binary to run (the Windows build, say), and
// TARVEX_LAUNCHER a command to run it with (such as Wine), split at spaces.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace {

namespace fs = std::filesystem;

// What a name of a directory tree holds: a file's bytes, a directory, a
// symbolic link's target, or something else (a FIFO, say).
struct Entry {
    enum Kind { File, Directory, Link, Other };
    std::string bytes;  // a file's bytes or a link's target
    Kind kind = File;
    bool operator==(const Entry& other) const {
        return bytes == other.bytes && kind == other.kind;
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

std::string trim(const std::string& text) {
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string::npos) return "";
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// The four totals lines the tool prints with /T.
std::string totals(const std::string& numbers) {
    std::vector<std::string> count;
    std::istringstream stream(numbers);
    for (std::string number; std::getline(stream, number, ',');) count.push_back(trim(number));
    count.resize(4);
    return "Number of Errors: " + count[0] + "\r\nNumber of Warnings: " + count[1] +
           "\r\nNumber of Informationals: " + count[2] + "\r\nNumber of Debugs: " + count[3] + "\r\n";
}

// The escapes listed at the top of cases.txt.
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
            case 'T': {
                std::size_t close = field.find(')', i);
                out += totals(field.substr(i + 2, close - i - 2));
                i = close;
                break;
            }
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

// name=content;name=content;dir/;link->target
Tree parseTree(const std::string& field) {
    Tree tree;
    if (field.empty()) return tree;
    for (const std::string& item : split(field, ';')) {
        std::vector<std::string> parts = split(item, '=');
        std::string name = unescape(trim(parts[0]));
        std::size_t arrow = name.find("->");
        if (parts.size() == 1 && arrow != std::string::npos) {
            tree[name.substr(0, arrow)] = Entry{name.substr(arrow + 2), Entry::Link};
        } else if (parts.size() == 1 && !name.empty() && name.back() == '/') {
            name.pop_back();
            tree[name] = Entry{"", Entry::Directory};
        } else {
            tree[name] = Entry{unescape(item.substr(item.find('=') + 1)), Entry::File};
        }
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

// Names may begin with "../": such a file is made beside the work
// directory, where the tool must never write.
void makeTree(const fs::path& root, const Tree& tree) {
    for (const auto& [name, entry] : tree) {
        fs::path path = root / name;
        switch (entry.kind) {
            case Entry::Directory: fs::create_directory(path); break;
            case Entry::Link: fs::create_symlink(entry.bytes, path); break;
            default: writeWholeFile(path.string(), entry.bytes); break;
        }
    }
}

// Links are listed, never followed.
Tree readTree(const fs::path& root) {
    Tree tree;
    for (const fs::directory_entry& item : fs::recursive_directory_iterator(root)) {
        std::string name = item.path().lexically_relative(root).string();
        if (item.is_symlink()) {
            tree[name] = Entry{fs::read_symlink(item.path()).string(), Entry::Link};
        } else if (item.is_directory()) {
            tree[name] = Entry{"", Entry::Directory};
        } else if (item.is_regular_file()) {
            tree[name] = Entry{readWholeFile(item.path().string()), Entry::File};
        } else {
            tree[name] = Entry{"", Entry::Other};
        }
    }
    return tree;
}

struct Result {
    int status = -1;
    std::string output;
    std::string error;
    Tree files;
};

struct RunOptions {
    // Where standard output and standard error go: empty for files of their
    // own beside the work directory, a name of the work directory to append
    // to (as >> does), or an absolute path such as /dev/full.
    std::string output;
    std::string error;
    int outputDescriptor = -1;  // handed over as standard output instead
    std::vector<int> closed;    // standard descriptors the tool starts without
    // Runs the tool through the command interpreter (cmd under Wine), with
    // this redirection after its arguments, as a batch file would.
    std::string redirect;
    long fileSizeLimit = -1;  // bytes any file written may grow to
    void (*prepare)(const std::string& work) = nullptr;
};

bool underLauncher() {
    return !launcher().empty();
}

std::string windowsPath(std::string path) {
    for (char& c : path) c = c == '/' ? '\\' : c;
    return "Z:" + path;
}

std::vector<std::string> commandLine(const std::vector<std::string>& arguments, const std::string& redirect) {
    std::vector<std::string> command = launcher();
    if (redirect.empty()) {
        command.push_back(toolPath());
        command.insert(command.end(), arguments.begin(), arguments.end());
        return command;
    }
    std::string line = underLauncher() ? windowsPath(toolPath()) : "'" + toolPath() + "'";
    for (const std::string& argument : arguments) line += " " + argument;
    line += " " + redirect;
    if (underLauncher()) {
        command.insert(command.end(), {"cmd", "/c", line});
    } else {
        command.insert(command.end(), {"/bin/sh", "-c", line});
    }
    return command;
}

// In the child: standard input from /dev/null, the outputs as the options
// say, then into the work directory.
void setUpChild(const std::string& work, const std::string& out, const std::string& err, bool outToWork, bool errToWork,
                const RunOptions& options) {
    int in = open("/dev/null", O_RDONLY);
    int o = options.outputDescriptor >= 0
                ? options.outputDescriptor
                : open(out.c_str(), O_WRONLY | O_CREAT | (outToWork ? O_APPEND : O_TRUNC), 0666);
    int e = open(err.c_str(), O_WRONLY | O_CREAT | (errToWork ? O_APPEND : O_TRUNC), 0666);
    if (in < 0 || o < 0 || e < 0 || chdir(work.c_str()) != 0) _exit(127);
    dup2(in, 0);
    dup2(o, 1);
    dup2(e, 2);
    for (int fd : options.closed) close(fd);
    if (options.fileSizeLimit >= 0) {
        // A write past the limit then fails with EFBIG instead of a signal.
        signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {static_cast<rlim_t>(options.fileSizeLimit), static_cast<rlim_t>(options.fileSizeLimit)};
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    alarm(60);  // a run that hangs fails its case instead of the suite
}

// Standard output and standard error go to files, not pipes: under Wine,
// helper processes inherit the handles and would hold a pipe open.
Result runTool(const std::vector<std::string>& arguments, const Tree& before, const RunOptions& options = {}) {
    char scratchTemplate[] = "/tmp/tarvex-e2e-XXXXXX";
    fs::path scratch = mkdtemp(scratchTemplate);
    fs::path work = scratch / "work";
    fs::create_directory(work);
    makeTree(work, before);
    if (options.prepare) options.prepare(work.string());
    auto place = [&](const std::string& wanted, const char* own, bool* toWork) {
        *toWork = !wanted.empty() && wanted[0] != '/';
        return wanted.empty() ? (scratch / own).string() : *toWork ? (work / wanted).string() : wanted;
    };
    bool outToWork, errToWork;
    std::string out = place(options.output, "stdout", &outToWork);
    std::string err = place(options.error, "stderr", &errToWork);

    std::vector<std::string> command = commandLine(arguments, options.redirect);
    std::vector<char*> argv;
    for (std::string& word : command) argv.push_back(word.data());
    argv.push_back(nullptr);

    Result result;
    pid_t child = fork();
    if (child == 0) {
        setUpChild(work.string(), out, err, outToWork, errToWork, options);
        execvp(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(child, &status, 0);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    if (options.output.empty() && options.outputDescriptor < 0) result.output = readWholeFile(out);
    if (options.error.empty()) result.error = readWholeFile(err);
    result.files = readTree(work);
    // Anything beside the work directory was written outside it.
    for (const auto& [name, entry] : readTree(scratch)) {
        if (name == "stdout" || name == "stderr" || name.rfind("work", 0) == 0) continue;
        result.files["../" + name] = entry;
    }
    fs::remove_all(scratch);
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
        const char* kind[] = {"=", "/", "->", " (neither file, directory nor link)"};
        out += "  " + shown(name) + kind[entry.kind] + shown(entry.bytes) + "\n";
    }
    return out;
}

// ---- The table --------------------------------------------------------------

class EndToEnd : public testing::TestWithParam<Case> {};

TEST_P(EndToEnd, Case) {
    const Case& c = GetParam();
    ASSERT_NE(c.status, -1000) << "cases.txt:" << c.lineNumber << ": a row needs seven fields";
    const std::string posixOnly = "_posix";
    if (underLauncher() && c.name.size() > posixOnly.size() &&
        c.name.compare(c.name.size() - posixOnly.size(), posixOnly.size(), posixOnly) == 0) {
        GTEST_SKIP() << "a case the launcher cannot show";
    }
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
                         [](const testing::TestParamInfo<Case>& param) { return param.param.name; });

// ---- Faults the table cannot set up ----------------------------------------

RunOptions withOutput(const std::string& output) {
    RunOptions options;
    options.output = output;
    return options;
}

TEST(Faults, StandardOutputThatCannotBeWrittenIsReported) {
    Tree before{{"dre.log", {"I 0001 a\n", Entry::File}}};
    Result result = runTool({"dre.log", "/T"}, before, withOutput("/dev/full"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.error, "Unable to write to Standard Output.\r\n");
}

// Entries that cannot be written anywhere end the read: an endless log
// would otherwise be read for ever.
TEST(Faults, FailedStandardOutputStopsAnEndlessRead) {
    Result result = runTool({"../../../dev/zero", "/T"}, {}, withOutput("/dev/full"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.error, "Unable to write to Standard Output.\r\n");
}

// With /S the entries do not go to standard output, so the run goes on.
TEST(Faults, FailedStandardOutputDoesNotStopSessionFiles) {
    Tree before{{"dre.log", {"I 0001 a\nI 0002 b\n", Entry::File}}};
    Result result = runTool({"dre.log", "/S", "/T"}, before, withOutput("/dev/full"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.error, "Unable to write to Standard Output.\r\n");
    EXPECT_EQ(result.files["0001.LOG"].bytes, "I 0001 a\r\n");
    EXPECT_EQ(result.files["0002.LOG"].bytes, "I 0002 b\r\n");
}

// A device is never the log, whatever it is read as: both are /dev/null.
TEST(Faults, DeviceAsLogAndStandardOutputIsNoLoop) {
    Result result = runTool({"../../../dev/null", "/T"}, {}, withOutput("/dev/null"));
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.error, "");
}

// A write that fails: the file is over the size limit the tool runs with.
TEST(Faults, SessionFileThatCannotBeWrittenIsReportedOnceAndTheRunGoesOn) {
    Tree before{{"dre.log", {"I 0001 a\n b\nI 0002 c\nI 0001 d\n", Entry::File}},
                {"0001.LOG", {std::string(100, 'x'), Entry::File}}};
    RunOptions options;
    options.fileSizeLimit = 50;
    Result result = runTool({"dre.log", "/S"}, before, options);
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(result.error, "Unable to write Session File <0001.LOG>.\r\n");
    EXPECT_EQ(result.files["0001.LOG"].bytes, std::string(100, 'x'));
    EXPECT_EQ(result.files["0002.LOG"].bytes, "I 0002 c\r\n");
}

TEST(Faults, LogThatFailsWhileReadIsReportedAndTotalsStillPrinted) {
    if (underLauncher()) GTEST_SKIP() << "reads /proc/self/mem of a Linux process";
    // Reading a process's memory at offset 0 fails with EIO. The path holds
    // the letters c, s, e and f, so the run also writes rows, splits,
    // excludes errors and traces; t is added for the totals.
    Result result = runTool({"/proc/self/mem", "/t"}, {});
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.output, totals("0,0,0,0"));
    EXPECT_EQ(result.error, "ReportType is 00BB\r\nUnable to read Log File </proc/self/mem>.\r\n");
}

// Redirections made by the command interpreter, as a batch file makes them
// (cmd under Wine, which can identify the handles it opened itself).
RunOptions redirected(const std::string& redirect) {
    RunOptions options;
    options.redirect = redirect;
    return options;
}

// tarvex dre.log >> dre.log would read its own output again, without end.
TEST(Faults, StandardOutputAppendedToTheLogIsRefused) {
    Tree before{{"dre.log", {"I 0001 a\n", Entry::File}}};
    Result result = runTool({"dre.log", "/T"}, before, redirected(">> dre.log"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.error, "Standard Output is the Log File <dre.log>. Exiting.\r\n");
    EXPECT_EQ(result.files["dre.log"].bytes, "I 0001 a\n");
}

// The totals would land over the entries the run appends to the file.
TEST(Faults, SessionFileThatIsStandardOutputIsRefused) {
    for (const char* redirect : {"> 0042.LOG", ">> 0042.LOG"}) {
        Tree before{{"dre.log", {"I 0042 a\nI 0007 b\nE 0042 c\n", Entry::File}}};
        Result result = runTool({"dre.log", "/S", "/T"}, before, redirected(redirect));
        EXPECT_EQ(result.status, 1) << redirect;
        EXPECT_EQ(result.error, "Unable to open Session File <0042.LOG>.\r\n") << redirect;
        EXPECT_EQ(result.files["0042.LOG"].bytes, totals("1,0,2,0")) << redirect;
        EXPECT_EQ(result.files["0007.LOG"].bytes, "I 0007 b\r\n") << redirect;
    }
}

TEST(Faults, SessionFileThatIsStandardErrorIsRefused) {
    Tree before{{"dre.log", {"I 0042 a\nI 0007 b\n", Entry::File}}};
    Result result = runTool({"dre.log", "/S"}, before, redirected("2>> 0042.LOG"));
    EXPECT_EQ(result.status, 1);
    EXPECT_EQ(result.files["0042.LOG"].bytes, "Unable to open Session File <0042.LOG>.\r\n");
    EXPECT_EQ(result.files["0007.LOG"].bytes, "I 0007 b\r\n");
}

// A closed standard descriptor must not be handed to the log or a session
// file: the trace and the totals would be written into it.
RunOptions closing(std::vector<int> descriptors) {
    RunOptions options;
    options.closed = descriptors;
    return options;
}

TEST(Faults, ClosedStandardOutputIsAnOutputThatCannotBeWritten) {
    if (underLauncher()) GTEST_SKIP() << "Wine gives a closed descriptor a handle of its own";
    Tree before{{"dre.log", {"I 0001 a\n b\n", Entry::File}}};
    Result plain = runTool({"dre.log"}, before, closing({1}));
    EXPECT_EQ(plain.status, 1);
    EXPECT_EQ(plain.error, "Unable to write to Standard Output.\r\n");
    EXPECT_EQ(plain.files, before);

    Result traced = runTool({"dre.log", "/S", "/F"}, before, closing({0, 1}));
    EXPECT_EQ(traced.status, 1);
    EXPECT_EQ(traced.error, "ReportType is 00A7\r\nUnable to write to Standard Output.\r\n");
    EXPECT_EQ(traced.files["0001.LOG"].bytes, "I 0001 a b\r\n");

    Result split = runTool({"dre.log", "/S"}, before, closing({0, 1, 2}));
    EXPECT_EQ(split.status, 0);
    EXPECT_EQ(split.files["0001.LOG"].bytes, "I 0001 a b\r\n");
}

// A parent may leave its pipe non-blocking; a slow reader is then waited
// for, well past what the pipe holds.
TEST(Faults, NonBlockingStandardOutputIsWaitedFor) {
    if (underLauncher()) GTEST_SKIP() << "a POSIX pipe flag";
    std::string log, expected;
    for (int i = 0; i < 20000; ++i) {
        std::string line = "I 0001 line " + std::to_string(i) + " of a log that a slow reader takes in";
        log += line + "\n";
        expected += line + "\r\n";
    }
    int pipeEnds[2];
    ASSERT_EQ(pipe(pipeEnds), 0);
    fcntl(pipeEnds[1], F_SETFL, fcntl(pipeEnds[1], F_GETFL) | O_NONBLOCK);
    std::string received;
    std::thread reader([&] {
        char block[4096];
        ssize_t got;
        while ((got = read(pipeEnds[0], block, sizeof block)) > 0) {
            received.append(block, static_cast<std::size_t>(got));
            usleep(500);
        }
    });
    RunOptions options;
    options.outputDescriptor = pipeEnds[1];
    Result result = runTool({"dre.log"}, {{"dre.log", {log, Entry::File}}}, options);
    close(pipeEnds[1]);
    reader.join();
    close(pipeEnds[0]);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.error, "");
    EXPECT_TRUE(received == expected) << received.size() << " of " << expected.size() << " bytes";
}

// A FIFO named like a session file must neither hold the run nor take the
// entries: without a reader the open would block, with one it succeeds.
TEST(Faults, SessionFileThatIsAFifoIsRefusedWithoutBlocking) {
    if (underLauncher()) GTEST_SKIP() << "a POSIX FIFO";
    static int heldReader = -1;
    Tree before{{"dre.log", {"I 0042 a\nI 0007 b\nI 0042 c\n", Entry::File}}};
    for (bool withReader : {false, true}) {
        RunOptions options;
        options.prepare = withReader ? [](const std::string& work) {
            ASSERT_EQ(mkfifo((work + "/0042.LOG").c_str(), 0666), 0);
            heldReader = open((work + "/0042.LOG").c_str(), O_RDONLY | O_NONBLOCK);
        } : [](const std::string& work) { ASSERT_EQ(mkfifo((work + "/0042.LOG").c_str(), 0666), 0); };
        Result result = runTool({"dre.log", "/S"}, before, options);
        if (heldReader >= 0) close(heldReader);
        heldReader = -1;
        EXPECT_EQ(result.status, 1) << withReader;
        EXPECT_EQ(result.error, "Unable to open Session File <0042.LOG>.\r\n") << withReader;
        EXPECT_EQ(result.files["0042.LOG"].kind, Entry::Other) << withReader;
        EXPECT_EQ(result.files["0007.LOG"].bytes, "I 0007 b\r\n") << withReader;
    }
}

pid_t writerProcess = -1;

TEST(Faults, LogGivenAsAFifoIsReadToItsEnd) {
    if (underLauncher()) GTEST_SKIP() << "a POSIX FIFO";
    RunOptions options;
    options.prepare = [](const std::string& work) {
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
    };
    Result result = runTool({"dre.fifo", "/T"}, {}, options);
    waitpid(writerProcess, nullptr, 0);
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.output, "E 0001 a b\r\nW 0002 c\r\n" + totals("1,1,0,0"));
    EXPECT_EQ(result.error, "");
}

// While a replication server appends to its log, the tool writes every
// entry up to the point it has read: whole lines, in order, the last one
// possibly cut where the writer was when the read met the end.
TEST(Faults, LogAppendedToWhileReadGivesAPrefix) {
    Tree before{{"dre.log", {"I 0001 first\r\n", Entry::File}}};
    RunOptions options;
    options.prepare = [](const std::string& work) {
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
    };
    Result result = runTool({"dre.log"}, before, options);
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
