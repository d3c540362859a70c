// korvane_demo: hosts the registered context-menu handler the way Explorer
// does, for a sample file, and shows what it builds.
//
//   korvane_demo [--screen] [--ready-file PATH] [--hold-ms N]
//
// 1. Writes a small sample menu for files into the menu store
//    (HKCU\Software\Talvex\Korvane): a submenu with two commands, a
//    separator, a command with an icon, commands and a submenu shown only
//    for some names (ShowFor), and a command that runs as administrator
//    (RunAs), which has the system's shield for its icon.
// 2. Creates a sample text file and gets the shell's own data object for it.
// 3. Creates the handler by class identifier, initialises it with the data
//    object and lets it build its menu into a real popup menu.
// 4. Prints that menu as an indented tree: caption, command id, icon, help
//    text, the names it is shown for, and the action the store holds.
// 5. Prints the menus of a sample picture and of both selected together:
//    the same store, filtered by the names selected.
// 6. Runs one command, whose action writes a file next to the sample file,
//    and prints that file.
// With --screen it then shows the menu in a window (TrackPopupMenuEx), with
// the menu's measuring and drawing messages forwarded to the handler, creates
// PATH (--ready-file) once the menu is up, so that a screenshot can be taken,
// and closes the menu after N milliseconds (--hold-ms, default 8000).
//
// Exit code 0 when everything worked, 1 otherwise.
#include <windows.h>

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "shell_host.h"
#include "store_paths.h"

namespace {

using shell_host::kClsidKorvane;

using store_paths::kStoreKey;
using store_paths::kIndexKey;
using store_paths::kItemsKey;
const char kFileKind[] = "*";
const char kResultName[] = "korvane-demo-result.txt";

const UINT kFirstId = 1;
const UINT kLastId = 0x7FFF;

struct SampleItem {
    std::uint16_t id;
    std::uint16_t parent;  // 0: top level
    const char* caption;
    const char* prompt;
    const char* icon;
    DWORD isSubMenu;
    const char* action;
    const char* showFor;  // "": shown for every name
    DWORD runAs;
};

// Pre-order, as the store keeps it. Id 0 is a separator. The text file's
// menu leaves out the picture command and the picture submenu, which its
// filter empties; the picture's menu leaves out the text command.
const SampleItem kSampleMenu[] = {
    {1, 0, "Talvex tools", "Tools for the selected file", "", 1, "", "", 0},
    {2, 1, "Write a note beside it", "Writes korvane-demo-result.txt next to the file", "", 0,
     "cmd.exe /c echo Korvane ran this command for \"%1\" in %0> korvane-demo-result.txt $(%0) $:3",
     "", 0},
    {3, 1, "List its folder", "Lists the folder of the file", "", 0,
     "cmd.exe /c dir \"%0\" $:3", "", 0},
    {0, 0, nullptr, nullptr, nullptr, 0, nullptr, nullptr, 0},
    {4, 0, "Open in Notepad", "Opens the file in Notepad",
     "C:\\windows\\system32\\shell32.dll,3", 0, "notepad.exe \"%1\"", "", 0},
    {5, 0, "Print the text", "Text and log files only", "", 0, "notepad.exe /p \"%1\"",
     "*.txt;*.log", 0},
    {6, 0, "Open as a picture", "Anything but text files", "", 0, "mspaint.exe \"%1\"", "!*.txt", 0},
    {7, 0, "Pictures", "Picture tools", "", 1, "", "", 0},
    {8, 7, "Set as wallpaper", "JPEG and PNG pictures only", "", 0,
     "control.exe desk.cpl,,@desktop \"%1\"", "*.jpg;*.png", 0},
    {0, 0, nullptr, nullptr, nullptr, 0, nullptr, nullptr, 0},
    {9, 0, "Edit hosts as administrator", "Opens the hosts file in Notepad, elevated", "", 0,
     "notepad.exe C:\\windows\\system32\\drivers\\etc\\hosts", "", 1},
};
const std::uint16_t kMaxSampleId = 9;
const std::uint16_t kCommandToRun = 2;

const SampleItem* sampleItem(std::uint16_t id) {
    for (const SampleItem& item : kSampleMenu)
        if (id != 0 && item.id == id) return &item;
    return nullptr;
}

// The sample item a menu entry shows, by its caption (each is the sample's
// only one): a filtered menu's offsets count what it shows, not the list.
const SampleItem* sampleItemCaptioned(const char* caption) {
    for (const SampleItem& item : kSampleMenu)
        if (item.id != 0 && std::strcmp(item.caption, caption) == 0) return &item;
    return nullptr;
}

bool writeSampleMenu() {
    SHDeleteKeyA(HKEY_CURRENT_USER, kStoreKey);
    shell_host::Entries index;
    for (const SampleItem& item : kSampleMenu) index.push_back({item.id, item.parent});
    bool ok = shell_host::putIndex(kFileKind, index);
    for (const SampleItem& item : kSampleMenu) {
        if (item.id == 0) continue;
        ok = shell_host::putItem(item.id, item.caption, item.isSubMenu != 0, item.action,
                                 item.prompt, item.icon) && ok;
        if (item.showFor[0]) ok = shell_host::putItemValue(item.id, "ShowFor", item.showFor) && ok;
        if (item.runAs) ok = shell_host::putItemValue(item.id, "RunAs", item.runAs) && ok;
    }
    return shell_host::putMaxId(kMaxSampleId) && ok;
}

// The store's index list for files, as the handler reads it.
std::vector<std::uint16_t> readIndexIds() {
    std::vector<std::uint16_t> ids;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kIndexKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return ids;
    BYTE data[4096];
    DWORD size = sizeof data;
    if (RegQueryValueExA(key, kFileKind, nullptr, nullptr, data, &size) == ERROR_SUCCESS) {
        for (DWORD at = 0; at + 4 <= size; at += 4)
            ids.push_back(static_cast<std::uint16_t>(data[at] | (data[at + 1] << 8)));
    }
    RegCloseKey(key);
    return ids;
}

std::string readItemString(std::uint16_t id, const char* value) {
    char key[64];
    std::snprintf(key, sizeof key, "%s\\%u", kItemsKey, static_cast<unsigned>(id));
    char data[2048] = {};
    DWORD size = sizeof data - 1;
    if (SHGetValueA(HKEY_CURRENT_USER, key, value, nullptr, data, &size) != ERROR_SUCCESS)
        return std::string();
    return data;
}

struct ComScope {
    HRESULT result;
    ComScope() : result(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result)) CoUninitialize();
    }
};

