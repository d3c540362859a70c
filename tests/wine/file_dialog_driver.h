// Drives the dialogs the page opens over its own thread's modal loop: the
// system's Open dialog (for programs, files and icons, with the icon
// picker's panel), the folder browser and the action menu. The page command
// that opens one is posted, so the dialog thread is free to run the dialog;
// every step after that runs on the dialog thread through its agent window,
// which the modal loop still serves. Names and paths are UTF-8 here: the
// page's dialogs are the UTF-16 ones, whose CDM_* messages take UTF-16
// whether sent as A or W.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <dlgs.h>

#include <string>
#include <vector>

#include "sheet_driver.h"

namespace file_dialog_driver {

using namespace sheet_driver;

using shell_host::utf8;
using shell_host::wide;

inline std::vector<HWND> descendants(HWND window) {
    std::vector<HWND> found;
    EnumChildWindows(window, sheet_driver::collectWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

inline HWND descendant(HWND window, const char* className, int id = -1) {
    for (HWND child : descendants(window))
        if (sheet_driver::className(child) == className && (id < 0 || GetDlgCtrlID(child) == id))
            return child;
    return nullptr;
}

// A page command as the action menu or a button sends it, posted.
inline void postCommand(HWND page, int id, int code = 0, HWND from = nullptr) {
    PostMessageA(page, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(from));
}

// A dialog the page opened; found by its title on the dialog thread.
class ModalDialog {
public:
    ModalDialog(DialogThread& thread, const std::string& title) : thread_(thread) {
        waitUntil([&] { return (window_ = findDialog(thread.id(), title)) != nullptr; });
        if (!window_) FAIL_CHECK("no dialog \"" << title << "\" appeared");
        else waitUntil([&] { return IsWindowVisible(window_) != 0; });
    }
    explicit operator bool() const { return window_ != nullptr; }
    HWND window() const { return window_; }
    bool open() const { return window_ && IsWindow(window_); }
    bool waitClosed() { return waitUntil([&] { return !open(); }); }

    void press(int button) {
        run([&] { SendMessageA(GetDlgItem(window_, button), BM_CLICK, 0, 0); });
    }
    // Presses the button without waiting: what it starts may be modal.
    void post(int button) {
        PostMessageA(window_, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window_, button)));
    }
    // Presses the button and waits for the dialog to close.
    bool close(int button) {
        if (!window_) return false;
        post(button);
        return waitClosed();
    }
    // All static texts of the dialog, one per line.
    std::string statics() {
        std::string text;
        run([&] {
            for (HWND child : descendants(window_))
                if (className(child) == "Static" && !windowText(child).empty())
                    text += windowText(child) + "\n";
        });
        return text;
    }

protected:
    void run(std::function<void()> work) { thread_.run(std::move(work)); }
    DialogThread& thread_;
    HWND window_ = nullptr;
};

// The Open dialog, and the icon picker's panel when it has one.
class OpenDialog : public ModalDialog {
public:
    explicit OpenDialog(DialogThread& thread) : ModalDialog(thread, "Open") {}

    // The file-type list: "description;description".
    std::string filters() {
        std::string text;
        run([&] {
            HWND types = GetDlgItem(window_, cmb1);
            for (LRESULT i = 0, n = SendMessageA(types, CB_GETCOUNT, 0, 0); i < n; ++i) {
                char item[256] = {};
                SendMessageA(types, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
                text += (text.empty() ? "" : ";") + std::string(item);
            }
        });
        return text;
    }

    std::string folder() {
        wchar_t path[MAX_PATH] = {};
        run([&] { SendMessageW(window_, CDM_GETFOLDERPATH, MAX_PATH, reinterpret_cast<LPARAM>(path)); });
        return utf8(path);
    }

    // The user types into the file-name field.
    void typeName(const std::string& name) {
        const std::wstring text = wide(name);
        run([&] { SendMessageW(window_, CDM_SETCONTROLTEXT, fileNameControl(), reinterpret_cast<LPARAM>(text.c_str())); });
    }
    // Types a file or folder name and presses Open: a folder is entered.
    void enter(const std::string& name) {
        typeName(name);
        press(IDOK);
    }

    // The user clicks the file (or folder) of this name in the file list.
    bool select(const std::string& name) {
        bool found = false;
        const std::wstring text = wide(name);
        run([&] {
            HWND files = descendant(window_, "SysListView32");
            LVFINDINFOW find = {};
            find.flags = LVFI_STRING;
            find.psz = text.c_str();
            int at = static_cast<int>(SendMessageW(files, LVM_FINDITEMW, -1, reinterpret_cast<LPARAM>(&find)));
            if (at < 0) return;
            LVITEMA state = {};
            state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
            state.state = 0;
            SendMessageA(files, LVM_SETITEMSTATE, -1, reinterpret_cast<LPARAM>(&state));
            state.state = LVIS_SELECTED | LVIS_FOCUSED;
            found = SendMessageA(files, LVM_SETITEMSTATE, at, reinterpret_cast<LPARAM>(&state)) != 0;
        });
        if (!found) FAIL_CHECK("no \"" << name << "\" in the Open dialog's file list (" << folder() << ")");
        return found;
    }

    // The icon list of the picker's panel (control 505).
    HWND iconList() { return descendant(window_, "ListBox", 505); }
    int iconCount() {
        LRESULT n = -1;
        run([&] { n = SendMessageA(iconList(), LB_GETCOUNT, 0, 0); });
        return static_cast<int>(n);
    }
    // Entries of the icon list that have no picture to draw.
    int iconsWithoutPicture() {
        int n = 0;
        run([&] {
            HWND list = iconList();
            const LRESULT count = SendMessageA(list, LB_GETCOUNT, 0, 0);
            for (LRESULT i = 0; i < count; ++i)
                if (SendMessageA(list, LB_GETITEMDATA, i, 0) == 0) ++n;
        });
        return n;
    }
    int iconSelection() {
        LRESULT n = -1;
        run([&] { n = SendMessageA(iconList(), LB_GETCURSEL, 0, 0); });
        return static_cast<int>(n);
    }
    // Clicks the cell of an icon; twice when `doubleClick`.
    void clickIcon(int index, bool doubleClick = false) {
        run([&] {
            HWND list = iconList();
            RECT cell = {};
            SendMessageA(list, LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&cell));
            LPARAM at = MAKELPARAM((cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2);
            SendMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
            SendMessageA(list, WM_LBUTTONUP, 0, at);
            if (doubleClick) {
                SendMessageA(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
                SendMessageA(list, WM_LBUTTONUP, 0, at);
            }
        });
    }
    // The user tabs into the icon list from the file-name field.
    void focusIcons() {
        run([&] {
            SetFocus(GetDlgItem(window_, fileNameControl()));
            SendMessageA(window_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(iconList()), TRUE);
        });
    }
    bool iconsFocused() {
        bool focused = false;
        run([&] { focused = GetFocus() == iconList(); });
        return focused;
    }
    // The window rectangles of the file list area and the icon list.
    RECT rectOf(HWND window) {
        RECT r = {};
        run([&] { GetWindowRect(window, &r); });
        return r;
    }

private:
    int fileNameControl() { return GetDlgItem(window_, cmb13) ? cmb13 : edt1; }
};

}  // namespace file_dialog_driver
