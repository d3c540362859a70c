// Drives Wine's own Properties dialog the way a user would, from the test's
// thread: the dialog runs on a thread of its own (as it does in Explorer),
// the test finds the sheet and its pages by title, sends the page the same
// messages that clicks and typing send, and answers message boxes from a
// watcher thread. Every wait is bounded; a step that does not finish in time
// fails its check, and a dialog thread that stays stuck ends the program
// rather than letting the test hang.
#pragma once

#include <windows.h>
#include <commctrl.h>
#include <prsht.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <doctest/doctest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "resource_ids.h"
#include "shell_host.h"
#include "store_paths.h"

namespace sheet_driver {

constexpr DWORD kWait = 5000;       // ms: one step, or one question to appear
constexpr DWORD kOpenWait = 15000;  // ms: the first sheet of a process loads the shell
constexpr UINT kCallMessage = WM_APP + 17;
constexpr int kApplyButton = 0x3021;  // the sheet's "Apply" button

// In UTF-8, so that a title may name any file.
inline std::string windowText(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return shell_host::utf8(text);
}

inline std::string className(HWND window) {
    char name[64] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

inline HTREEITEM treeNext(HWND tree, HTREEITEM item, UINT how) {
    return reinterpret_cast<HTREEITEM>(
        SendMessageA(tree, TVM_GETNEXTITEM, how, reinterpret_cast<LPARAM>(item)));
}

inline std::string treeItemText(HWND tree, HTREEITEM item) {
    char text[1024] = {};
    TVITEMA tv = {};
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = item;
    tv.pszText = text;
    tv.cchTextMax = sizeof text;
    SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
    return text;
}

// A plain function, not a lambda: on 32-bit the callback must be stdcall.
inline BOOL CALLBACK collectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

inline std::vector<HWND> threadWindows(DWORD thread) {
    std::vector<HWND> found;
    EnumThreadWindows(thread, collectWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}

// A top-level dialog of the thread with this title that is not in `known`.
inline HWND findDialog(DWORD thread, const std::string& title,
                       const std::vector<HWND>& known = {}) {
    for (HWND window : threadWindows(thread)) {
        if (className(window) != "#32770" || windowText(window) != title) continue;
        bool old = false;
        for (HWND k : known) old = old || k == window;
        if (!old) return window;
    }
    return nullptr;
}

template <typename Condition>
bool waitUntil(Condition condition, DWORD timeout = kWait) {
    const DWORD start = GetTickCount();
    for (;;) {
        if (condition()) return true;
        if (GetTickCount() - start > timeout) return false;
        Sleep(10);
    }
}

// Presses a way out of every message box of the thread (a step that timed
// out is usually waiting for one).
inline void dismissBoxes(DWORD thread) {
    for (HWND window : threadWindows(thread)) {
        if (className(window) != "#32770" || !GetWindow(window, GW_OWNER)) continue;
        if (windowText(window).rfind("Properties for ", 0) == 0) continue;
        for (int id : {IDNO, IDCANCEL, IDOK}) {
            HWND button = GetDlgItem(window, id);
            if (button && IsWindowVisible(button)) {
                PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                             reinterpret_cast<LPARAM>(button));
                break;
            }
        }
    }
}

using shell_host::showProperties;

// A thread of the test program that hosts Properties dialogs, as one of
// Explorer's windows does. Work for it is posted to a hidden window of the
// thread, so it runs inside whatever modal loop the thread is in.
class DialogThread {
public:
    DialogThread() {
        ready_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, &DialogThread::main, this, 0, &id_);
        if (!thread_ || WaitForSingleObject(ready_, kWait) != WAIT_OBJECT_0 || !agent_)
            FAIL_CHECK("the dialog thread did not start");
    }

    DialogThread(const DialogThread&) = delete;
    DialogThread& operator=(const DialogThread&) = delete;

    ~DialogThread() {
        // Whatever a test left open is cancelled, newest sheet first, and
        // any question on the way is answered "No". A round waits for the
        // call that showed the sheet to return, not only for its window to
        // go: the call still has the shell's objects to release.
        for (int round = 0; round < 8 && open_ > 0; ++round) {
            dismissBoxes(id_);
            const int before = open_;
            HWND newest = nullptr;
            for (HWND s : sheets_)
                if (IsWindow(s)) newest = s;
            if (newest) PostMessageA(newest, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
            waitUntil([&] { dismissBoxes(id_); return open_ < before; }, 2000);
        }
        if (open_ > 0) FAIL_CHECK("a Properties dialog of the test did not close");
        if (agent_) PostMessageA(agent_, WM_CLOSE, 0, 0);
        if (thread_ && WaitForSingleObject(thread_, kWait) != WAIT_OBJECT_0)
            FAIL_CHECK("the dialog thread did not end");
        if (thread_) CloseHandle(thread_);
        if (ready_) CloseHandle(ready_);
    }

    DWORD id() const { return id_; }
    int openDialogs() const { return open_; }

    // Runs `work` on this thread and waits for it to end.
    bool run(std::function<void()> work, DWORD timeout = kWait) {
        auto call = std::make_shared<Call>();
        call->work = std::move(work);
        call->done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        if (!post(call)) return false;
        if (WaitForSingleObject(call->done, timeout) == WAIT_OBJECT_0) return true;
        int queued = kQueued;
        if (call->state.compare_exchange_strong(queued, kCancelled)) {
            FAIL_CHECK("a step on the dialog thread did not start within " << timeout << " ms");
            return false;
        }
        // It runs, stuck in some modal loop: free it, since its work refers
        // to the caller's frame.
        FAIL_CHECK("a step on the dialog thread did not finish within " << timeout << " ms");
        for (int i = 0; i < 50 && WaitForSingleObject(call->done, 100) != WAIT_OBJECT_0; ++i)
            dismissBoxes(id_);
        if (WaitForSingleObject(call->done, 0) != WAIT_OBJECT_0) {
            std::fprintf(stderr, "sheet_driver: the dialog thread is stuck; ending the test\n");
            std::fflush(stderr);
            ExitProcess(3);
        }
        return false;
    }

    // Starts the shell's Properties dialog of a path on this thread and
    // waits for its sheet to appear; null (with a failed check) if it does
    // not.
    HWND openProperties(const std::string& path) {
        std::string name = path.substr(path.find_last_of('\\') + 1);
        return openSheet("Properties for " + name, [path] { showProperties(path); });
    }

    // Runs `show`, which shows a modal sheet titled `title` on this thread,
    // and waits for the sheet to appear.
    HWND openSheet(const std::string& title, std::function<void()> show) {
        std::vector<HWND> known = sheets_;
        ++open_;
        auto call = std::make_shared<Call>();
        call->work = [this, show] {
            show();
            --open_;
        };
        if (!post(call)) {
            --open_;
            return nullptr;
        }
        HWND sheet = nullptr;
        if (!waitUntil([&] { return (sheet = findDialog(id_, title, known)) != nullptr; },
                       kOpenWait))
            FAIL_CHECK("no window \"" << title << "\" appeared");
        if (sheet) sheets_.push_back(sheet);
        return sheet;
    }

private:
    enum { kQueued, kRunning, kCancelled, kDone };
    struct Call {
        std::function<void()> work;
        std::atomic<int> state{kQueued};
        HANDLE done = nullptr;
        ~Call() {
            if (done) CloseHandle(done);
        }
    };

    bool post(const std::shared_ptr<Call>& call) {
        auto* held = new std::shared_ptr<Call>(call);
        if (PostMessageA(agent_, kCallMessage, 0, reinterpret_cast<LPARAM>(held))) return true;
        delete held;
        FAIL_CHECK("could not post to the dialog thread");
        return false;
    }

    static LRESULT CALLBACK agentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        if (message == kCallMessage) {
            std::unique_ptr<std::shared_ptr<Call>> held(
                reinterpret_cast<std::shared_ptr<Call>*>(lParam));
            Call& call = **held;
            int queued = kQueued;
            if (call.state.compare_exchange_strong(queued, kRunning)) {
                try {
                    call.work();
                } catch (...) {
                }
                call.state = kDone;
                if (call.done) SetEvent(call.done);
            }
            return 0;
        }
        if (message == WM_DESTROY) PostQuitMessage(0);
        return DefWindowProcA(window, message, wParam, lParam);
    }

    static DWORD WINAPI main(void* self) {
        auto* me = static_cast<DialogThread*>(self);
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        WNDCLASSA wc = {};
        wc.lpfnWndProc = &DialogThread::agentProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "SheetDriverAgent";
        RegisterClassA(&wc);  // fails harmlessly once it exists
        me->agent_ = CreateWindowExA(0, "SheetDriverAgent", "", 0, 0, 0, 0, 0, HWND_MESSAGE,
                                     nullptr, wc.hInstance, nullptr);
        SetEvent(me->ready_);
        MSG msg;
        while (me->agent_ && GetMessageA(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        CoUninitialize();
        return 0;
    }

    HANDLE thread_ = nullptr;
    HANDLE ready_ = nullptr;
    DWORD id_ = 0;
    HWND agent_ = nullptr;
    std::atomic<int> open_{0};
    std::vector<HWND> sheets_;
};

// Waits on a thread of its own for a message box with the given title on
// the dialog thread, notes what it asks, and presses one of its buttons.
class Answer {
public:
    Answer(DWORD dialogThread, std::string title, int button, DWORD timeout = kWait)
        : dialogThread_(dialogThread), title_(std::move(title)), button_(button),
          timeout_(timeout) {
        thread_ = CreateThread(nullptr, 0, &Answer::main, this, 0, nullptr);
    }
    Answer(const Answer&) = delete;
    Answer& operator=(const Answer&) = delete;
    ~Answer() { finish(); }

    // Each waits for the watcher: whether the box came and was answered,
    // its question, its buttons ("Yes No Cancel") and its owner.
    bool asked() { return finish(), asked_; }
    const std::string& text() { return finish(), text_; }
    const std::string& buttons() { return finish(), buttons_; }
    HWND owner() { return finish(), owner_; }

private:
    void finish() {
        if (!thread_) return;
        WaitForSingleObject(thread_, timeout_ + kWait);
        CloseHandle(thread_);
        thread_ = nullptr;
    }

    static DWORD WINAPI main(void* self) {
        auto* me = static_cast<Answer*>(self);
        HWND box = nullptr;
        if (!waitUntil([&] { return (box = findDialog(me->dialogThread_, me->title_)) != nullptr; },
                       me->timeout_))
            return 0;
        // The box's controls exist once it is shown; its text is the
        // longest static text.
        waitUntil([&] { return GetDlgItem(box, IDOK) || GetDlgItem(box, IDYES) ||
                               GetDlgItem(box, IDNO); }, 1000);
        Sleep(20);
        for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            if (className(child) == "Static" && windowText(child).size() > me->text_.size())
                me->text_ = windowText(child);
        }
        static const std::pair<int, const char*> names[] = {
            {IDOK, "OK"}, {IDYES, "Yes"}, {IDNO, "No"}, {IDCANCEL, "Cancel"}};
        for (const auto& [id, name] : names) {
            HWND b = GetDlgItem(box, id);
            if (b && IsWindowVisible(b))
                me->buttons_ += std::string(me->buttons_.empty() ? "" : " ") + name;
        }
        me->owner_ = GetWindow(box, GW_OWNER);
        me->asked_ = true;
        HWND button = GetDlgItem(box, me->button_);
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(me->button_, BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
        waitUntil([&] { return !IsWindow(box); }, kWait);
        return 0;
    }

    DWORD dialogThread_;
    std::string title_;
    int button_;
    DWORD timeout_;
    HANDLE thread_ = nullptr;
    bool asked_ = false;
    std::string text_, buttons_;
    HWND owner_ = nullptr;
};

// One Properties dialog, driven from the test thread.
class Sheet {
public:
    Sheet(DialogThread& thread, const std::string& path)
        : thread_(thread), window_(thread.openProperties(path)) {}
    // A sheet that the thread has shown by other means (openSheet).
    Sheet(DialogThread& thread, HWND window) : thread_(thread), window_(window) {}

    explicit operator bool() const { return window_ != nullptr; }
    HWND window() const { return window_; }
    DialogThread& thread() { return thread_; }

    bool open() const { return window_ && IsWindow(window_); }
    bool waitClosed(DWORD timeout = kWait) {
        return waitUntil([&] { return !open(); }, timeout);
    }

    // The tab texts, "*" included.
    std::vector<std::string> tabs() {
        std::vector<std::string> names;
        thread_.run([&] {
            HWND tab = reinterpret_cast<HWND>(SendMessageA(window_, PSM_GETTABCONTROL, 0, 0));
            for (int i = 0; i < TabCtrl_GetItemCount(tab); ++i) {
                char text[260] = {};
                TCITEMA item = {};
                item.mask = TCIF_TEXT;
                item.pszText = text;
                item.cchTextMax = sizeof text;
                SendMessageA(tab, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
                names.push_back(text);
            }
        });
        return names;
    }

    // Shows the tab titled `name` ("*" aside); returns its page window.
    HWND showTab(const std::string& name) {
        const std::vector<std::string> names = tabs();
        HWND page = nullptr;
        for (size_t i = 0; i < names.size(); ++i) {
            if (names[i] != name && names[i] != "*" + name) continue;
            thread_.run([&] {
                SendMessageA(window_, PSM_SETCURSEL, i, 0);
                page = reinterpret_cast<HWND>(SendMessageA(window_, PSM_GETCURRENTPAGEHWND, 0, 0));
            });
        }
        return page;
    }

    std::string tabOf(HWND page) {
        LRESULT index = SendMessageA(window_, PSM_HWNDTOINDEX, reinterpret_cast<WPARAM>(page), 0);
        const std::vector<std::string> names = tabs();
        return index >= 0 && index < static_cast<LRESULT>(names.size()) ? names[index] : "<no tab>";
    }

    bool applyEnabled() {
        bool enabled = false;
        thread_.run([&] { enabled = IsWindowEnabled(GetDlgItem(window_, kApplyButton)) != 0; });
        return enabled;
    }

    // PSBTN_APPLYNOW, PSBTN_OK or PSBTN_CANCEL, as the user clicks them.
    void press(int button) {
        thread_.run([&] { SendMessageA(window_, PSM_PRESSBUTTON, button, 0); });
    }
    void apply() { press(PSBTN_APPLYNOW); }
    // The Escape key: the dialog manager sends the dialog its Cancel command.
    void pressEscape() {
        thread_.run([&] { SendMessageA(window_, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0); });
    }
    // The title bar's close box. The dialog posts itself its Cancel command
    // as well: that is dispatched here too, so that whatever the click asks
    // is asked before this returns.
    void clickCloseBox() {
        thread_.run([&] {
            SendMessageA(window_, WM_SYSCOMMAND, SC_CLOSE, 0);
            MSG message;
            while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&message);
                DispatchMessageA(&message);
            }
        });
    }

private:
    DialogThread& thread_;
    HWND window_;
};

// The "Context Menu" page of a sheet: its tree, fields and toolbar.
class Page {
public:
    explicit Page(Sheet& sheet) : sheet_(sheet), thread_(sheet.thread()) {
        window_ = sheet.showTab("Context Menu");
        if (!window_) {
            FAIL_CHECK("the sheet has no \"Context Menu\" page");
            return;
        }
        thread_.run([&] {
            tree_ = GetDlgItem(window_, IDC_TREE);
            toolbar_ = FindWindowExA(window_, nullptr, "ToolbarWindow32", nullptr);
        });
        if (!tree_) FAIL_CHECK("the page has no tree (control IDC_TREE, " << IDC_TREE << ")");
        if (!toolbar_) FAIL_CHECK("the page has no toolbar");
    }

    explicit operator bool() const { return window_ && tree_ && toolbar_; }
    HWND window() const { return window_; }
    HWND toolbar() const { return toolbar_; }
    DialogThread& thread() { return thread_; }

    // The user looks at another tab and comes back (PSN_SETACTIVE).
    void activate() {
        sheet_.showTab("General");
        sheet_.showTab("Context Menu");
    }
    std::string tab() { return sheet_.tabOf(window_); }

    // The tree as text: "Sub(A,---,B),C"; a separator reads "---".
    std::string tree() {
        std::string text;
        thread_.run([&] { text = branch(TVI_ROOT); });
        return text;
    }

    std::string selected() {
        std::string text = "<none>";
        thread_.run([&] {
            HTREEITEM item = caret();
            if (item) text = shortText(item);
        });
        return text;
    }

    // Selects the node at a path of node texts, "Sub/A" ("---" for the
    // first separator of a level).
    bool select(const std::string& path) {
        bool found = false;
        thread_.run([&] {
            HTREEITEM item = find(path);
            if (item) found = SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET,
                                           reinterpret_cast<LPARAM>(item)) != 0;
        });
        if (!found) FAIL_CHECK("no node \"" << path << "\" to select in " << tree());
        return found;
    }

    bool expanded(const std::string& path) {
        bool open = false;
        thread_.run([&] {
            HTREEITEM item = find(path);
            open = item && (SendMessageA(tree_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item),
                                         TVIS_EXPANDED) & TVIS_EXPANDED);
        });
        return open;
    }

