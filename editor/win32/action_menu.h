// The menu of action edits that the triangle button beside the Action field
// opens.
#pragma once

#include <windows.h>

namespace editor {

// Shows the action menu below the button's bottom-left corner; the chosen
// command reaches the page as WM_COMMAND after this returns.
void showActionMenu(HWND page, HWND button);

}  // namespace editor
