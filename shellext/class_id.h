// A class id from its registry text, at compile time, so that the C++ tables
// take the ids from talvex_names.h like every other part of Talvex.
#pragma once

#include <windows.h>

#include <cstddef>

#include "talvex_names.h"

namespace shellext {

namespace class_id_detail {

constexpr unsigned long hexAt(const char* text, int first, int digits) {
    unsigned long value = 0;
    for (int i = first; i < first + digits; ++i) {
        const char c = text[i];
        const unsigned long digit = c >= '0' && c <= '9'   ? static_cast<unsigned long>(c - '0')
                                    : c >= 'A' && c <= 'F' ? static_cast<unsigned long>(c - 'A' + 10)
                                    : c >= 'a' && c <= 'f' ? static_cast<unsigned long>(c - 'a' + 10)
                                                           : throw "not a hex digit";
        value = value * 16 + digit;
    }
    return value;
}

}  // namespace class_id_detail

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}". A malformed text does not
// compile where the result initialises a constexpr.
template <std::size_t N>
constexpr GUID classIdFrom(const char (&text)[N]) {
    static_assert(N == 39, "a class id is written {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}");
    using class_id_detail::hexAt;
    return GUID{hexAt(text, 1, 8),
                static_cast<unsigned short>(hexAt(text, 10, 4)),
                static_cast<unsigned short>(hexAt(text, 15, 4)),
                {static_cast<unsigned char>(hexAt(text, 20, 2)),
                 static_cast<unsigned char>(hexAt(text, 22, 2)),
                 static_cast<unsigned char>(hexAt(text, 25, 2)),
                 static_cast<unsigned char>(hexAt(text, 27, 2)),
                 static_cast<unsigned char>(hexAt(text, 29, 2)),
                 static_cast<unsigned char>(hexAt(text, 31, 2)),
                 static_cast<unsigned char>(hexAt(text, 33, 2)),
                 static_cast<unsigned char>(hexAt(text, 35, 2))}};
}

constexpr GUID kKorvaneClassId = classIdFrom(TALVEX_KORVANE_CLSID);
constexpr GUID kSelectionCommandClassId = classIdFrom(TALVEX_SELECTION_COMMAND_CLSID);
constexpr GUID kBackgroundCommandClassId = classIdFrom(TALVEX_BACKGROUND_COMMAND_CLSID);
constexpr GUID kQuillonClassId = classIdFrom(TALVEX_QUILLON_CLSID);

}  // namespace shellext