    // A toolbar button clicked (commands 1 to 8).
    void command(int id) {
        thread_.run([&] {
            SendMessageA(window_, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                         reinterpret_cast<LPARAM>(toolbar_));
        });
    }
    // Buttons 1 to 8: "E" enabled, "G" greyed, else the state number.
    std::string toolbarStates() {
        std::string states;
        thread_.run([&] {
            for (int id = 1; id <= 8; ++id) {
                LRESULT s = SendMessageA(toolbar_, TB_GETSTATE, id, 0);
                if (s == -1) states += "?";
                else if (s & TBSTATE_ENABLED) states += "E";
                else if (s & TBSTATE_INDETERMINATE) states += "G";
                else states += "(" + std::to_string(s) + ")";
            }
        });
        return states;
    }

    // The enabled controls among 102 to 113, e.g. "102 103 104"; "" for none.
    std::string enabledControls() {
        std::string ids;
        thread_.run([&] {
            for (int id = IDC_CAPTION_LABEL; id <= IDC_SHOW_FOR; ++id)
                if (IsWindowEnabled(GetDlgItem(window_, id)))
                    ids += (ids.empty() ? "" : " ") + std::to_string(id);
        });
        return ids;
    }

    // The four fields: "caption|description|icon|action".
    std::string fields() {
        return text(IDC_CAPTION) + "|" + text(IDC_PROMPT) + "|" + text(IDC_ICON_PATH) + "|" + text(IDC_ACTION);
    }

