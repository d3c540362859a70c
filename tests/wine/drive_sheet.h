// The Properties dialog of a drive root, built as Explorer builds it: a
// "General" page of its own, then the pages of every property-sheet handler
// registered under HKCR\Drive, each created by its class id, initialised
// with the shell's data object for the root and asked for pages with
// AddPages. Wine opens no Properties dialog for a drive root, so the tests
// host this one; a handler that is not registered for drives adds nothing.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <prsht.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "shell_host.h"

namespace drive_sheet {

inline std::string title(const std::string& root) { return "Properties for " + root; }

inline BOOL CALLBACK addPage(HPROPSHEETPAGE page, LPARAM pages) {
    reinterpret_cast<std::vector<HPROPSHEETPAGE>*>(pages)->push_back(page);
    return TRUE;
}

inline INT_PTR CALLBACK blankPageProc(HWND, UINT message, WPARAM, LPARAM) {
    return message == WM_INITDIALOG;
}

// The class ids named by the property-sheet handlers registered for drives.
inline std::vector<CLSID> driveHandlers() {
    std::vector<CLSID> found;
    HKEY handlers;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "Drive\\shellex\\PropertySheetHandlers", 0, KEY_READ,
                      &handlers) != ERROR_SUCCESS)
        return found;
    char name[256];
    for (DWORD i = 0;; ++i) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(handlers, i, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        char text[64] = {};
        LONG size = sizeof text;
        CLSID id;
        if (RegQueryValueA(handlers, name, text, &size) == ERROR_SUCCESS &&
            SUCCEEDED(CLSIDFromString(shell_host::wide(text).c_str(), &id)))
            found.push_back(id);
    }
    RegCloseKey(handlers);
    return found;
}

// Shows the dialog modally on the calling thread; returns when it closes.
inline void showDriveProperties(const std::string& root) {
    // An empty "General" page, as a drive's dialog has one first.
    struct alignas(4) BlankTemplate {
        DLGTEMPLATE dialog;
        WORD menu, windowClass, caption;
    } blank = {{WS_CHILD | DS_CONTROL, 0, 0, 0, 0, 200, 150}, 0, 0, 0};
    PROPSHEETPAGEA general = {};
    general.dwSize = sizeof general;
    general.dwFlags = PSP_DLGINDIRECT | PSP_USETITLE;
    general.pResource = &blank.dialog;
    general.pszTitle = "General";
    general.pfnDlgProc = blankPageProc;
    std::vector<HPROPSHEETPAGE> pages = {CreatePropertySheetPageA(&general)};

    IDataObject* selection = shell_host::dataObjectFor({root});
    for (const CLSID& id : driveHandlers()) {
        IShellExtInit* init = nullptr;
        IShellPropSheetExt* extension = nullptr;
        if (selection &&
            SUCCEEDED(CoCreateInstance(id, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExtInit,
                                       reinterpret_cast<void**>(&init))) &&
            SUCCEEDED(init->Initialize(nullptr, selection, nullptr)) &&
            SUCCEEDED(init->QueryInterface(IID_IShellPropSheetExt,
                                           reinterpret_cast<void**>(&extension))))
            extension->AddPages(addPage, reinterpret_cast<LPARAM>(&pages));
        if (extension) extension->Release();
        if (init) init->Release();
    }
    if (selection) selection->Release();

    const std::string caption = title(root);
    PROPSHEETHEADERA header = {};
    header.dwSize = sizeof header;
    header.pszCaption = caption.c_str();
    header.nPages = static_cast<UINT>(pages.size());
    header.phpage = pages.data();
    PropertySheetA(&header);
}

}  // namespace drive_sheet