template <typename T>
void release(T*& pointer) {
    if (pointer) pointer->Release();
    pointer = nullptr;
}

struct Demo {
    IContextMenu3* menu = nullptr;
    HMENU popup = nullptr;
    std::string readyFile;
    UINT holdMs = 8000;
    bool readySignalled = false;
    bool keysSent = false;
    int popupsOpened = 0;
    bool drawnByHandler = false;
};

const UINT_PTR kCloseTimer = 1;
const UINT_PTR kReadyTimer = 2;

void signalReady(Demo& demo) {
    if (demo.readySignalled) return;
    demo.readySignalled = true;
    if (demo.readyFile.empty()) return;
    HANDLE file = CreateFileA(demo.readyFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

std::string helpText(IContextMenu3* menu, UINT offset) {
    char text[64] = {};
    menu->GetCommandString(offset, GCS_HELPTEXTA, nullptr, text, sizeof text);
    text[sizeof text - 1] = '\0';
    return text;
}

// Lets the handler measure and paint an owner-drawn icon into a memory
// bitmap; returns how many of its pixels were painted ("" when not drawn).
std::string drawIconOffscreen(IContextMenu3* menu, UINT offset, ULONG_PTR itemData) {
    MEASUREITEMSTRUCT measure = {};
    measure.CtlType = ODT_MENU;
    measure.itemID = kFirstId + offset;
    measure.itemData = itemData;
    menu->HandleMenuMsg2(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure), nullptr);

    const int width = 20;
    const int height = 16;
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    ReleaseDC(nullptr, screen);
    int painted = -1;
    if (dc && bitmap && bits) {
        HGDIOBJ old = SelectObject(dc, bitmap);
        auto* pixels = static_cast<std::uint32_t*>(bits);
        for (int i = 0; i < width * height; ++i) pixels[i] = 0x00FFFFFF;
        DRAWITEMSTRUCT draw = {};
        draw.CtlType = ODT_MENU;
        draw.itemID = kFirstId + offset;
        draw.itemAction = ODA_DRAWENTIRE;
        draw.hDC = dc;
        draw.rcItem = {0, 0, width, height};
        draw.itemData = itemData;
        menu->HandleMenuMsg2(WM_DRAWITEM, 0, reinterpret_cast<LPARAM>(&draw), nullptr);
        GdiFlush();
        painted = 0;
        for (int i = 0; i < width * height; ++i)
            if ((pixels[i] & 0x00FFFFFF) != 0x00FFFFFF) ++painted;
        SelectObject(dc, old);
    }
    if (bitmap) DeleteObject(bitmap);
    if (dc) DeleteDC(dc);
    char text[128];
    std::snprintf(text, sizeof text, "measured %ux%u, drew %d of %d pixels",
                  measure.itemWidth, measure.itemHeight, painted, width * height);
    return text;
}

std::string iconText(IContextMenu3* handler, const MENUITEMINFOA& item, UINT offset,
                     std::uint16_t storeId) {
    std::string location = storeId ? readItemString(storeId, "Icon") : std::string();
    const SampleItem* sample = sampleItem(storeId);
    std::string text;
    if (item.hbmpItem == HBMMENU_CALLBACK) {
        char data[48];
        std::snprintf(data, sizeof data, "owner-drawn, item data %lu",
                      static_cast<unsigned long>(item.dwItemData));
        text = data;
        text += ", " + drawIconOffscreen(handler, offset, item.dwItemData);
    } else if (item.hbmpChecked || item.hbmpUnchecked) {
        text = "check-mark bitmap";
    } else if (item.hbmpItem) {
        text = "bitmap";
    } else {
        text = "none";
    }
    if (!location.empty()) text += ", from " + location;
    else if (sample && sample->runAs) text += ", the system's shield (RunAs: starts elevated)";
    return text;
}

void printMenu(IContextMenu3* handler, HMENU menu, int depth) {
    const int count = GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        char caption[128] = {};
        MENUITEMINFOA item = {};
        item.cbSize = sizeof item;
        item.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE | MIIM_SUBMENU | MIIM_BITMAP |
                     MIIM_DATA | MIIM_CHECKMARKS;
        item.dwTypeData = caption;
        item.cch = sizeof caption;
        if (!GetMenuItemInfoA(menu, static_cast<UINT>(position), TRUE, &item)) continue;
        std::printf("%*s", depth * 4, "");
        if (item.fType & MFT_SEPARATOR) {
            std::printf("---------- (separator)\n");
            continue;
        }
        const UINT offset = item.wID - kFirstId;
        const SampleItem* sample = sampleItemCaptioned(caption);
        const std::uint16_t storeId = sample ? sample->id : 0;
        std::printf("%s%s\n", caption, item.hSubMenu ? "  >" : "");
        std::printf("%*s    id %u (offset %u, store item %u)\n", depth * 4, "", item.wID, offset,
                    static_cast<unsigned>(storeId));
        std::printf("%*s    icon:   %s\n", depth * 4, "",
                    iconText(handler, item, offset, storeId).c_str());
        std::printf("%*s    help:   \"%s\"\n", depth * 4, "",
                    helpText(handler, offset).c_str());
        if (sample && sample->showFor[0])
            std::printf("%*s    shown for: \"%s\"\n", depth * 4, "", sample->showFor);
        if (item.hSubMenu) {
            printMenu(handler, item.hSubMenu, depth + 1);
        } else {
            std::printf("%*s    action: %s\n", depth * 4, "",
                        readItemString(storeId, "Action").c_str());
        }
    }
}

