#include "page_window.h"

#include <commctrl.h>
#include <prsht.h>

#include <new>

#include "action_menu.h"
#include "activation_context.h"
#include "com_boundary.h"
#include "file_pickers.h"
#include "modified_marker.h"
#include "page_controller.h"
#include "quillon_module.h"
#include "registry_key_store.h"
#include "resource_ids.h"
#include "server_module.h"
#include "shared_save_counts.h"
#include "store_lock.h"
#include "toolbar_images.h"
#include "tree_view.h"

namespace editor {

namespace {

constexpr int kToolbarButtons = 8;
// Posted to the page after each cancel it has handled.
constexpr UINT kCancelAnswered = WM_APP + 1;

class ToolbarView final : public ToolbarButtons {
public:
    HWND window = nullptr;
    void setButtonEnabled(int command, bool enabled) override {
        SendMessageA(window, TB_SETSTATE, command,
                     MAKELONG(enabled ? TBSTATE_ENABLED : TBSTATE_INDETERMINATE, 0));
    }
};

// The sheet's Apply button and the page's own tab.
class SheetView final : public SheetTab {
public:
    explicit SheetView(HWND page) : page_(page) {}
    void sendChanged() override {
        SendMessageA(GetParent(page_), PSM_CHANGED, reinterpret_cast<WPARAM>(page_), 0);
    }
    void sendUnchanged() override {
        SendMessageA(GetParent(page_), PSM_UNCHANGED, reinterpret_cast<WPARAM>(page_), 0);
    }
    void readTabText(char* text, std::size_t size) override {
        if (size == 0) return;
        text[0] = '\0';
        TCITEMA tab = {};
        tab.mask = TCIF_TEXT;
        tab.pszText = text;
        tab.cchTextMax = static_cast<int>(size);
        SendMessageA(tabs(), TCM_GETITEMA, tabIndex(), reinterpret_cast<LPARAM>(&tab));
        text[size - 1] = '\0';
    }
    void writeTabText(const char* text) override {
        TCITEMA tab = {};
        tab.mask = TCIF_TEXT;
        tab.pszText = const_cast<char*>(text);
        SendMessageA(tabs(), TCM_SETITEMA, tabIndex(), reinterpret_cast<LPARAM>(&tab));
    }

private:
    HWND tabs() const {
        return reinterpret_cast<HWND>(SendMessageA(GetParent(page_), PSM_GETTABCONTROL, 0, 0));
    }
    WPARAM tabIndex() const {
        return static_cast<WPARAM>(SendMessageA(GetParent(page_), PSM_HWNDTOINDEX,
                                                reinterpret_cast<WPARAM>(page_), 0));
    }
    HWND page_;
};

class FieldsView final : public FieldView {
public:
    explicit FieldsView(HWND page) : page_(page) {}
    // While the page itself fills the edits their changes are not typing.
    bool filling() const { return filling_; }

