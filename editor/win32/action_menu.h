// The menu of action edits that the triangle button beside the Action field
// opens.
#pragma once

#include <windows.h>

namespace editor {

// The command's settings as the menu shows them: the "Several Selected" item
// with the radio mark, and whether "Run as Administrator" is checked.
struct ActionMenuChecks {
    int selectionCommand;
    bool runAs;
};

// Shows the action menu below the button's bottom-left corner; the chosen
// command reaches the page as WM_COMMAND after this returns.
void showActionMenu(HWND page, HWND button, ActionMenuChecks checks);

}  // namespace editor
