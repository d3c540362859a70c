// The icon picker: the system's Open dialog with a panel on its right that
// lists every icon of the selected file.
#pragma once

#include <windows.h>

#include <cstddef>

namespace editor {

// True with "path,position" in `location` when the user chose an icon, true
// with an empty location when the user gave up on a file without icons,
// false when the dialog was cancelled (or the choice does not fit `size`).
bool pickIcon(HWND owner, char* location, std::size_t size);

}  // namespace editor
