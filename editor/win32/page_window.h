// The "Context Menu" page's window: its dialog procedure and the state that
// travels from the page callback to the dialog.
#pragma once

#include <windows.h>

#include "page_state.h"

namespace editor {

// Created when the page is described, freed when the sheet releases the
// page; the page window borrows it while it exists.
struct PageContext {
    PageState state;
    bool counted = false;  // the page is counted in the module's object count
};

INT_PTR CALLBACK pageDialogProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace editor
