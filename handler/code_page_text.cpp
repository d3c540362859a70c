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

// wchar_t is UTF-16 here: the two string types hold the same units.
static_assert(sizeof(wchar_t) == sizeof(char16_t), "wide text is UTF-16");

std::u16string text16FromCodePage(const char* text) {
    const std::wstring wide = wideFromCodePage(text);
    return std::u16string(reinterpret_cast<const char16_t*>(wide.data()), wide.size());
}

std::vector<std::u16string> text16Of(const std::vector<std::wstring>& paths) {
    std::vector<std::u16string> texts;
    texts.reserve(paths.size());
    for (const std::wstring& path : paths)
        texts.emplace_back(reinterpret_cast<const char16_t*>(path.data()), path.size());
    return texts;
}

}  // namespace handler
