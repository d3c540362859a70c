// properties_demo: opens the shell's own Properties dialog of the demo's
// sample file, as Explorer's "Properties" command does, selects the
// "Context Menu" tab that quillon.dll adds, and selects a command in its
// tree, so that the page shows a command's fields.
//
//   properties_demo [--ready-file PATH] [--hold-ms N] [--icon-picker]
//
// With --icon-picker the page's "..." button is pressed too, and the icon
// picker shows the icons of a copy of shell32.dll. PATH is created once the
// page (or the picker) is up, for a screenshot. Without --hold-ms
// the dialog stays until the user closes it; with it, it is cancelled after
// N milliseconds. Prints the page's tree. Exit code 0 when the page came up.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>
#include <objbase.h>
#include <prsht.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "resource_ids.h"
#include "shell_host.h"

namespace {

const int kTreeId = IDC_TREE;
const int kIconListId = 505;  // the icon picker's list, in its panel of the Open dialog

struct Opening {
    std::string path;
};

// Wine runs the sheet modally on this thread, so this returns when the
// dialog is closed.
DWORD WINAPI openProperties(void* parameter) {
    CoInitialize(nullptr);
    shell_host::showProperties(static_cast<Opening*>(parameter)->path);
    CoUninitialize();
    return 0;
}

struct Search {
    HWND found = nullptr;
};

BOOL CALLBACK findSheet(HWND window, LPARAM parameter) {
    char title[256] = {};
    GetWindowTextA(window, title, sizeof title);
    if (std::strncmp(title, "Properties for", 14) != 0) return TRUE;
    reinterpret_cast<Search*>(parameter)->found = window;
    return FALSE;
}

HWND waitForSheet(DWORD thread, HANDLE threadHandle) {
    for (int i = 0; i < 300; ++i) {
        Search search;
        EnumThreadWindows(thread, findSheet, reinterpret_cast<LPARAM>(&search));
        if (search.found) return search.found;
        if (WaitForSingleObject(threadHandle, 100) == WAIT_OBJECT_0) return nullptr;
    }
    return nullptr;
}

int tabIndexOf(HWND sheet, const char* title) {
    HWND tabs = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETTABCONTROL, 0, 0));
    int count = static_cast<int>(SendMessageA(tabs, TCM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        char text[260] = {};
        TCITEMA item = {};
        item.mask = TCIF_TEXT;
        item.pszText = text;
        item.cchTextMax = sizeof text;
        SendMessageA(tabs, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
        if (std::strcmp(text, title) == 0) return i;
    }
    return -1;
}

HTREEITEM next(HWND tree, HTREEITEM item, UINT relation) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item)));
}

std::string textOf(HWND tree, HTREEITEM item) {
    char text[260] = {};
    TVITEMA read = {};
    read.mask = TVIF_TEXT;
    read.hItem = item;
    read.pszText = text;
    read.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read));
    return text;
}

BOOL CALLBACK findShownOpen(HWND window, LPARAM out) {
    char title[64] = {};
    GetWindowTextA(window, title, sizeof title);
    if (std::strcmp(title, "Open") != 0 || !IsWindowVisible(window)) return TRUE;
    *reinterpret_cast<HWND*>(out) = window;
    return FALSE;
}

HWND findOpenDialog(DWORD thread) {
    for (int i = 0; i < 100; ++i) {
        HWND found = nullptr;
        EnumThreadWindows(thread, findShownOpen, reinterpret_cast<LPARAM>(&found));
        if (found) return found;
        Sleep(100);
    }
    return nullptr;
}

struct ChildSearch {
    const char* className;
    int id;  // -1: any
    HWND found = nullptr;
};

BOOL CALLBACK findChildOfClass(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<ChildSearch*>(parameter);
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    if (lstrcmpiA(name, search->className) != 0) return TRUE;
    if (search->id != -1 && GetDlgCtrlID(window) != search->id) return TRUE;
    search->found = window;
    return FALSE;
}