// The handler as Explorer creates it for `paths`, initialised with the
// shell's data object; null, said why, when any step fails.
IContextMenu3* handlerFor(const std::vector<std::string>& paths) {
    IDataObject* data = shell_host::dataObjectFor(paths);
    if (!data) {
        std::printf("the shell gave no data object for %s\n", paths.front().c_str());
        return nullptr;
    }
    IShellExtInit* init = nullptr;
    HRESULT result = CoCreateInstance(kClsidKorvane, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellExtInit, reinterpret_cast<void**>(&init));
    if (FAILED(result)) {
        std::printf("CoCreateInstance of the handler failed: 0x%08lX (is korvane.dll registered?)\n",
                    static_cast<unsigned long>(result));
        release(data);
        return nullptr;
    }
    result = init->Initialize(nullptr, data, nullptr);
    release(data);
    if (FAILED(result)) {
        std::printf("Initialize failed: 0x%08lX\n", static_cast<unsigned long>(result));
        release(init);
        return nullptr;
    }
    IContextMenu3* menu = nullptr;
    result = init->QueryInterface(IID_IContextMenu3, reinterpret_cast<void**>(&menu));
    release(init);
    if (FAILED(result)) {
        std::printf("the handler has no IContextMenu3: 0x%08lX\n", static_cast<unsigned long>(result));
        return nullptr;
    }
    return menu;
}

