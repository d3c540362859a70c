// Answers every message box that the dialog threads show, for as long as it
// lives: each by the button planned for its title, and a box nobody planned
// for by a way out (No, Cancel or OK). It notes each box (title, question,
// buttons, owner), so that a step driven synchronously on the dialog thread
// can say at once what it asked, with no waiting for a box that never comes.
#pragma once

#include <windows.h>

#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "sheet_driver.h"

namespace box_answerer {

struct Box {
    std::string title, text, buttons;
    HWND owner = nullptr;
    bool planned = false;
    std::string pressed;
};

class BoxAnswerer {
public:
    explicit BoxAnswerer(std::vector<DWORD> threads) : threads_(std::move(threads)) {
        stop_ = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        thread_ = CreateThread(nullptr, 0, &BoxAnswerer::main, this, 0, nullptr);
    }
    BoxAnswerer(const BoxAnswerer&) = delete;
    BoxAnswerer& operator=(const BoxAnswerer&) = delete;
    ~BoxAnswerer() {
        SetEvent(stop_);
        if (thread_) WaitForSingleObject(thread_, 5000), CloseHandle(thread_);
        CloseHandle(stop_);
    }

    // The button for the next box with this title (IDYES, IDNO, IDCANCEL, IDOK).
    void plan(const std::string& title, int button) {
        std::lock_guard<std::mutex> hold(lock_);
        plans_[title] = button;
    }
    // Forgets every plan not used yet: a step plans only for itself.
    void forgetPlans() {
        std::lock_guard<std::mutex> hold(lock_);
        plans_.clear();
    }
    // The boxes answered since the last call.
    std::vector<Box> take() {
        std::lock_guard<std::mutex> hold(lock_);
        std::vector<Box> out;
        out.swap(seen_);
        return out;
    }

private:
    static const char* nameOf(int id) {
        switch (id) {
            case IDOK: return "OK";
            case IDYES: return "Yes";
            case IDNO: return "No";
            case IDCANCEL: return "Cancel";
            default: return "?";
        }
    }

    void answer(HWND window) {
        using sheet_driver::className;
        using sheet_driver::windowText;
        // The box is ready once it shows one of its buttons.
        if (!IsWindowVisible(window)) return;
        Box box;
        box.title = windowText(window);
        box.owner = GetWindow(window, GW_OWNER);
        std::vector<int> present;
        for (int id : {IDOK, IDYES, IDNO, IDCANCEL}) {
            HWND b = GetDlgItem(window, id);
            if (b && IsWindowVisible(b)) {
                present.push_back(id);
                box.buttons += std::string(box.buttons.empty() ? "" : " ") + nameOf(id);
            }
        }
        if (present.empty()) return;
        for (HWND c = GetWindow(window, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            if (className(c) == "Static" && windowText(c).size() > box.text.size())
                box.text = windowText(c);
        int button = 0;
        {
            std::lock_guard<std::mutex> hold(lock_);
            auto plan = plans_.find(box.title);
            if (plan != plans_.end()) {
                for (int id : present) button = id == plan->second ? id : button;
                box.planned = button != 0;
                plans_.erase(plan);
            }
        }
        for (int way : {IDNO, IDCANCEL, IDOK})
            for (int id : present) button = button ? button : (id == way ? id : 0);
        box.pressed = nameOf(button);
        answered_.insert(window);
        {
            // Noted before the click: the step may end, and ask what it
            // asked, as soon as the box is gone.
            std::lock_guard<std::mutex> hold(lock_);
            seen_.push_back(box);
        }
        PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(window, button)));
    }

    void look() {
        using sheet_driver::className;
        using sheet_driver::windowText;
        for (DWORD thread : threads_) {
            for (HWND window : sheet_driver::threadWindows(thread)) {
                if (className(window) != "#32770" || !GetWindow(window, GW_OWNER)) continue;
                if (windowText(window).rfind("Properties for ", 0) == 0) continue;
                if (answered_.count(window)) continue;
                answer(window);
            }
        }
        // A box's handle may come again for a later box once it is gone.
        for (auto it = answered_.begin(); it != answered_.end();)
            it = IsWindow(*it) ? std::next(it) : answered_.erase(it);
    }

    static DWORD WINAPI main(void* self) {
        auto* me = static_cast<BoxAnswerer*>(self);
        while (WaitForSingleObject(me->stop_, 5) == WAIT_TIMEOUT) me->look();
        return 0;
    }

    std::vector<DWORD> threads_;
    HANDLE stop_ = nullptr;
    HANDLE thread_ = nullptr;
    std::mutex lock_;
    std::map<std::string, int> plans_;
    std::vector<Box> seen_;
    std::set<HWND> answered_;  // touched by the watcher thread only
};

}  // namespace box_answerer
