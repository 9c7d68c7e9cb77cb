// The one byte search of the tool: line feeds and zero bytes in each line
// read, Ctrl-Z in each block read, line feeds on the way out. The C runtimes
// differ widely in how fast their memchr is (the msvcrt that mingw-w64
// links is slow), so the search is the tool's own on every build.
//
// It runs once or more for every line, so it is defined here, for the
// compiler to fold into the read loop: a call per line would cost more than
// the search of a short line.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// The same result as findEitherByte, one byte at a time: the fallback, built
// and tested on every build.
const char* findEitherByteScalar(const char* text, std::size_t length, char first, char second);

#if defined(__SSE2__)

// A bit for each of 16 bytes, set where `equal` holds.
inline std::uint64_t bitsOf(__m128i equal) {
    return static_cast<unsigned>(_mm_movemask_epi8(equal));
}

// Where each of the 16 bytes at `at` is one of the wanted two.
inline __m128i equalToEither(const char* at, __m128i first, __m128i second) {
    __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
    return _mm_or_si128(_mm_cmpeq_epi8(bytes, first), _mm_cmpeq_epi8(bytes, second));
}

// The first of the `length` bytes at `text` that is `first` or `second`, or
// null when there is none. SSE2 where the compiler targets it: 64 bytes a
// step, then 16, then one at a time.
inline const char* findEitherByte(const char* text, std::size_t length, char first, char second) {
    const __m128i one = _mm_set1_epi8(first);
    const __m128i other = _mm_set1_epi8(second);
    std::size_t i = 0;
    for (; i + 64 <= length; i += 64) {
        __m128i a = equalToEither(text + i, one, other);
        __m128i b = equalToEither(text + i + 16, one, other);
        __m128i c = equalToEither(text + i + 32, one, other);
        __m128i d = equalToEither(text + i + 48, one, other);
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) == 0) continue;
        std::uint64_t found = bitsOf(a) | bitsOf(b) << 16 | bitsOf(c) << 32 | bitsOf(d) << 48;
        return text + i + static_cast<std::size_t>(__builtin_ctzll(found));
    }
    for (; i + 16 <= length; i += 16) {
        std::uint64_t found = bitsOf(equalToEither(text + i, one, other));
        if (found != 0) return text + i + static_cast<std::size_t>(__builtin_ctzll(found));
    }
    return findEitherByteScalar(text + i, length - i, first, second);
}

#else

inline const char* findEitherByte(const char* text, std::size_t length, char first, char second) {
    return findEitherByteScalar(text, length, first, second);
}

#endif

// The first `byte` among the `length` bytes at `text`, or null. The
// compiler drops the second comparison, which is the first one again.
inline const char* findByte(const char* text, std::size_t length, char byte) {
    return findEitherByte(text, length, byte, byte);
}