// What each selection's menu must be, captions nested: "Sub(A,B),---,C".
const char kTextFileMenu[] =
    "Talvex tools(Write a note beside it,List its folder),---,Open in Notepad,Print the text,---,"
    "Edit hosts as administrator";
const char kPictureMenu[] =
    "Talvex tools(Write a note beside it,List its folder),---,Open in Notepad,Open as a picture,"
    "Pictures(Set as wallpaper),---,Edit hosts as administrator";
const char kBothMenu[] =
    "Talvex tools(Write a note beside it,List its folder),---,Open in Notepad,---,"
    "Edit hosts as administrator";

std::string captionAt(HMENU menu, int position) {
    char caption[128] = {};
    GetMenuStringA(menu, static_cast<UINT>(position), caption, sizeof caption, MF_BYPOSITION);
    return caption;
}

std::string outlineOf(HMENU menu) {
    std::string out;
    for (int position = 0; position < GetMenuItemCount(menu); ++position) {
        if (!out.empty()) out += ",";
        if (GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION) & MF_SEPARATOR) {
            out += "---";
            continue;
        }
        out += captionAt(menu, position);
        if (HMENU sub = GetSubMenu(menu, position)) out += "(" + outlineOf(sub) + ")";
    }
    return out;
}

void printOutline(HMENU menu, int depth) {
    for (int position = 0; position < GetMenuItemCount(menu); ++position) {
        std::printf("%*s", depth * 2, "");
        if (GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION) & MF_SEPARATOR) {
            std::printf("----------\n");
            continue;
        }
        const std::string caption = captionAt(menu, position);
        const SampleItem* sample = sampleItemCaptioned(caption.c_str());
        HMENU sub = GetSubMenu(menu, position);
        std::printf("%s%s", caption.c_str(), sub ? "  >" : "");
        if (sample && sample->showFor[0]) std::printf("   (shown for \"%s\")", sample->showFor);
        std::printf("\n");
        if (sub) printOutline(sub, depth + 1);
    }
}

// The command offset of the entry captioned `caption`; -1 when none is.
int offsetOf(HMENU menu, const char* caption) {
    for (int position = 0; position < GetMenuItemCount(menu); ++position) {
        if (HMENU sub = GetSubMenu(menu, position)) {
            int inside = offsetOf(sub, caption);
            if (inside >= 0) return inside;
        } else if (captionAt(menu, position) == caption) {
            return static_cast<int>(GetMenuItemID(menu, position) - kFirstId);
        }
    }
    return -1;
}

std::string baseNames(const std::vector<std::string>& paths) {
    std::string out;
    for (const std::string& path : paths)
        out += (out.empty() ? "" : ", ") + path.substr(path.find_last_of('\\') + 1);
    return out;
}

std::string readWholeFile(const std::string& path) {
    std::string text;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) text.append(buffer, got);
    CloseHandle(file);
    return text;
}

