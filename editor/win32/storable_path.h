// The store keeps paths in the system code page, while a path the user picks
// in a dialog comes in UTF-16 and may hold characters that code page lacks.
// Converted as the A functions convert, such a path gets '?' or a look-alike
// ("ā" becomes "a") and names another file; here it is either spelled
// exactly or refused.
#pragma once

#include <windows.h>

#include <cstddef>

namespace editor {

enum class StoreSpelling {
    Spelled,      // `out` holds the path, or its short form, spelled exactly
    DoesNotFit,   // the exact spelling is longer than `out` (it is never cut)
    NotStorable,  // the code page spells neither the path nor a short form of it
};

// Spells `path` in the system code page into `out` (`size` bytes with the
// terminating zero). Where the code page lacks a character of the path, the
// volume's short name for it is taken if the code page spells that. `out`
// is left empty unless the result is Spelled.
StoreSpelling spellForStore(const wchar_t* path, char* out, std::size_t size) noexcept;

}  // namespace editor