    void enableFields(bool itemFields, bool actionFields) override {
        for (int id = IDC_CAPTION_LABEL; id <= IDC_ICON_BROWSE; ++id)
            EnableWindow(GetDlgItem(page_, id), itemFields);
        for (int id = IDC_SHOW_FOR_LABEL; id <= IDC_SHOW_FOR; ++id)
            EnableWindow(GetDlgItem(page_, id), itemFields);
        for (int id = IDC_ACTION_LABEL; id <= IDC_ACTION_MENU; ++id)
            EnableWindow(GetDlgItem(page_, id), actionFields);
    }
    void showTexts(const char* caption, const char* prompt, const char* icon, const char* action,
                   const char* showFor) override {
        filling_ = true;
        SetDlgItemTextA(page_, IDC_CAPTION, caption);
        SetDlgItemTextA(page_, IDC_PROMPT, prompt);
        SetDlgItemTextA(page_, IDC_ICON_PATH, icon);
        SetDlgItemTextA(page_, IDC_ACTION, action);
        SetDlgItemTextA(page_, IDC_SHOW_FOR, showFor);
        filling_ = false;
    }
    void focusCaption() override {
        HWND caption = GetDlgItem(page_, IDC_CAPTION);
        SetFocus(caption);
        SendMessageA(caption, EM_SETSEL, 0, -1);
    }
    void showAction(const char* action) override {
        filling_ = true;
        SetDlgItemTextA(page_, IDC_ACTION, action);
        filling_ = false;
    }
    // With the focus in the icon edit its change counts as the user's.
    void enterIcon(const char* location) override {
        SetFocus(GetDlgItem(page_, IDC_ICON_PATH));
        SetDlgItemTextA(page_, IDC_ICON_PATH, location);
        SetFocus(GetDlgItem(page_, IDC_ICON_BROWSE));
    }

private:
    HWND page_;
    bool filling_ = false;
};

class MessageBoxes final : public UserDialogs {
public:
    explicit MessageBoxes(HWND page) : page_(page) {}
    Answer ask(Question question) override {
        QuestionText words = questionText(question);
        // The questions about closing belong to the sheet, the others to the page.
        bool aboutClosing = question == Question::SaveOnCancel || question == Question::SaveOnClose;
        int answer = MessageBoxA(aboutClosing ? GetParent(page_) : page_, words.text, words.title,
                                 (words.withCancel ? MB_YESNOCANCEL : MB_YESNO) | MB_ICONQUESTION);
        return answer == IDYES ? Answer::Yes : answer == IDNO ? Answer::No : Answer::Cancel;
    }
    void explainRefusal(const char* reason) override {
        MessageBoxA(page_, reason, "Quillon", MB_OK | MB_ICONWARNING);
    }
    void describeError(std::uint32_t error, char* text, std::size_t size) override {
        if (size == 0) return;
        text[0] = '\0';
        FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                       text, static_cast<DWORD>(size), nullptr);
    }

private:
    HWND page_;
};

// Everything one page window works with; lives from WM_INITDIALOG to
// WM_DESTROY.
class EditorPage final : private TreeListener {
public:
    EditorPage(HWND window, PageState& state)
        : window_(window),
          sheet_(window),
          fields_(window),
          dialogs_(window),
          pickers_(window),
          page_{state, tree_, toolbar_, sheet_},
          controller_(page_, fields_, dialogs_, keys_, lock_) {}

    void initialize();
    void destroy() { controller_.destroy(); }

    // Questions and pickers run modal loops, and the window may be
    // destroyed inside one; the page then lives on until the message that
    // started the loop has been handled.
    class Running {
    public:
        explicit Running(EditorPage& page) : page_(page) { ++page_.running_; }
        Running(const Running&) = delete;
        Running& operator=(const Running&) = delete;
        ~Running() {
            if (--page_.running_ == 0 && page_.windowGone_) delete &page_;
        }

    private:
        EditorPage& page_;
    };
    // WM_DESTROY: deleted now, or by the outermost Running.
    static void windowDestroyed(EditorPage* page) {
        page->windowGone_ = true;
        if (page->running_ == 0) delete page;
    }

    bool command(WPARAM wParam, LPARAM lParam);
    void dropCloseBoxEcho();
    bool notify(const NMHDR* header, LRESULT& result);
    bool reloadCheck() { return controller_.reloadCheck(); }

private:
    void nodeDeleted(TreeNode node, ItemRecord* value) override { controller_.nodeDeleted(node, value); }
    void selectionChanged(TreeNode node) override { controller_.selectionChanged(node); }
    void createToolbar();
    LRESULT customDraw(const NMTBCUSTOMDRAW* draw);
    bool sheetNotification(UINT code, LRESULT& result);

