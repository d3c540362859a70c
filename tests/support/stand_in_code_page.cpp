#include "stand_in_code_page.h"

namespace menus_testing {

namespace {

// The code point at `at` of valid UTF-8, moving past it; false where the
// bytes are not UTF-8 (or a surrogate, or an overlong form).
bool nextCodePoint(const std::string& text, std::size_t& at, std::uint32_t& code) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    std::size_t length = lead < 0x80 ? 1 : lead >> 5 == 6 ? 2 : lead >> 4 == 14 ? 3 : lead >> 3 == 30 ? 4 : 0;
    if (length == 0 || at + length > text.size()) return false;
    code = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t i = 1; i < length; ++i) {
        const unsigned char next = static_cast<unsigned char>(text[at + i]);
        if (next >> 6 != 2) return false;
        code = code << 6 | (next & 0x3F);
    }
    static const std::uint32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (code < smallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return false;
    at += length;
    return true;
}

}  // namespace

bool Latin1CodePage::fromUtf8(const std::string& utf8, std::string& out,
                              std::uint32_t& refused) const {
    out.clear();
    for (std::size_t at = 0; at < utf8.size();) {
        std::uint32_t code = 0;
        if (!nextCodePoint(utf8, at, code)) return false;
        if (code > 0xFF) {
            refused = code;
            return false;
        }
        out += static_cast<char>(code);
    }
    return true;
}

bool Latin1CodePage::toUtf8(const std::string& text, std::string& out) const {
    out.clear();
    for (unsigned char c : text) {
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return true;
}

bool Utf8CodePage::toUtf8(const std::string& text, std::string& out) const {
    for (std::size_t at = 0; at < text.size();) {
        std::uint32_t code = 0;
        if (!nextCodePoint(text, at, code)) return false;
    }
    out = text;
    return true;
}

}  // namespace menus_testing