HWND findChild(HWND parent, const char* className, int id = -1) {
    ChildSearch search{className, id};
    EnumChildWindows(parent, findChildOfClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// The picker fills its list when the selection changes and paints it later:
// a picture taken before both would show part of the icons. Waits until the
// list holds one entry per icon of the library, then has it painted.
void waitForIcons(HWND open, const std::string& library) {
    const long wanted = static_cast<long>(ExtractIconExA(library.c_str(), -1, nullptr, nullptr, 0));
    HWND list = findChild(open, "ListBox", kIconListId);
    long count = -1;
    for (int i = 0; i < 200 && list; ++i) {
        count = static_cast<long>(SendMessageA(list, LB_GETCOUNT, 0, 0));
        if (count == wanted) break;
        Sleep(50);
    }
    RedrawWindow(open, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    SendMessageA(open, WM_NULL, 0, 0);  // returns once the dialog's thread has painted
    std::printf("The icon picker lists %ld of the %ld icons of %s\n", count, wanted,
                library.c_str());
}

// Presses the page's "..." button, enters the folder of the library in the
// Open dialog and selects the library, as a user does; the picker then
// lists its icons. Returns the Open dialog, or null.
HWND showIconPicker(HWND page, DWORD thread, const std::string& folder, const char* library) {
    PostMessageA(page, WM_COMMAND, MAKEWPARAM(IDC_ICON_BROWSE, BN_CLICKED),
                 reinterpret_cast<LPARAM>(GetDlgItem(page, IDC_ICON_BROWSE)));
    HWND open = findOpenDialog(thread);
    if (!open) return nullptr;
    // The picker is a UTF-16 dialog: its CDM_ messages take UTF-16 text.
    const std::wstring name = shell_host::wide(folder);
    SendMessageW(open, CDM_SETCONTROLTEXT, GetDlgItem(open, cmb13) ? cmb13 : edt1,
                 reinterpret_cast<LPARAM>(name.c_str()));
    SendMessageA(GetDlgItem(open, IDOK), BM_CLICK, 0, 0);
    Sleep(500);
    SendMessageW(open, CDM_SETCONTROLTEXT, GetDlgItem(open, cmb13) ? cmb13 : edt1,
                 reinterpret_cast<LPARAM>(L""));
    HWND files = findChild(open, "SysListView32");
    LVFINDINFOA find = {};
    find.flags = LVFI_STRING;
    find.psz = library;
    int at = static_cast<int>(SendMessageA(files, LVM_FINDITEMA, -1, reinterpret_cast<LPARAM>(&find)));
    if (at < 0) return open;
    LVITEMA state = {};
    state.stateMask = state.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(files, LVM_SETITEMSTATE, at, reinterpret_cast<LPARAM>(&state));
    waitForIcons(open, folder + "\\" + library);
    return open;
}

void printTree(HWND tree, HTREEITEM first, int depth) {
    for (HTREEITEM item = first; item; item = next(tree, item, TVGN_NEXT)) {
        std::printf("  %*s%s\n", depth * 2, "", textOf(tree, item).c_str());
        printTree(tree, next(tree, item, TVGN_CHILD), depth + 1);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const char* readyFile = nullptr;
    long holdMs = -1;
    bool iconPicker = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--icon-picker") == 0) iconPicker = true;
        else if (i + 1 < argc && std::strcmp(argv[i], "--ready-file") == 0) readyFile = argv[++i];
        else if (i + 1 < argc && std::strcmp(argv[i], "--hold-ms") == 0)
            holdMs = std::strtol(argv[++i], nullptr, 10);
    }
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    Opening opening{std::string(temp) + "korvane-demo\\sample.txt"};

    DWORD threadId = 0;
    HANDLE thread = CreateThread(nullptr, 0, openProperties, &opening, 0, &threadId);
    HWND sheet = thread ? waitForSheet(threadId, thread) : nullptr;
    if (!sheet) {
        std::printf("the Properties dialog of %s did not open\n", opening.path.c_str());
        return 1;
    }
    int tab = tabIndexOf(sheet, "Context Menu");
    if (tab < 0) {
        std::printf("the Properties dialog has no \"Context Menu\" tab: is quillon.dll registered?\n");
        PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
        WaitForSingleObject(thread, 10000);
        return 1;
    }
    SendMessageA(sheet, PSM_SETCURSEL, tab, 0);
    HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    HWND tree = GetDlgItem(page, kTreeId);
    // The first command inside the first submenu, shown with its fields.
    HTREEITEM root = next(tree, nullptr, TVGN_ROOT);
    HTREEITEM command = next(tree, root, TVGN_CHILD);
    if (command) {
        SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(root));
        SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(command));
    }
    // The focus in the tree, as after a click, so the selection shows.
    SendMessageA(page, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(tree), TRUE);
    std::printf("The \"Context Menu\" page of \"Properties for sample.txt\" (quillon.dll):\n");
    printTree(tree, root, 0);
    if (command) std::printf("Selected: %s\n", textOf(tree, command).c_str());
    std::fflush(stdout);

    HWND picker = nullptr;
    if (iconPicker && command) {
        const std::string folder = std::string(temp) + "korvane-demo\\icons";
        CreateDirectoryA(folder.c_str(), nullptr);
        CopyFileA("C:\\windows\\system32\\shell32.dll", (folder + "\\shell32.dll").c_str(), FALSE);
        picker = showIconPicker(page, threadId, folder, "shell32.dll");
        std::printf("The icon picker (\"...\" beside the Icon field) on %s\\shell32.dll%s\n",
                    folder.c_str(), picker ? "" : ": it did not open");
        std::fflush(stdout);
    }
    if (readyFile) {
        HANDLE ready = CreateFileA(readyFile, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
        if (ready != INVALID_HANDLE_VALUE) CloseHandle(ready);
    }
    if (holdMs >= 0) {
        if (WaitForSingleObject(thread, static_cast<DWORD>(holdMs)) != WAIT_OBJECT_0) {
            if (picker && IsWindow(picker)) PostMessageA(picker, WM_COMMAND, IDCANCEL, 0);
            Sleep(300);
            PostMessageA(sheet, WM_COMMAND, IDCANCEL, 0);
        }
    }
    WaitForSingleObject(thread, INFINITE);
    return 0;
}
