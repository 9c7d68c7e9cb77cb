#include "platform/text_stream.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using namespace std::string_literals;

struct ReadResult {
    std::vector<std::string> lines;  // every character read, zero bytes included
    std::vector<std::string> texts;  // the text up to the first zero byte
    std::vector<bool> eofAfter;      // the end-of-file indicator after each line
    bool eof = false;
    bool failed = false;
};

ReadResult readAll(const std::string& bytes, std::size_t chunk, long failAfter = -1) {
    TextInput input;
    attachScriptedInput(input, bytes, chunk, failAfter);
    ReadResult result;
    Line line;
    for (int reads = 0; reads < 10000; ++reads) {
        if (readLine(input, line)) {
            result.lines.emplace_back(line.text, line.readLength);
            result.texts.emplace_back(line.text, line.length);
            result.eofAfter.push_back(input.eof);
        } else if (input.eof || input.failed) {
            break;
        }
    }
    result.eof = input.eof;
    result.failed = input.failed;
    return result;
}

struct LineCase {
    const char* name;
    std::string input;
    std::vector<std::string> lines;
};

const std::string a511(511, 'a');
const std::string b600(600, 'b');

const LineCase lineCases[] = {
    {"lf", "E 1\nW 2\n", {"E 1\n", "W 2\n"}},
    {"crlf", "E 1\r\nW 2\r\n", {"E 1\n", "W 2\n"}},
    {"lone cr stays", "a\rb\r\r\n\r", {"a\rb\r\n", "\r"}},
    {"last line without lf", "E 1\nW 2", {"E 1\n", "W 2"}},
    {"ctrl-z ends the input", "E 1\nW 2\x1aI 3\n", {"E 1\n", "W 2"}},
    {"ctrl-z after a line end", "E 1\r\n\x1a\r\nI 3\n", {"E 1\n"}},
    {"ctrl-z first",
     "\x1a"
     "E 1\n",
     {}},
    {"empty", "", {}},
    {"long line cut after 511", b600 + "\n", {std::string(511, 'b'), std::string(89, 'b') + "\n"}},
    {"exactly 511 and lf", a511 + "\n", {a511, "\n"}},
    {"510 and crlf fit", a511.substr(1) + "\r\n", {a511.substr(1) + "\n"}},
    {"511 and crlf", a511 + "\r\n", {a511, "\n"}},
    {"511 without lf at the end", a511, {a511}},
    {"1022 without lf", a511 + a511, {a511, a511}},
    {"cr at the cut stays", a511.substr(1) + "\rx\n", {a511.substr(1) + "\r", "x\n"}},
};

TEST(TextInput, LinesFollowTheTextModeRules) {
    for (const LineCase& c : lineCases) {
        for (std::size_t chunk : {1, 2, 3, 7, 509, 512, 4096}) {
            ReadResult result = readAll(c.input, chunk);
            EXPECT_EQ(result.lines, c.lines) << c.name << ", chunk " << chunk;
            EXPECT_TRUE(result.eof && !result.failed) << c.name;
        }
    }
}

TEST(TextInput, CrLfAcrossEveryRefillBoundary) {
    std::string log;
    std::vector<std::string> expected;
    for (int i = 0; i < 300; ++i) {
        std::string text(static_cast<std::size_t>(i % 37), 'x');
        log += text + "\r\n";
        expected.push_back(text + "\n");
    }
    for (std::size_t chunk = 1; chunk <= 64; ++chunk) {
        EXPECT_EQ(readAll(log, chunk).lines, expected) << "chunk " << chunk;
    }
}

TEST(TextInput, ZeroBytesStayInTheCountAndEndTheText) {
    const std::string c508(508, 'c');
    ReadResult result = readAll("W abc\0def\n\0E\n"s + c508 + "\0xyz\n"s, 3);
    EXPECT_EQ(result.lines, (std::vector<std::string>{"W abc\0def\n"s, "\0E\n"s, c508 + "\0xy"s, "z\n"}));
    EXPECT_EQ(result.texts, (std::vector<std::string>{"W abc", "", c508, "z\n"}));
}

// Blocks are searched for Ctrl-Z and zero bytes many bytes at a time; every
// offset within and across those steps must be found.
TEST(TextInput, CtrlZAndZeroBytesAreFoundAtEveryOffset) {
    for (std::size_t at = 0; at < 300; ++at) {
        std::string log;
        for (std::size_t i = 0; log.size() < 700; ++i) log += std::string(i % 50, 'x') + "\n";
        std::string withZero = log;
        withZero[at] = '\0';
        std::string texts;
        for (const std::string& text : readAll(withZero, 4096).texts) texts += text;
        // The zero ends its line's text; the rest of that line is dropped.
        std::string expected = withZero.substr(0, at) + withZero.substr(withZero.find('\n', at) + 1);
        EXPECT_EQ(texts, expected) << "zero at " << at;

        std::string withCtrlZ = log;
        withCtrlZ[at] = '\x1a';
        std::string read;
        for (const std::string& line : readAll(withCtrlZ, 4096).lines) read += line;
        EXPECT_EQ(read, log.substr(0, at)) << "Ctrl-Z at " << at;
    }
}

TEST(TextInput, EndOfFileIndicatorIsSetByTheReadThatMeetsTheEnd) {
    // A last line without a line feed sets it as it is returned ...
    EXPECT_EQ(readAll("E 1\nW 2", 64).eofAfter, (std::vector<bool>{false, true}));
    // ... after a line feed one more read is needed, and a full 511
    // characters stop the read before it looks for the end.
    EXPECT_EQ(readAll("E 1\n", 64).eofAfter, (std::vector<bool>{false}));
    EXPECT_EQ(readAll(a511, 64).eofAfter, (std::vector<bool>{false}));
    EXPECT_EQ(readAll("W 2\x1a", 64).eofAfter, (std::vector<bool>{true}));
}

