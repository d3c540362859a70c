// The store keeps its texts in the system's code page, the file in UTF-8.
// Converting between them is a Windows call; the reading and writing of
// files takes it through this interface, so that native tests and the fuzz
// target run the same logic with a stand-in.
#pragma once

#include <cstdint>
#include <string>

namespace menus_file {

class CodePage {
public:
    virtual ~CodePage() = default;

    // The code page's number, for messages ("code page 1252").
    virtual unsigned number() const = 0;

    // UTF-8 (already valid) into the code page, exactly: false when a
    // character has no exact form there, with `refused` set to that
    // character's code point. Never a look-alike or a '?'.
    virtual bool fromUtf8(const std::string& utf8, std::string& out, std::uint32_t& refused) const = 0;

    // Store text into valid UTF-8; false when the bytes are not text in the
    // code page.
    virtual bool toUtf8(const std::string& text, std::string& out) const = 0;
};

}  // namespace menus_file