    std::string text(int id) {
        std::string value;
        thread_.run([&] {
            HWND control = GetDlgItem(window_, id);
            std::vector<char> buffer(GetWindowTextLengthA(control) + 2);
            GetWindowTextA(control, buffer.data(), static_cast<int>(buffer.size()));
            value = buffer.data();
        });
        return value;
    }

    // The user clicks into an edit (which gives it the focus) and types:
    // over its whole text, or key by key at its end.
    void type(int id, const std::string& text, bool keyByKey = false) {
        thread_.run([&] {
            HWND edit = GetDlgItem(window_, id);
            SetFocus(edit);
            if (!keyByKey) SendMessageA(edit, EM_SETSEL, 0, -1);
            // Nothing typed over the whole text: the user deletes it.
            if (!keyByKey && text.empty()) SendMessageA(edit, WM_CLEAR, 0, 0);
            for (size_t i = 0; i < text.size(); i += keyByKey ? 1 : text.size()) {
                const std::string keys = text.substr(i, keyByKey ? 1 : std::string::npos);
                const int end = GetWindowTextLengthA(edit);
                if (keyByKey) SendMessageA(edit, EM_SETSEL, end, end);
                SendMessageA(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(keys.c_str()));
            }
        });
    }

    // The control id of the window with the keyboard focus (-1: none of the page).
    int focus() {
        int id = -1;
        thread_.run([&] {
            HWND f = GetFocus();
            if (f && GetParent(f) == window_) id = GetDlgCtrlID(f);
        });
        return id;
    }

private:
    HTREEITEM caret() {
        return reinterpret_cast<HTREEITEM>(SendMessageA(tree_, TVM_GETNEXTITEM, TVGN_CARET, 0));
    }
    HTREEITEM next(HTREEITEM item, UINT how) { return treeNext(tree_, item, how); }
    std::string nodeText(HTREEITEM item) { return treeItemText(tree_, item); }
    std::string shortText(HTREEITEM item) {
        std::string text = nodeText(item);
        return text == std::string(30, '-') ? "---" : text;
    }
    std::string branch(HTREEITEM parent) {
        std::string text;
        HTREEITEM item = parent == TVI_ROOT ? next(nullptr, TVGN_ROOT) : next(parent, TVGN_CHILD);
        for (; item; item = next(item, TVGN_NEXT)) {
            if (!text.empty()) text += ",";
            text += shortText(item);
            if (next(item, TVGN_CHILD)) text += "(" + branch(item) + ")";
        }
        return text;
    }
    HTREEITEM find(const std::string& path) {
        HTREEITEM parent = TVI_ROOT, item = nullptr;
        size_t start = 0;
        while (start <= path.size()) {
            size_t end = path.find('/', start);
            if (end == std::string::npos) end = path.size();
            const std::string name = path.substr(start, end - start);
            item = parent == TVI_ROOT ? next(nullptr, TVGN_ROOT) : next(parent, TVGN_CHILD);
            while (item && shortText(item) != name) item = next(item, TVGN_NEXT);
            if (!item) return nullptr;
            parent = item;
            start = end + 1;
        }
        return item;
    }

