#include "code_page_text.h"

#include <windows.h>

namespace handler {

std::wstring wideFromCodePage(const char* text) {
    if (!text) return std::wstring();
    int length = MultiByteToWideChar(CP_ACP, 0, text, -1, nullptr, 0);
    if (length <= 1) return std::wstring();
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text, -1, &wide[0], length);
    wide.resize(static_cast<std::size_t>(length - 1));
    return wide;
}

}  // namespace handler
