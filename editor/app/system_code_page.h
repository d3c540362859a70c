// The store's code page on Windows: the system's ANSI code page, the one
// the A functions that write the store use.
#pragma once

#include "code_page.h"

namespace talvex_app {

class SystemCodePage final : public menus_file::CodePage {
public:
    SystemCodePage();
    unsigned number() const override { return codePage_; }
    bool fromUtf8(const std::string& utf8, std::string& out, std::uint32_t& refused) const override;
    bool toUtf8(const std::string& text, std::string& out) const override;

private:
    unsigned codePage_;
};

// UTF-16 and UTF-8, for paths and messages.
std::wstring wideFromUtf8(const std::string& utf8);
std::string utf8FromWide(const std::wstring& wide);
// Store text (the system's code page) as UTF-16, for messages.
std::wstring wideFromStore(const std::string& text);

}  // namespace talvex_app