// Runs the command at `offset` as Explorer does, and waits for its result.
bool runCommand(const Demo& demo, UINT offset, const std::string& resultPath) {
    DeleteFileA(resultPath.c_str());
    CMINVOKECOMMANDINFO invoke = {};
    invoke.cbSize = sizeof invoke;
    invoke.lpVerb = MAKEINTRESOURCEA(offset);
    invoke.nShow = SW_SHOWNORMAL;
    HRESULT result = demo.menu->InvokeCommand(&invoke);
    std::printf("InvokeCommand(offset %u) -> 0x%08lX\n", offset, static_cast<unsigned long>(result));
    for (int waited = 0; waited < 200; ++waited) {
        std::string text = readWholeFile(resultPath);
        if (!text.empty() && text.find('\n') != std::string::npos) {
            std::printf("%s now holds:\n    %s", resultPath.c_str(), text.c_str());
            if (text.back() != '\n') std::printf("\n");
            return true;
        }
        Sleep(50);
    }
    std::printf("the command wrote nothing to %s within 10 seconds\n", resultPath.c_str());
    return false;
}

LRESULT handleWindowMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    Demo* demo = reinterpret_cast<Demo*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    switch (message) {
    case WM_INITMENUPOPUP:
        if (demo) ++demo->popupsOpened;
        [[fallthrough]];
    case WM_MEASUREITEM:
    case WM_DRAWITEM:
    case WM_MENUCHAR:
        if (demo && demo->menu) {
            if (message == WM_DRAWITEM) demo->drawnByHandler = true;
            LRESULT handled = 0;
            demo->menu->HandleMenuMsg2(message, wParam, lParam, &handled);
            if (message == WM_MEASUREITEM || message == WM_DRAWITEM) return TRUE;
            return handled;
        }
        break;
    case WM_ENTERIDLE:
        // The menu is up and painted once its loop goes idle. The first
        // time, open the submenu with the keyboard, as a user would; the
        // menu is ready for a picture once the submenu is painted too.
        if (demo && wParam == MSGF_MENU && !demo->readySignalled) {
            if (!demo->keysSent) {
                demo->keysSent = true;
                const BYTE keys[] = {VK_DOWN, VK_RIGHT};
                for (BYTE key : keys) {
                    keybd_event(key, 0, 0, 0);
                    keybd_event(key, 0, KEYEVENTF_KEYUP, 0);
                }
                SetTimer(window, kReadyTimer, 1500, nullptr);
            } else if (demo->popupsOpened >= 2) {
                signalReady(*demo);
            }
        }
        break;
    case WM_TIMER:
        KillTimer(window, wParam);
        if (wParam == kReadyTimer) {
            if (demo) signalReady(*demo);  // the submenu did not open: show what is up
        } else {
            EndMenu();
        }
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Nothing may unwind through the system's message dispatch.
    try {
        return handleWindowMessage(window, message, wParam, lParam);
    } catch (...) {
        return DefWindowProcA(window, message, wParam, lParam);
    }
}

bool showMenuOnScreen(Demo& demo) {
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = "KorvaneDemoWindow";
    if (!RegisterClassA(&windowClass)) return false;
    HWND window = CreateWindowExA(0, windowClass.lpszClassName, "Korvane demo - sample.txt",
                                  WS_OVERLAPPEDWINDOW, 40, 40, 640, 420, nullptr, nullptr,
                                  windowClass.hInstance, nullptr);
    if (!window) return false;
    SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&demo));
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    SetForegroundWindow(window);

    SetTimer(window, kCloseTimer, demo.holdMs, nullptr);
    POINT at = {90, 80};
    ClientToScreen(window, &at);
    UINT chosen = static_cast<UINT>(TrackPopupMenuEx(
        demo.popup, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x, at.y,
        window, nullptr));
    std::printf("menu shown on screen (%d menus opened, %s), closed %s\n", demo.popupsOpened,
                demo.drawnByHandler ? "icons drawn by the handler" : "no icon drawn",
                chosen ? "with a choice" : "without a choice");
    DestroyWindow(window);
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    return demo.readySignalled;
}

