#include "icon_picker.h"

#include <commdlg.h>
#include <dlgs.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstring>
#include <memory>
#include <new>

#include "activation_context.h"
#include "com_boundary.h"
#include "icon_choice.h"
#include "menu_store.h"
#include "quillon_module.h"
#include "storable_path.h"

namespace editor {

namespace {

// OPENFILENAMEW in full, with the fields that came after the first form.
static_assert(sizeof(void*) != 4 || sizeof(OPENFILENAMEW) == 88, "the 32-bit size is 88");

constexpr int kIconList = 505;
constexpr int kPanelWidth = 140;
constexpr int kListWidth = 132;
constexpr int kCellSize = 32;    // column width and item height
constexpr int kIconInset = 8;    // the 16x16 icon sits in the middle of its cell
constexpr int kIconSize = 16;
constexpr wchar_t kFilter[] = L"Icon Files (*.ico;*.exe;*.dll)\0*.ico;*.exe;*.dll\0";

// One picker's state, for the dialog it belongs to.
struct PickerState {
    int listHeight = 0;  // 0: not measured yet
    bool initDone = false;
    // "path,position" once the user confirmed an icon, the path spelled for
    // the store; empty when the user gave up.
    char location[store::kIconSize] = "";
};

// The panel: a classic in-memory dialog template holding the marker where
// the Open dialog puts its own controls and, to its right, the icon list.
class PanelTemplate {
public:
    PanelTemplate() {
        dword(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | DS_CONTROL | DS_3DLOOK);
        dword(0);                  // extended style
        word(2);                   // items
        for (int i = 0; i < 4; ++i) word(0);  // x, y, width, height
        word(0);                   // no menu
        word(0);                   // the default class
        word(0);                   // no title
        item(0, stc32, 0x0082);    // Static
        item(WS_CHILD | WS_VISIBLE | WS_BORDER | WS_HSCROLL | WS_TABSTOP | LBS_NOTIFY |
                 LBS_OWNERDRAWFIXED | LBS_NOINTEGRALHEIGHT | LBS_MULTICOLUMN,
             kIconList, 0x0083);   // ListBox
    }
    HINSTANCE handle() const { return reinterpret_cast<HINSTANCE>(const_cast<DWORD*>(bytes_)); }

private:
    void item(DWORD style, WORD id, WORD classOrdinal) {
        used_ = (used_ + 3) & ~static_cast<std::size_t>(3);  // each item starts on 4 bytes
        dword(style);
        dword(0);
        for (int i = 0; i < 4; ++i) word(0);
        word(id);
        word(0xFFFF);
        word(classOrdinal);
        word(0);  // empty text
        word(0);  // no creation data
    }
    void word(WORD value) { put(&value, sizeof value); }
    void dword(DWORD value) { put(&value, sizeof value); }
    void put(const void* value, std::size_t size) {
        std::memcpy(reinterpret_cast<char*>(bytes_) + used_, value, size);
        used_ += size;
    }