    HWND window_;
    TreeView tree_;
    ToolbarView toolbar_;
    SheetView sheet_;
    FieldsView fields_;
    MessageBoxes dialogs_;
    WindowPickers pickers_;
    store::RegistryKeyStore keys_;
    StoreLock lock_;
    Page page_;
    PageController controller_;
    int running_ = 0;
    bool windowGone_ = false;
};

void EditorPage::createToolbar() {
    {
        ActivationScope scope;
        toolbar_.window = CreateWindowExA(0, TOOLBARCLASSNAMEA, nullptr,
                                          WS_CHILD | TBSTYLE_FLAT | CCS_NODIVIDER | CCS_NOPARENTALIGN,
                                          10, 10, 211, 24, window_, nullptr,
                                          shellext::moduleHandle(), nullptr);
    }
    HWND toolbar = toolbar_.window;
    if (!toolbar) return;
    page_.state.toolbarWindow = toolbar;
    TBBUTTON buttons[kToolbarButtons] = {};
    for (int i = 0; i < kToolbarButtons; ++i) {
        int command = i + 1;
        buttons[i].iBitmap = I_IMAGECALLBACK;  // the page paints the pictures itself
        buttons[i].idCommand = command;
        buttons[i].fsState = command <= kCommandNewSeparator ? TBSTATE_ENABLED : TBSTATE_INDETERMINATE;
        buttons[i].fsStyle = BTNS_BUTTON;
    }
    SendMessageA(toolbar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageA(toolbar, TB_ADDBUTTONSA, kToolbarButtons, reinterpret_cast<LPARAM>(buttons));
    SendMessageA(toolbar, TB_AUTOSIZE, 0, 0);
    ShowWindow(toolbar, SW_SHOWNORMAL);
}

void EditorPage::initialize() {
    shareSaveCountsAcrossProcesses();  // before the page takes in its kind's count
    createToolbar();
    HWND tree = GetDlgItem(window_, IDC_TREE);
    tree_.attach(tree);
    page_.state.treeWindow = tree;
    controller_.initialize();
    HWND menuButton = GetDlgItem(window_, IDC_ACTION_MENU);
    SetWindowTextA(menuButton, "6");  // a downward triangle in Marlett
    SendMessageA(menuButton, WM_SETFONT, reinterpret_cast<WPARAM>(symbolFont()), TRUE);
}

Field fieldOf(int control) {
    switch (control) {
        case IDC_CAPTION: return Field::Caption;
        case IDC_PROMPT: return Field::Prompt;
        case IDC_ICON_PATH: return Field::Icon;
        case IDC_SHOW_FOR: return Field::ShowFor;
        default: return Field::Action;
    }
}

std::size_t fieldSize(Field field) {
    switch (field) {
        case Field::Caption: return store::kCaptionSize;
        case Field::Prompt: return store::kPromptSize;
        case Field::Icon: return store::kIconSize;
        case Field::ShowFor: return store::kShowForSize;
        case Field::Action: break;
    }
    return store::kActionSize;
}

bool EditorPage::command(WPARAM wParam, LPARAM lParam) {
    int id = LOWORD(wParam);
    int code = HIWORD(wParam);
    if (id >= kCommandNewSubmenu && id <= kCommandMoveIn && code == BN_CLICKED) {
        controller_.command(id);
        return true;
    }
    if (isActionCommand(id) && code == 0) {  // chosen in the action menu
        controller_.actionCommand(id, pickers_);
        return true;
    }
    if (isSettingCommand(id) && code == 0) {
        controller_.settingCommand(id);
        return true;
    }
    if ((id == IDC_ACTION_MENU || id == IDC_ICON_BROWSE) && code == BN_CLICKED) {
        if (id == IDC_ACTION_MENU)
            showActionMenu(window_, GetDlgItem(window_, IDC_ACTION_MENU),
                           {controller_.selectionCommand(), controller_.runAs()});
        else
            controller_.pickIcon(pickers_);
        return true;
    }
    bool isField = id == IDC_CAPTION || id == IDC_PROMPT || id == IDC_ICON_PATH || id == IDC_ACTION ||
                   id == IDC_SHOW_FOR;
    HWND edit = reinterpret_cast<HWND>(lParam);
    // Only what the user types counts: the edit must have the focus.
    if (!isField || code != EN_CHANGE || fields_.filling() || GetFocus() != edit) return false;
    Field field = fieldOf(id);
    char text[store::kActionSize];
    GetWindowTextA(edit, text, static_cast<int>(fieldSize(field)));
    text[sizeof text - 1] = '\0';
    controller_.fieldEdited(field, text);
    return true;
}

LRESULT EditorPage::customDraw(const NMTBCUSTOMDRAW* draw) {
    const NMCUSTOMDRAW& item = draw->nmcd;
    switch (item.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT:
            return CDRF_NOTIFYPOSTPAINT;
        case CDDS_ITEMPOSTPAINT: {
            int offset = (item.uItemState & CDIS_SELECTED) ? 4 : 3;
            drawToolbarImage(static_cast<int>(item.dwItemSpec) - 1, item.hdc, item.rc.left + offset,
                             item.rc.top + offset, (item.uItemState & CDIS_DISABLED) != 0);
            return CDRF_DODEFAULT;
        }
        default:
            return -1;
    }
}

bool EditorPage::sheetNotification(UINT code, LRESULT& result) {
    switch (code) {
        case PSN_SETACTIVE:
            controller_.reloadCheck();
            result = 0;
            return true;
        case PSN_APPLY:
            // A refused save keeps the sheet open on this page, so that OK
            // does not throw away what the store could not take.
            result = controller_.apply() ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE;
            return true;
        case PSN_QUERYCANCEL:
            result = controller_.queryCancel() ? TRUE : FALSE;
            PostMessageA(window_, kCancelAnswered, 0, 0);
            return true;
        case PSN_RESET:
            // Asks when the sheet was cancelled from another tab.
            controller_.reset();
            PostMessageA(window_, kCancelAnswered, 0, 0);
            result = 0;
            return true;
        default:
            return false;
    }
}

// One click on the close box can reach the sheet as two cancels: the sheet
// cancels on WM_CLOSE, and the dialog manager then posts it IDCANCEL for the
// same click. That posted IDCANCEL would ask the same question again: where
// the user chose to keep the sheet open, a No there would drop what the
// user just kept; where the user chose to close it (on this tab or on
// another), the question comes twice if the sheet reads its queue once more
// before it ends. It is taken out of the queue. Where the sheet posts
// nothing, nothing is taken.
void EditorPage::dropCloseBoxEcho() {
    HWND sheet = GetParent(window_);
    MSG queued;
    if (!PeekMessageA(&queued, sheet, WM_COMMAND, WM_COMMAND, PM_NOREMOVE | PM_NOYIELD)) return;
    if (LOWORD(queued.wParam) != IDCANCEL) return;
    PeekMessageA(&queued, sheet, WM_COMMAND, WM_COMMAND, PM_REMOVE | PM_NOYIELD);
}

bool EditorPage::notify(const NMHDR* header, LRESULT& result) {
    if (header->hwndFrom == toolbar_.window && header->code == static_cast<UINT>(NM_CUSTOMDRAW)) {
        result = customDraw(reinterpret_cast<const NMTBCUSTOMDRAW*>(header));
        return result != -1;
    }
    if (header->hwndFrom == tree_.window()) {
        result = 0;
        return TreeView::routeNotification(header, *this);
    }
    if (header->hwndFrom == GetParent(window_)) return sheetNotification(header->code, result);
    return false;
}

EditorPage* pageOf(HWND window) {
    return reinterpret_cast<EditorPage*>(GetWindowLongPtrA(window, DWLP_USER));
}

// The page's state comes with the page description the sheet passes to
// WM_INITDIALOG; a host that passes none leaves it in the thread's slot.
PageContext* contextFrom(LPARAM initParam) {
    const auto* description = reinterpret_cast<const PROPSHEETPAGEA*>(initParam);
    if (description && description->lParam) return reinterpret_cast<PageContext*>(description->lParam);
    return static_cast<PageContext*>(TlsGetValue(pageSlot()));
}

INT_PTR handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        PageContext* context = contextFrom(lParam);
        if (!context) return TRUE;
        auto* page = new (std::nothrow) EditorPage(window, context->state);
        if (!page) return TRUE;
        SetWindowLongPtrA(window, DWLP_USER, reinterpret_cast<LONG_PTR>(page));
        page->initialize();
        return TRUE;
    }
    if (message == WM_NOTIFYFORMAT) {
        SetWindowLongPtrA(window, DWLP_MSGRESULT, NFR_ANSI);
        return TRUE;
    }
    EditorPage* page = pageOf(window);
    if (!page) return FALSE;
    if (message == WM_DESTROY) {
        page->destroy();  // the tree's deletion reports still reach the page
        SetWindowLongPtrA(window, DWLP_USER, 0);
        EditorPage::windowDestroyed(page);
        return TRUE;
    }
    EditorPage::Running running(*page);
    switch (message) {
        case WM_COMMAND:
            return page->command(wParam, lParam) ? TRUE : FALSE;
        case WM_NOTIFY: {
            LRESULT result = 0;
            if (!page->notify(reinterpret_cast<const NMHDR*>(lParam), result)) return FALSE;
            SetWindowLongPtrA(window, DWLP_MSGRESULT, result);
            return TRUE;
        }
        case WM_ACTIVATEAPP:
            return wParam && page->reloadCheck() ? TRUE : FALSE;
        case kCancelAnswered:
            page->dropCloseBoxEcho();
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

INT_PTR CALLBACK pageDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    return shellext::guardedOr<INT_PTR>(FALSE, [&] { return handleMessage(window, message, wParam, lParam); });
}

}  // namespace editor