int run(int argc, char** argv) {
    Demo demo;
    bool screen = false;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--screen") {
            screen = true;
        } else if (arg == "--ready-file" && i + 1 < argc) {
            demo.readyFile = argv[++i];
        } else if (arg == "--hold-ms" && i + 1 < argc) {
            demo.holdMs = static_cast<UINT>(std::strtoul(argv[++i], nullptr, 10));
        } else {
            std::fprintf(stderr, "usage: korvane_demo [--screen] [--ready-file PATH] [--hold-ms N]\n");
            return 2;
        }
    }

    if (!writeSampleMenu()) {
        std::printf("could not write the sample menu into HKCU\\%s\n", kStoreKey);
        return 1;
    }
    std::printf("Sample menu written to HKCU\\%s (%u entries for files)\n", kStoreKey,
                static_cast<unsigned>(readIndexIds().size()));

    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    std::string folder = std::string(temp) + "korvane-demo";
    CreateDirectoryA(folder.c_str(), nullptr);
    std::string sample = folder + "\\sample.txt";
    std::string resultPath = folder + "\\" + kResultName;
    HANDLE file = CreateFileA(sample.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::printf("could not create %s\n", sample.c_str());
        return 1;
    }
    const char content[] = "A sample file for the Korvane demo.\r\n";
    DWORD written = 0;
    WriteFile(file, content, sizeof content - 1, &written, nullptr);
    CloseHandle(file);

    // A picture beside it, for the filtered menus.
    std::string picture = folder + "\\sample.jpg";
    HANDLE pictureFile = CreateFileA(picture.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
    if (pictureFile == INVALID_HANDLE_VALUE) {
        std::printf("could not create %s\n", picture.c_str());
        return 1;
    }
    CloseHandle(pictureFile);

    ComScope com;
    demo.menu = handlerFor({sample});
    if (!demo.menu) return 1;
    demo.popup = CreatePopupMenu();
    HRESULT result = demo.menu->QueryContextMenu(demo.popup, 0, kFirstId, kLastId, CMF_NORMAL);
    std::printf("\nMenu that korvane.dll builds for %s\n", sample.c_str());
    std::printf("(QueryContextMenu -> 0x%08lX, %lu entries plus one)\n\n",
                static_cast<unsigned long>(result), static_cast<unsigned long>(HRESULT_CODE(result)) - 1);
    printMenu(demo.menu, demo.popup, 0);
    std::printf("\n");
    bool ok = SUCCEEDED(result) && GetMenuItemCount(demo.popup) > 0;

    // The same store for other selections: each item shows only where every
    // selected name matches its ShowFor patterns.
    struct Filtered { const char* what; std::vector<std::string> paths; const char* expected; };
    const Filtered filtered[] = {
        {"the text file", {sample}, kTextFileMenu},
        {"the picture", {picture}, kPictureMenu},
        {"both selected", {sample, picture}, kBothMenu},
    };
    std::printf("The menus of other selections, filtered by the names' ShowFor patterns:\n");
    for (const Filtered& row : filtered) {
        IContextMenu3* handler = handlerFor(row.paths);
        if (!handler) return 1;
        HMENU popup = CreatePopupMenu();
        handler->QueryContextMenu(popup, 0, kFirstId, kLastId, CMF_NORMAL);
        const std::string outline = outlineOf(popup);
        std::printf("\n  %s (%s):\n", row.what, baseNames(row.paths).c_str());
        printOutline(popup, 2);
        if (outline != row.expected) {
            std::printf("  ** expected the menu %s\n     but korvane.dll built %s\n", row.expected,
                        outline.c_str());
            ok = false;
        }
        DestroyMenu(popup);
        release(handler);
    }
    std::printf("\n");

    const SampleItem& toRun = *sampleItem(kCommandToRun);
    const int offset = offsetOf(demo.popup, toRun.caption);
    std::printf("Running \"%s\": %s\n", toRun.caption, toRun.action);
    if (offset < 0) std::printf("the menu has no \"%s\"\n", toRun.caption);
    ok = offset >= 0 && runCommand(demo, static_cast<UINT>(offset), resultPath) && ok;

    if (screen) {
        std::printf("\n");
        ok = showMenuOnScreen(demo) && ok;
    }

    DestroyMenu(demo.popup);
    release(demo.menu);
    return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return run(argc, argv);
    } catch (...) {
        std::printf("unexpected failure\n");
        return 1;
    }
}