    DWORD bytes_[24] = {};  // 78 bytes in all
    std::size_t used_ = 0;
};

PickerState* stateOf(HWND panel) {
    return reinterpret_cast<PickerState*>(GetWindowLongPtrA(panel, GWLP_USERDATA));
}

int heightOf(const RECT& r) { return r.bottom - r.top; }

void layOut(HWND panel, PickerState& state) {
    HWND dialog = GetParent(panel);
    RECT own, files;
    if (!GetWindowRect(panel, &own) || !GetWindowRect(GetDlgItem(dialog, lst1), &files)) return;
    if (state.listHeight == 0) state.listHeight = heightOf(files);
    const UINT quiet = SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOSENDCHANGING;
    const int height = files.bottom - own.top;
    SetWindowPos(panel, nullptr, 0, 0, kPanelWidth, height, quiet);
    SetWindowPos(GetDlgItem(panel, stc32), nullptr, 0, 0, 0, height, quiet);
    HWND list = GetDlgItem(panel, kIconList);
    SetWindowPos(list, nullptr, 0, files.top - own.top, kListWidth, state.listHeight,
                 SWP_NOZORDER | SWP_SHOWWINDOW | SWP_NOREDRAW | SWP_NOSENDCHANGING);
    SendMessageA(list, LB_SETCOLUMNWIDTH, kCellSize, 0);
    SendMessageA(list, LB_SETITEMHEIGHT, 0, kCellSize);
    state.initDone = false;
}

// The host puts its own controls where the marker is and widens the dialog
// by the panel; the list belongs at the marker's right edge. Where the host
// arranges its controls only after the panel's WM_INITDIALOG (Wine does),
// the list is still at the left and is moved there once the host is done.
void keepRightOfMarker(HWND panel) {
    HWND list = GetDlgItem(panel, kIconList);
    RECT marker, own;
    if (!GetWindowRect(GetDlgItem(panel, stc32), &marker) || !GetWindowRect(list, &own)) return;
    if (own.left >= marker.right) return;
    POINT at = {marker.right, own.top};
    ScreenToClient(panel, &at);
    SetWindowPos(list, nullptr, at.x, at.y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The dialog is resizable: the list grows and shrinks with the panel.
void followResize(HWND panel, PickerState& state, WINDOWPOS& position) {
    if (position.flags & SWP_NOSIZE) return;
    RECT own;
    if (!GetWindowRect(panel, &own)) return;
    if (!state.initDone) {
        // Older systems size the panel wrongly until they are done.
        RECT whole;
        if (systemVersion().dwMajorVersion < 6 && GetWindowRect(GetParent(panel), &whole))
            position.cy = heightOf(whole);
        return;
    }
    const int change = position.cy - heightOf(own);
    if (change == 0) return;
    HWND list = GetDlgItem(panel, kIconList);
    RECT listRect;
    if (!GetWindowRect(list, &listRect)) return;
    SetWindowPos(list, nullptr, 0, 0, listRect.right - listRect.left, heightOf(listRect) + change,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOSENDCHANGING);
    state.listHeight += change;
}

// The file is read by its UTF-16 path, so that a name outside the system's
// code page lists its icons too.
void refill(HWND panel, HWND dialog) {
    wchar_t path[MAX_PATH] = L"";
    LRESULT length = SendMessageW(dialog, CDM_GETFILEPATH, MAX_PATH, reinterpret_cast<LPARAM>(path));
    if (length < 0 || length >= MAX_PATH) path[0] = L'\0';
    path[MAX_PATH - 1] = L'\0';
    if (path[0] && PathIsDirectoryW(path)) return;
    HWND list = GetDlgItem(panel, kIconList);
    SendMessageA(list, LB_RESETCONTENT, 0, 0);
    if (!path[0] || !PathFileExistsW(path)) return;
    UINT count = ExtractIconExW(path, -1, nullptr, nullptr, 0);
    if (count == 0 || count == UINT(-1)) return;
    std::unique_ptr<HICON[]> icons(new (std::nothrow) HICON[count]());
    if (!icons) return;
    ExtractIconExW(path, 0, nullptr, icons.get(), count);
    // Wine's 64-bit ExtractIconExW fills only the first handle of a batch:
    // whatever a batch left out is asked for one by one.
    for (UINT i = 0; i < count; ++i)
        if (!icons[i]) ExtractIconExW(path, static_cast<int>(i), nullptr, &icons[i], 1);
    // Every position gets its entry, so that an entry's index is the icon's
    // position in the file even where one icon could not be read.
    for (UINT i = 0; i < count; ++i) {
        LRESULT at = SendMessageA(list, LB_INSERTSTRING, i, reinterpret_cast<LPARAM>(""));
        if (at == LB_ERR || at == LB_ERRSPACE) {
            for (UINT j = i; j < count; ++j)
                if (icons[j]) DestroyIcon(icons[j]);
            break;
        }
        SendMessageA(list, LB_SETITEMDATA, at, reinterpret_cast<LPARAM>(icons[i]));
    }
    SendMessageA(list, LB_SETCURSEL, 0, 0);
}

void drawCell(const DRAWITEMSTRUCT& cell) {
    if (!(cell.itemAction & (ODA_DRAWENTIRE | ODA_SELECT)) || cell.itemID == UINT(-1)) return;
    bool selected = (cell.itemState & ODS_SELECTED) != 0;
    FillRect(cell.hDC, &cell.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    HICON icon = reinterpret_cast<HICON>(cell.itemData);
    if (icon)
        DrawIconEx(cell.hDC, cell.rcItem.left + kIconInset, cell.rcItem.top + kIconInset, icon,
                   kIconSize, kIconSize, 0, nullptr, DI_NORMAL);
}

// What the user's confirmation makes of the chosen file, spelled for the
// store into `location`.
IconChoice judge(const wchar_t* file, int selection, char* location, std::size_t size) {
    switch (spellForStore(file, location, size)) {
        case StoreSpelling::Spelled:
            return completeIconChoice(location, size, selection);
        case StoreSpelling::NotStorable:
            return selectionOr(selection, IconChoice::NotStorable);
        case StoreSpelling::DoesNotFit:
            break;
    }
    return selectionOr(selection, IconChoice::PathTooLong);
}

// The user confirmed: the chosen icon's position joins the path, or the
// dialog stays open.
UINT_PTR confirm(HWND panel, PickerState& state, const OFNOTIFYW& notice) {
    LRESULT selection = SendDlgItemMessageA(panel, kIconList, LB_GETCURSEL, 0, 0);
    char location[store::kIconSize] = "";
    IconChoice choice = judge(notice.lpOFN->lpstrFile, selection == LB_ERR ? -1 : static_cast<int>(selection),
                              location, sizeof location);
    switch (choice) {
        case IconChoice::Completed:
            store::copyField(state.location, sizeof state.location, location);
            return 0;
        case IconChoice::NoIcon:
            if (MessageBoxA(panel, iconChoiceText(choice), "Confirm - Quillon",
                            MB_YESNO | MB_ICONQUESTION) != IDYES) {
                state.location[0] = '\0';  // the caller then changes nothing
                return 0;
            }
            break;
        case IconChoice::PositionTooHigh:
        case IconChoice::PathTooLong:
        case IconChoice::NotStorable:
            MessageBoxA(panel, iconChoiceText(choice), "Quillon", MB_OK | MB_ICONWARNING);
            break;
    }
    SetWindowLongPtrA(panel, DWLP_MSGRESULT, 1);  // keep the dialog open
    return TRUE;
}

UINT_PTR notified(HWND panel, PickerState& state, const NMHDR& header, LPARAM lParam) {
    switch (header.code) {
        case CDN_INITDONE:
            state.initDone = true;
            keepRightOfMarker(panel);
            break;
        case CDN_SELCHANGE:
            refill(panel, header.hwndFrom);
            break;
        case CDN_FOLDERCHANGE:
            SendDlgItemMessageA(panel, kIconList, LB_RESETCONTENT, 0, 0);
            break;
        case CDN_FILEOK:
            return confirm(panel, state, *reinterpret_cast<const OFNOTIFYW*>(lParam));
        default:
            break;
    }
    return 0;
}

UINT_PTR handle(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        const auto* dialog = reinterpret_cast<const OPENFILENAMEW*>(lParam);
        auto* state = dialog ? reinterpret_cast<PickerState*>(dialog->lCustData) : nullptr;
        SetWindowLongPtrA(panel, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(state));
        if (state) layOut(panel, *state);
        return 0;
    }
    // Each entry owns its icon, whatever became of the picker's state: the
    // list reports its entries as it empties and as it is destroyed.
    if (message == WM_DELETEITEM) {
        const auto& removed = *reinterpret_cast<const DELETEITEMSTRUCT*>(lParam);
        if (removed.CtlID == kIconList && removed.itemData)
            DestroyIcon(reinterpret_cast<HICON>(removed.itemData));
        return 0;
    }
    PickerState* state = stateOf(panel);
    if (!state) return 0;
    switch (message) {
        case WM_NOTIFY:
            return notified(panel, *state, *reinterpret_cast<const NMHDR*>(lParam), lParam);
        case WM_DRAWITEM:
            if (wParam == kIconList) drawCell(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            break;
        case WM_WINDOWPOSCHANGING:
            followResize(panel, *state, *reinterpret_cast<WINDOWPOS*>(lParam));
            break;
        case WM_COMMAND:
            // A double click confirms at once. (When the list gains the focus
            // it keeps the user's selection.)
            if (LOWORD(wParam) == kIconList && HIWORD(wParam) == LBN_DBLCLK) {
                HWND dialog = GetParent(panel);
                SendMessageA(GetDlgItem(dialog, IDOK), BM_CLICK, 0, 0);
            }
            break;
        case WM_DESTROY:
            // The panel goes before its list: the icons are given back now,
            // while the list still reports each one to this procedure.
            SendDlgItemMessageA(panel, kIconList, LB_RESETCONTENT, 0, 0);
            state->listHeight = 0;
            SetWindowLongPtrA(panel, GWLP_USERDATA, 0);
            break;
        default:
            break;
    }
    return 0;
}

UINT_PTR CALLBACK pickerHook(HWND panel, UINT message, WPARAM wParam, LPARAM lParam) {
    return shellext::guardedOr<UINT_PTR>(0, [&] { return handle(panel, message, wParam, lParam); });
}

}  // namespace

PickOutcome pickIcon(HWND owner, char* location, std::size_t size) {
    if (!location || size == 0) return PickOutcome::Cancelled;
    location[0] = '\0';
    const PanelTemplate panel;
    PickerState state;
    wchar_t file[MAX_PATH] = L"";
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.hInstance = panel.handle();
    dialog.lpstrFilter = kFilter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.Flags = OFN_HIDEREADONLY | OFN_ENABLEHOOK | OFN_ENABLETEMPLATEHANDLE | OFN_PATHMUSTEXIST |
                   OFN_FILEMUSTEXIST | OFN_EXPLORER | OFN_ENABLESIZING;
    dialog.lpfnHook = pickerHook;
    // The hook finds its state here: two pages may each have a picker open.
    dialog.lCustData = reinterpret_cast<LPARAM>(&state);
    BOOL chosen;
    {
        ActivationScope scope;
        chosen = GetOpenFileNameW(&dialog);
    }
    if (chosen != TRUE) return PickOutcome::Cancelled;
    state.location[sizeof state.location - 1] = '\0';
    if (std::strlen(state.location) >= size) return PickOutcome::Cancelled;
    store::copyField(location, size, state.location);
    return PickOutcome::Chosen;
}

}  // namespace editor
