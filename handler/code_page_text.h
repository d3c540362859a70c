// The store's text is in the system code page; the shell's wide functions
// and the command objects' strings are UTF-16.
#pragma once

#include <string>

namespace handler {

// Empty for null or empty text.
std::wstring wideFromCodePage(const char* text);

}  // namespace handler
