// Code pages for the native tests and the fuzz target, in place of the
// system's: Latin-1 (28591), which holds U+0000 to U+00FF in one byte each
// and refuses the rest, and UTF-8 (65001, what a system set to UTF-8 has),
// which holds every name in any language.
#pragma once

#include "code_page.h"

namespace menus_testing {

class Latin1CodePage final : public menus_file::CodePage {
public:
    unsigned number() const override { return 28591; }
    bool fromUtf8(const std::string& utf8, std::string& out, std::uint32_t& refused) const override;
    bool toUtf8(const std::string& text, std::string& out) const override;
};

class Utf8CodePage final : public menus_file::CodePage {
public:
    unsigned number() const override { return 65001; }
    bool fromUtf8(const std::string& utf8, std::string& out, std::uint32_t&) const override {
        out = utf8;
        return true;
    }
    bool toUtf8(const std::string& text, std::string& out) const override;
};

}  // namespace menus_testing