    Sheet& sheet_;
    DialogThread& thread_;
    HWND window_ = nullptr;
    HWND tree_ = nullptr;
    HWND toolbar_ = nullptr;
};

// The menu store read back as text, to compare with what the page showed.
namespace stored {

using store_paths::kIndexKey;
using store_paths::kItemsKey;

inline std::string itemKey(unsigned id) { return std::string(kItemsKey) + "\\" + std::to_string(id); }

// A value's bytes; `type` is 0 when the value is absent.
inline unsigned le32(const BYTE* b) {
    return b[0] | b[1] << 8 | b[2] << 16 | static_cast<unsigned>(b[3]) << 24;
}

inline std::vector<BYTE> read(const std::string& key, const char* name, DWORD& type) {
    std::vector<BYTE> bytes(8192);
    DWORD size = static_cast<DWORD>(bytes.size());
    type = 0;
    if (SHGetValueA(HKEY_CURRENT_USER, key.c_str(), name, &type, bytes.data(), &size) !=
        ERROR_SUCCESS)
        type = 0;
    bytes.resize(type ? size : 0);
    return bytes;
}

// A REG_SZ with its zero counted, or a REG_DWORD, as text; else what is wrong.
inline std::string value(const std::string& key, const char* name) {
    DWORD type;
    std::vector<BYTE> bytes = read(key, name, type);
    std::string s(bytes.begin(), bytes.end());
    if (type == REG_SZ && !s.empty() && s.find('\0') == s.size() - 1) return s.substr(0, s.size() - 1);
    if (type == REG_DWORD && bytes.size() == 4) return std::to_string(le32(bytes.data()));
    return type ? "<type " + std::to_string(type) + ", " + std::to_string(bytes.size()) + " bytes>"
                : "<absent>";
}

inline std::vector<std::pair<unsigned, unsigned>> entries(const char* kind) {
    DWORD type;
    std::vector<BYTE> b = read(kIndexKey, kind, type);
    std::vector<std::pair<unsigned, unsigned>> list;
    for (size_t i = 0; i + 4 <= b.size(); i += 4)
        list.emplace_back(b[i] | b[i + 1] << 8, b[i + 2] | b[i + 3] << 8);
    return list;
}

// The raw index list: "1/0 2/1 0/1"; "<absent>" without a value.
inline std::string index(const char* kind) {
    DWORD type;
    read(kIndexKey, kind, type);
    std::string text = type == REG_BINARY ? "" : type ? "<not binary>" : "<absent>";
    for (const auto& [id, parent] : entries(kind))
        text += (text.empty() ? "" : " ") + std::to_string(id) + "/" + std::to_string(parent);
    return text;
}

// An item's five values: "caption|prompt|icon|isSubMenu|action".
inline std::string item(unsigned id) {
    const std::string key = itemKey(id);
    std::string text;
    for (const char* name : {"Caption", "Prompt", "Icon", "IsSubMenu", "Action"})
        text += (text.empty() ? "" : "|") + value(key, name);
    return text;
}

// An item's optional values: "Selection|ShowFor|RunAs", "<absent>" for each
// the key does not hold.
inline std::string optional(unsigned id) {
    const std::string key = itemKey(id);
    return value(key, "Selection") + "|" + value(key, "ShowFor") + "|" + value(key, "RunAs");
}

// The list of a kind as a tree of captions and ids: "Sub#1(A#2,---,B#3),C#4".
// Entries after one whose parent is not an open submenu read "?".
inline std::string tree(const char* kind) {
    const auto list = entries(kind);
    size_t next = 0;
    std::function<std::string(unsigned)> level = [&](unsigned parent) {
        std::string out;
        for (; next < list.size() && list[next].second == parent; out += ",") {
            const unsigned id = list[next++].first;
            if (id == 0) {
                out += "---";
                continue;
            }
            out += value(itemKey(id), "Caption") + "#" + std::to_string(id);
            if (value(itemKey(id), "IsSubMenu") != "0") out += "(" + level(id) + ")";
        }
        return out.empty() ? out : out.substr(0, out.size() - 1);
    };
    std::string result = level(0);
    return next < list.size() ? result + ",?" : result;
}

inline std::string maxId() { return value(kItemsKey, "MaxID"); }

inline std::vector<unsigned> freeIds() {
    DWORD type;
    std::vector<BYTE> b = read(kItemsKey, "FreeIDs", type);
    std::vector<unsigned> ids;
    for (size_t i = 0; i + 4 <= b.size(); i += 4) ids.push_back(le32(&b[i]));
    return ids;
}

// The ids that have an item key, in increasing order.
inline std::vector<unsigned> itemKeys() {
    std::vector<unsigned> ids;
    HKEY handle;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kItemsKey, 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return ids;
    char name[64];
    for (DWORD i = 0, len = sizeof name;
         RegEnumKeyExA(handle, i, name, &len, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
         ++i, len = sizeof name)
        ids.push_back(static_cast<unsigned>(std::strtoul(name, nullptr, 10)));
    RegCloseKey(handle);
    std::sort(ids.begin(), ids.end());
    return ids;
}

}  // namespace stored

}  // namespace sheet_driver
