#include "icon_location.h"

#include <cstdio>
#include <cstring>

#include "store_layout.h"

namespace store {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

int parseIconLocation(const char* location, char* file, std::size_t fileSize) {
    if (fileSize == 0) return 0;
    file[0] = '\0';
    if (!location) return 0;
    const char* comma = std::strrchr(location, ',');
    const char* end = comma ? comma : location + std::strlen(location);
    int index = 0;
    if (comma) {
        const char* p = comma + 1;
        bool negative = *p == '-';
        if (negative || *p == '+') ++p;
        long value = 0;
        for (; *p >= '0' && *p <= '9' && value < 100000000; ++p) value = value * 10 + (*p - '0');
        index = static_cast<int>(negative ? -value : value);
    }
    const char* begin = location;
    while (begin < end && isBlank(*begin)) ++begin;
    while (end > begin && isBlank(end[-1])) --end;
    if (end - begin >= 2 && *begin == '"' && end[-1] == '"') {
        ++begin;
        --end;
    }
    std::size_t length = static_cast<std::size_t>(end - begin);
    if (length > fileSize - 1) length = fileSize - 1;
    std::memcpy(file, begin, length);
    file[length] = '\0';
    return index;
}

bool formatIconLocation(const char* path, int position, char* out, std::size_t size) {
    if (!out || size == 0) return false;
    out[0] = '\0';
    if (!path) return false;
    // A cut location would name another file: refuse rather than shorten.
    char number[16];
    int digits = std::snprintf(number, sizeof number, "%d", position);
    std::size_t needed = std::strlen(path) + 1 + static_cast<std::size_t>(digits) + 1;
    if (needed > size || needed > kIconSize) return false;
    std::snprintf(out, size, "%s,%s", path, number);
    return true;
}

}  // namespace store
