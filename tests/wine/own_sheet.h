// Pages of quillon.dll in a modeless property sheet of the test's own, on
// the calling thread: for what Wine's Properties dialog does not show.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>

#include <vector>

namespace own_sheet {

// AddPages' callback: collects the pages into a std::vector<HPROPSHEETPAGE>.
inline BOOL CALLBACK collectPage(HPROPSHEETPAGE page, LPARAM pages) {
    reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(pages)->push_back(page);
    return TRUE;
}

// Dispatches the thread's messages for about 100 ms.
inline void pump() {
    MSG msg;
    for (int i = 0; i < 20; ++i) {
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        Sleep(5);
    }
}

// A modeless sheet holding `pages`, shown and given its first messages;
// null if it could not be made.
inline HWND showInOwnSheet(std::vector<HPROPSHEETPAGE>& pages) {
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof header;
    header.dwFlags = PSH_MODELESS;
    header.pszCaption = "Own sheet";
    header.nPages = static_cast<UINT>(pages.size());
    header.phpage = pages.data();
    HWND sheet = reinterpret_cast<HWND>(PropertySheetA(&header));
    pump();
    return sheet;
}

}  // namespace own_sheet
