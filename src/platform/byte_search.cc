#include "platform/byte_search.h"

const char* findEitherByteScalar(const char* text, std::size_t length, char first, char second) {
    for (std::size_t i = 0; i < length; ++i) {
        if (text[i] == first || text[i] == second) return text + i;
    }
    return nullptr;
}
