#include "system_code_page.h"

#include <windows.h>

namespace talvex_app {

namespace {

std::wstring toWide(unsigned codePage, DWORD flags, const std::string& text, bool* ok = nullptr) {
    if (ok) *ok = true;
    if (text.empty()) return std::wstring();
    const int length = MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0) {
        if (ok) *ok = false;
        return std::wstring();
    }
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(codePage, flags, text.data(), static_cast<int>(text.size()), &wide[0], length);
    return wide;
}

// Converts to the code page; false where a character has no exact form
// there. With UTF-8 as the system's code page every character has one (and
// the call takes no flags for it).
bool toCodePage(unsigned codePage, const wchar_t* text, int length, std::string& out) {
    out.clear();
    if (length == 0) return true;
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* defaulted = utf8 ? nullptr : &usedDefault;
    const int size = WideCharToMultiByte(codePage, flags, text, length, nullptr, 0, nullptr, defaulted);
    if (size <= 0 || usedDefault) return false;
    out.resize(static_cast<std::size_t>(size));
    WideCharToMultiByte(codePage, flags, text, length, &out[0], size, nullptr, defaulted);
    if (usedDefault) return false;
    // A code page with two forms of one character reads one of them back
    // as another: only a text that comes back as it went is exact.
    return toWide(codePage, 0, out) == std::wstring(text, static_cast<std::size_t>(length));
}

}  // namespace

SystemCodePage::SystemCodePage() : codePage_(GetACP()) {}

bool SystemCodePage::fromUtf8(const std::string& utf8, std::string& out, std::uint32_t& refused) const {
    bool ok = false;
    const std::wstring wide = toWide(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, &ok);
    if (!ok) return false;
    if (toCodePage(codePage_, wide.data(), static_cast<int>(wide.size()), out)) return true;
    // Find the first character that fails on its own, to name it.
    std::string ignored;
    for (std::size_t i = 0; i < wide.size();) {
        const bool pair = i + 1 < wide.size() && IS_HIGH_SURROGATE(wide[i]) && IS_LOW_SURROGATE(wide[i + 1]);
        const int length = pair ? 2 : 1;
        if (!toCodePage(codePage_, wide.data() + i, length, ignored)) {
            refused = pair ? 0x10000 + ((wide[i] - 0xD800u) << 10) + (wide[i + 1] - 0xDC00u) : wide[i];
            return false;
        }
        i += static_cast<std::size_t>(length);
    }
    refused = 0xFFFD;  // only the characters together fail; none to name
    return false;
}

bool SystemCodePage::toUtf8(const std::string& text, std::string& out) const {
    bool ok = false;
    const std::wstring wide = toWide(codePage_, MB_ERR_INVALID_CHARS, text, &ok);
    if (!ok) return false;
    out = utf8FromWide(wide);
    return true;
}

std::wstring wideFromUtf8(const std::string& utf8) { return toWide(CP_UTF8, 0, utf8); }

std::wstring wideFromStore(const std::string& text) { return toWide(CP_ACP, 0, text); }

std::string utf8FromWide(const std::wstring& wide) {
    if (wide.empty()) return std::string();
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    if (size <= 0) return std::string();
    std::string out(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &out[0], size, nullptr, nullptr);
    return out;
}

}  // namespace talvex_app