TEST(TextInput, FailedReadEndsTheInputWithoutEndOfFile) {
    ReadResult result = readAll("E 1\nW 2\nI 3", 3, 6);
    EXPECT_EQ(result.lines, (std::vector<std::string>{"E 1\n", "W "}));
    EXPECT_TRUE(result.failed);
    EXPECT_FALSE(result.eof);
}

// A pipe may deliver one line at a time while its writer waits: a whole line
// in hand is returned without waiting for more.
TEST(TextInput, WholeLineIsReturnedWithoutReadingAhead) {
    TextInput input;
    attachScriptedInput(input, "E 0001 a\r\nW 0002 b\r\n", 10);
    Line line;
    ASSERT_TRUE(readLine(input, line));
    EXPECT_EQ(std::string(line.text, line.readLength), "E 0001 a\n");
    EXPECT_EQ(scriptedBytesDelivered(), 10u);
}

TEST(TextInput, DirectoryCannotBeOpened) {
    TextInput input;
    EXPECT_FALSE(openTextInput(input, "."));
}

// A replication server keeps its log open for writing while the tool reads
// it: the reader must not lock the writer out, in either order of opening.
TEST(TextInput, LogStaysSharedWithItsWriter) {
    const std::string name = scratchFileName("shared");
    const char* path = name.c_str();
    std::remove(path);
    OsHandle writer;
    OsFileIdentity identity;
    ASSERT_TRUE(osOpenForAppending(path, &writer, &identity));
    ASSERT_TRUE(osWriteAll(writer, "E 0001 a\n", 9));
    TextInput log;
    ASSERT_TRUE(openTextInput(log, path));
    OsHandle secondWriter;
    ASSERT_TRUE(osOpenForAppending(path, &secondWriter, &identity));
    ASSERT_TRUE(osWriteAll(secondWriter, "W 0002 b\n", 9));
    Line line;
    ASSERT_TRUE(readLine(log, line));
    EXPECT_EQ(std::string(line.text, line.readLength), "E 0001 a\n");
    ASSERT_TRUE(readLine(log, line));
    EXPECT_EQ(std::string(line.text, line.readLength), "W 0002 b\n");
    EXPECT_TRUE(osClose(writer));
    EXPECT_TRUE(osClose(secondWriter));
    EXPECT_TRUE(closeTextInput(log));
    EXPECT_EQ(std::remove(path), 0);
}

// The identity is what keeps a session file from being the log or standard
// output: the same file must be recognized through any handle, and nothing
// but a regular file may be opened for appending.
TEST(AppendOutput, OpensOnlyRegularFilesAndKnowsWhichFile) {
    const std::string name = scratchFileName("identity");
    const std::string other = scratchFileName("identity_other");
    OsHandle first, second, third;
    OsFileIdentity firstIdentity, secondIdentity, thirdIdentity;
    ASSERT_TRUE(osOpenForAppending(name.c_str(), &first, &firstIdentity));
    ASSERT_TRUE(osOpenForAppending(name.c_str(), &second, &secondIdentity));
    ASSERT_TRUE(osOpenForAppending(other.c_str(), &third, &thirdIdentity));
    TextInput reader;
    ASSERT_TRUE(openTextInput(reader, name.c_str()));
    EXPECT_TRUE(isSameFile(firstIdentity, secondIdentity));
    EXPECT_TRUE(isSameFile(firstIdentity, osIdentify(reader.handle)));
    EXPECT_FALSE(isSameFile(firstIdentity, thirdIdentity));
    EXPECT_FALSE(isSameFile(OsFileIdentity{}, OsFileIdentity{}));
    for (OsHandle handle : {first, second, third}) EXPECT_TRUE(osClose(handle));
    EXPECT_TRUE(closeTextInput(reader));
    EXPECT_FALSE(osOpenForAppending(".", &first, &firstIdentity));
    EXPECT_EQ(std::remove(name.c_str()), 0);
    EXPECT_EQ(std::remove(other.c_str()), 0);
}

TEST(TextOutput, LineFeedsBecomeCrLfAndNumbersAreFormatted) {
    beginCapture();
    writeString(standardOutput, "a\nb\r\n\n");
    writeChar(standardOutput, '\n');
    writeDecimal(standardOutput, 0);
    writeChar(standardOutput, ' ');
    writeDecimal(standardOutput, 4294967296LL * 3);
    writeChar(standardOutput, ' ');
    writeHex(standardOutput, 0x87, 4);
    writeChar(standardOutput, ' ');
    writeHex(standardOutput, 0xA7, 4);
    writeString(standardError, "e\n");
    Captured captured = endCapture();
    EXPECT_EQ(captured.output, "a\r\nb\r\r\n\r\n\r\n0 12884901888 0087 00A7");
    EXPECT_EQ(captured.error, "e\r\n");
}

TEST(TextOutput, WritesLargerThanTheBufferArriveWhole) {
    beginCapture();
    std::string big;
    for (int i = 0; i < 50000; ++i) big += "line " + std::to_string(i) + "\n";
    writeText(standardOutput, big.data(), big.size());
    writeText(standardOutput, "x", 1);
    Captured captured = endCapture();
    std::string expected;
    for (int i = 0; i < 50000; ++i) expected += "line " + std::to_string(i) + "\r\n";
    EXPECT_EQ(captured.output, expected + "x");
}

}  // namespace
