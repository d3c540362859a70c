// UTF-16 text, as the system's wide functions give and take it, carried
// through the byte-oriented action logic as WTF-8: UTF-8 that also keeps the
// unpaired surrogates a file name may hold, so that every path comes back
// exactly as it went in. Every marker of an action is ASCII, and no byte of
// a longer sequence is below 0x80, so the logic never splits a character.
#pragma once

#include <string>

namespace handler {

std::string toWtf8(const std::u16string& text);
// Bytes that are not WTF-8 become U+FFFD; toWtf8's output never has them.
std::u16string fromWtf8(const std::string& text);

}  // namespace handler
