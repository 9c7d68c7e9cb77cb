#include "platform/byte_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace {

const char* naiveFind(const char* text, std::size_t length, char first, char second) {
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] == first || text[i] == second) return text + i;
    }
    return nullptr;
}

using Search = const char* (*)(const char*, std::size_t, char, char);

const char* findOne(const char* text, std::size_t length, char first, char) {
    return findByte(text, length, first);
}

struct Searcher {
    const char* name;
    Search search;
    bool findsSecond;
};

const Searcher searchers[] = {
    {"findEitherByte", findEitherByte, true},
    {"findEitherByteScalar", findEitherByteScalar, true},
    {"findByte", findOne, false},
};

// Every length up to 600, with a wanted byte at every position (and the
// other one 7 bytes later: the first must win) and none, from an aligned
// start and two that are not. The bytes just outside the range are wanted
// too, so that a read past either end would be seen.
TEST(ByteSearch, MatchesANaiveLoopAtEveryOffsetAndLength) {
    for (const Searcher& s : searchers) {
        std::string buffer(700, 'x');
        for (std::size_t start : {0, 1, 31}) {
            for (std::size_t length = 0; length <= 600; ++length) {
                std::fill(buffer.begin(), buffer.end(), 'x');
                buffer[start + length] = '\n';
                if (start > 0) buffer[start - 1] = '\0';
                const char* text = buffer.data() + start;
                ASSERT_EQ(s.search(text, length, '\n', '\0'), nullptr) << s.name << " " << start << " " << length;
                for (std::size_t at = 0; at < length; ++at) {
                    bool secondFirst = s.findsSecond && at % 2 == 1;
                    buffer[start + at] = secondFirst ? '\0' : '\n';
                    if (at + 7 < length) buffer[start + at + 7] = secondFirst ? '\n' : '\0';
                    const char* expected =
                        s.findsSecond ? naiveFind(text, length, '\n', '\0') : naiveFind(text, length, '\n', '\n');
                    ASSERT_EQ(s.search(text, length, '\n', '\0'), expected)
                        << s.name << ": start " << start << ", length " << length << ", at " << at;
                    buffer[start + at] = 'x';
                    if (at + 7 < length) buffer[start + at + 7] = 'x';
                }
            }
        }
    }
}

TEST(ByteSearch, FindsEveryByteValue) {
    std::string all;
    for (int c = 255; c >= 0; --c) all += static_cast<char>(c);
    for (int c = 0; c < 256; ++c) {
        char byte = static_cast<char>(c);
        const char* expected = all.data() + 255 - c;
        const char* x = all.data() + 255 - 'x';
        EXPECT_EQ(findByte(all.data(), all.size(), byte), expected) << c;
        EXPECT_EQ(findEitherByte(all.data(), all.size(), byte, 'x'), std::min(expected, x)) << c;
        EXPECT_EQ(findEitherByteScalar(all.data(), all.size(), 'x', byte), std::min(expected, x)) << c;
    }
}

}  // namespace
