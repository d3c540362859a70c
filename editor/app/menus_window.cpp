#include "menus_window.h"

#include <windows.h>

#include <string>

#include "menus_commands.h"
#include "store_layout.h"
#include "menus_model.h"
#include "system_code_page.h"
#include "talvex_names.h"

namespace talvex_app {

namespace {

constexpr wchar_t kWindowClass[] = L"TalvexMenusWindow";
constexpr wchar_t kWindowTitle[] = L"" TALVEX_MENUS_TITLE;
// Button ids: the kinds' buttons are kFirstKindButton + the kind's index.
constexpr int kFirstKindButton = 100;
constexpr int kExportButton = 200;
constexpr int kImportButton = 201;

constexpr int kMargin = 12, kButtonWidth = 200, kButtonHeight = 28, kGap = 6;

// Each page runs in a talvex.exe of its own, as from the command line: the
// window stays free for the others, and a page that fails takes only itself.
void openPage(HWND window, int kind) {
    wchar_t self[MAX_PATH] = L"";
    if (!GetModuleFileNameW(nullptr, self, MAX_PATH)) return;
    std::wstring line = L"\"" + std::wstring(self) + L"\" " +
                        wideFromUtf8(store::kContextKinds[kind]);
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION started = {};
    if (CreateProcessW(self, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &started)) {
        CloseHandle(started.hThread);
        CloseHandle(started.hProcess);
        return;
    }
    BoxOutput(window).say(L"The page could not be opened: error " + std::to_wstring(GetLastError()) + L".",
                          Tone::Error);
}

HWND addButton(HWND window, const std::wstring& text, int id, int top, HFONT font) {
    HWND button = CreateWindowExW(0, L"BUTTON", text.c_str(),
                                  WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON, kMargin, top,
                                  kButtonWidth, kButtonHeight, window,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                  GetModuleHandleW(nullptr), nullptr);
    if (button) SendMessageW(button, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return button;
}

void createButtons(HWND window) {
    HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    int top = kMargin;
    for (int kind = 0; kind < store::kContextKindCount; ++kind, top += kButtonHeight + kGap)
        addButton(window, wideFromUtf8(menus_file::kindTitle(kind)), kFirstKindButton + kind, top, font);
    top += kGap * 2;
    addButton(window, L"Export...", kExportButton, top, font);
    addButton(window, L"Import...", kImportButton, top + kButtonHeight + kGap, font);
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // Nothing thrown may leave for the system's code that called in.
    try {
        switch (message) {
            case WM_CREATE:
                createButtons(window);
                return 0;
            case WM_COMMAND: {
                const int id = LOWORD(wParam);
                if (id >= kFirstKindButton && id < kFirstKindButton + store::kContextKindCount) {
                    openPage(window, id - kFirstKindButton);
                } else if (id == kExportButton || id == kImportButton) {
                    BoxOutput boxes(window);
                    if (id == kExportButton) exportMenus(nullptr, boxes, window);
                    else importMenus(nullptr, boxes, window);
                }
                return 0;
            }
            case WM_DESTROY:
                PostQuitMessage(0);
                return 0;
        }
    } catch (...) {
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

int runMenusWindow() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(1));
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&windowClass)) return kExitFailed;

    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT area = {0, 0, kButtonWidth + 2 * kMargin,
                 kMargin * 2 + (store::kContextKindCount + 2) * (kButtonHeight + kGap) + kGap * 2};
    AdjustWindowRect(&area, style, FALSE);
    HWND window = CreateWindowExW(0, kWindowClass, kWindowTitle, style, CW_USEDEFAULT, CW_USEDEFAULT,
                                  area.right - area.left, area.bottom - area.top, nullptr, nullptr,
                                  instance, nullptr);
    if (!window) return kExitFailed;
    ShowWindow(window, SW_SHOWNORMAL);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (IsDialogMessageW(window, &message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return kExitDone;
}

}  // namespace talvex_app
