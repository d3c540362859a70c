// The edits the action menu makes to a command's action string: the
// command part (program and arguments), then optionally " $(directory)",
// then optionally " $:digit".
//
// Each edit works on the record's 2048-byte field. One whose result would
// pass 2047 characters is refused: it returns false and leaves the action
// as it was.
#pragma once

#include <cstddef>

#include "store_layout.h"

namespace editor {

using ActionField = char[store::kActionSize];

// The first position where a space is followed by "$(" or "$:"; the length
// of the action when there is none. The command part ends there.
std::size_t suffixMarker(const char* action) noexcept;

// Adds ` "text"` at the end of the command part, before any suffix. A text
// that ends in a backslash (a drive's root) gets that backslash doubled, so
// that the closing quote stays a quote when the program reads its command
// line: "C:\\\\" reads as C:\\.
bool insertArgument(ActionField& action, const char* text) noexcept;

// Replaces the directory of a directory suffix found at the suffix marker, or
// inserts " $(directory)" there (so before a window-state suffix). The old
// directory runs to the ")" that closes its "(", counting the parentheses
// inside it, as the handler reads it.
bool setWorkingDirectory(ActionField& action, const char* directory) noexcept;

// Whether a directory put in " $(...)" reads back as itself: each ")" closes
// a "(" before it and every "(" is closed.
bool readsBackAsDirectory(const char* directory) noexcept;

// Sets the digit of the first " $:" suffix, or appends " $:digit" at the
// end. Only the digits '0' to '3' are taken.
bool setWindowState(ActionField& action, char digit) noexcept;

// Puts the program, in double quotes, in place of the old one; the
// arguments and suffixes after it stay.
bool replaceProgram(ActionField& action, const char* program) noexcept;

}  // namespace editor
