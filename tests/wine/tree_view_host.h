// A tree-view control with the page's styles in a window of its own, whose
// procedure routes the control's notifications to a listener as the page's
// dialog procedure does. For programs that run the editor's code over the
// real control without a property sheet.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "tree_view.h"

namespace tree_view_host {

inline LRESULT CALLBACK routingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY) {
        auto* listener = reinterpret_cast<editor::TreeListener*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (listener && editor::TreeView::routeNotification(reinterpret_cast<NMHDR*>(lParam), *listener))
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

class HostedTreeView final : public editor::TreeView {
public:
    // The listener may be set later, but before the first insertion.
    explicit HostedTreeView(editor::TreeListener* listener = nullptr) {
        static const bool registered = [] {
            INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES};
            InitCommonControlsEx(&controls);
            WNDCLASSA windowClass = {};
            windowClass.lpfnWndProc = routingProc;
            windowClass.hInstance = GetModuleHandleA(nullptr);
            windowClass.lpszClassName = "TreeViewHost";
            return RegisterClassA(&windowClass) != 0;
        }();
        (void)registered;
        parent_ = CreateWindowExA(0, "TreeViewHost", "", WS_OVERLAPPEDWINDOW, 0, 0, 300, 300,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        setListener(listener);
        attach(CreateWindowExA(0, WC_TREEVIEWA, "",
                               WS_CHILD | WS_VISIBLE | WS_BORDER | TVS_HASBUTTONS | TVS_HASLINES |
                                   TVS_LINESATROOT | TVS_SHOWSELALWAYS | TVS_TRACKSELECT,
                               0, 0, 280, 280, parent_, nullptr, GetModuleHandleA(nullptr), nullptr));
    }
    HostedTreeView(const HostedTreeView&) = delete;
    HostedTreeView& operator=(const HostedTreeView&) = delete;
    ~HostedTreeView() override {
        setListener(nullptr);  // the items go with the window, unreported
        DestroyWindow(parent_);
    }
    void setListener(editor::TreeListener* listener) {
        SetWindowLongPtrA(parent_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(listener));
    }

private:
    HWND parent_ = nullptr;
};

}  // namespace tree_view_host
