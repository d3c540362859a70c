// The icon picker: the system's Open dialog with a panel on its right that
// lists every icon of the selected file.
#pragma once

#include <windows.h>

#include <cstddef>

#include "page_controller.h"

namespace editor {

// Chosen with "path,position" in `location` when the user chose an icon
// (the path spelled for the store), Chosen with an empty location when the
// user gave up on a file without icons, Cancelled when the dialog was
// cancelled (or the choice does not fit `size`). A path the store cannot
// spell is refused in the dialog, which stays open.
PickOutcome pickIcon(HWND owner, char* location, std::size_t size);

}  // namespace editor
