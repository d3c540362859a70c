#include "file_pickers.h"

#include <commdlg.h>
#include <shlobj.h>

#include "activation_context.h"
#include "icon_picker.h"
#include "storable_path.h"

namespace editor {

namespace {

// Each filter is a description and a pattern; the list ends with an empty
// string, which the literal's own terminator supplies.
constexpr wchar_t kProgramFilter[] =
    L"Executable Files (*.exe; *.com)\0*.exe;*.com;\0"
    L"Batch Files (*.bat; *.cmd)\0*.bat;*.cmd\0"
    L"Windows Script Files (*.vbs; *.js)\0*.vbs;*.js\0"
    L"All Files (*.*)\0*.*\0";
constexpr wchar_t kAnyFileFilter[] = L"All Files (*.*)\0*.*\0";

// The dialogs give the path in UTF-16; the store takes it only spelled
// exactly. A path that does not fit is refused rather than cut: a cut path
// names another file.
PickOutcome storeChosen(const wchar_t* chosen, char* path, std::size_t size) {
    switch (spellForStore(chosen, path, size)) {
        case StoreSpelling::Spelled: return PickOutcome::Chosen;
        case StoreSpelling::NotStorable: return PickOutcome::NotStorable;
        case StoreSpelling::DoesNotFit: break;
    }
    return PickOutcome::Cancelled;
}

PickOutcome pickFile(HWND owner, const wchar_t* filter, char* path, std::size_t size) {
    wchar_t file[MAX_PATH] = L"";
    OPENFILENAMEW dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = MAX_PATH;
    dialog.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING;
    BOOL chosen;
    {
        ActivationScope scope;
        chosen = GetOpenFileNameW(&dialog);
    }
    if (chosen != TRUE) return PickOutcome::Cancelled;
    file[MAX_PATH - 1] = L'\0';
    return storeChosen(file, path, size);
}

PickOutcome pickFolder(HWND owner, const char* title, char* path, std::size_t size) {
    wchar_t wideTitle[128] = L"";
    MultiByteToWideChar(CP_ACP, 0, title, -1, wideTitle, sizeof wideTitle / sizeof *wideTitle);
    wideTitle[sizeof wideTitle / sizeof *wideTitle - 1] = L'\0';
    BROWSEINFOW browse = {};
    browse.hwndOwner = owner;
    browse.lpszTitle = wideTitle;
    browse.ulFlags = BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    LPITEMIDLIST folder = SHBrowseForFolderW(&browse);
    if (!folder) return PickOutcome::Cancelled;
    wchar_t chosen[MAX_PATH] = L"";
    bool found = SHGetPathFromIDListW(folder, chosen) && chosen[0];
    CoTaskMemFree(folder);
    return found ? storeChosen(chosen, path, size) : PickOutcome::Cancelled;
}

}  // namespace

PickOutcome WindowPickers::pick(Pick what, char* path, std::size_t size) {
    if (!path || size == 0) return PickOutcome::Cancelled;
    path[0] = '\0';
    switch (what) {
        case Pick::Program:
            return pickFile(owner_, kProgramFilter, path, size);
        case Pick::File:
            return pickFile(owner_, kAnyFileFilter, path, size);
        case Pick::Folder:
        case Pick::WorkingFolder:
            return pickFolder(owner_, folderBrowserTitle(what), path, size);
        case Pick::Icon:
            return pickIcon(owner_, path, size);
        case Pick::Nothing:
            break;
    }
    return PickOutcome::Cancelled;
}

}  // namespace editor
