// The editor's tree contract, run over the Windows tree-view control through
// the page's adapter: the same tests the in-memory tree passes. The control
// lives in a window of its own whose procedure routes the control's
// notifications to the listener, as the page's dialog procedure does.
#include <doctest/doctest.h>

#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "tree_contract.h"
#include "tree_view.h"

namespace {

LRESULT CALLBACK routingProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NOTIFY) {
        auto* listener = reinterpret_cast<editor::TreeListener*>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (listener && editor::TreeView::routeNotification(reinterpret_cast<NMHDR*>(lParam), *listener))
            return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// A tree-view control with the page's styles, inside its routing parent.
class HostedTreeView final : public editor::TreeView {
public:
    explicit HostedTreeView(editor::TreeListener& listener) {
        static const ATOM registered = [] {
            WNDCLASSA windowClass = {};
            windowClass.lpfnWndProc = routingProc;
            windowClass.hInstance = GetModuleHandleA(nullptr);
            windowClass.lpszClassName = "TreeContractHost";
            return RegisterClassA(&windowClass);
        }();
        (void)registered;
        parent_ = CreateWindowExA(0, "TreeContractHost", "", WS_OVERLAPPEDWINDOW, 0, 0, 300, 300,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        SetWindowLongPtrA(parent_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&listener));
        HWND tree = CreateWindowExA(0, WC_TREEVIEWA, "",
                                    WS_CHILD | WS_VISIBLE | WS_BORDER | TVS_HASBUTTONS | TVS_HASLINES |
                                        TVS_LINESATROOT | TVS_SHOWSELALWAYS | TVS_TRACKSELECT,
                                    0, 0, 280, 280, parent_, nullptr, GetModuleHandleA(nullptr), nullptr);
        REQUIRE_MESSAGE(tree != nullptr, "the tree-view control could not be created");
        attach(tree);
    }
    ~HostedTreeView() override {
        // Deleting the items first reports them to a listener that still exists.
        SetWindowLongPtrA(parent_, GWLP_USERDATA, 0);
        DestroyWindow(parent_);
    }

private:
    HWND parent_ = nullptr;
};

struct TreeViewFactory {
    static std::unique_ptr<editor::TreePrimitives> make(editor::TreeListener& listener) {
        static const bool initialised = [] {
            INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TREEVIEW_CLASSES};
            return InitCommonControlsEx(&controls) != FALSE;
        }();
        (void)initialised;
        return std::make_unique<HostedTreeView>(listener);
    }
};

}  // namespace

TEST_CASE_TEMPLATE_INVOKE(editor_tree_contract, TreeViewFactory);
