// The store's text is in the system code page; the shell's wide functions
// and the command objects' strings are UTF-16.
#pragma once

#include <string>
#include <vector>

namespace handler {

// Empty for null or empty text.
std::wstring wideFromCodePage(const char* text);
// The same as UTF-16 text of the platform-free code.
std::u16string text16FromCodePage(const char* text);

// The shell's wide paths as UTF-16 text of the platform-free code.
std::vector<std::u16string> text16Of(const std::vector<std::wstring>& paths);

}  // namespace handler
