#include "file_pickers.h"

#include <commdlg.h>
#include <shlobj.h>

#include <cstring>

#include "activation_context.h"
#include "icon_picker.h"
#include "menu_store.h"

namespace editor {

namespace {

// Each filter is a description and a pattern; the list ends with an empty
// string, which the literal's own terminator supplies.
constexpr char kProgramFilter[] =
    "Executable Files (*.exe; *.com)\0*.exe;*.com;\0"
    "Batch Files (*.bat; *.cmd)\0*.bat;*.cmd\0"
    "Windows Script Files (*.vbs; *.js)\0*.vbs;*.js\0"
    "All Files (*.*)\0*.*\0";
constexpr char kAnyFileFilter[] = "All Files (*.*)\0*.*\0";

// A path that does not fit is refused rather than cut: a cut path names
// another file.
bool copyWhole(const char* text, char* out, std::size_t size) {
    if (std::strlen(text) >= size) return false;
    store::copyField(out, size, text);
    return true;
}

bool pickFile(HWND owner, const char* filter, char* path, std::size_t size) {
    char file[MAX_PATH] = "";
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file;
    dialog.nMaxFile = sizeof file;
    dialog.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST | OFN_ENABLESIZING;
    BOOL chosen;
    {
        ActivationScope scope;
        chosen = GetOpenFileNameA(&dialog);
    }
    return chosen == TRUE && copyWhole(file, path, size);
}

bool pickFolder(HWND owner, const char* title, char* path, std::size_t size) {
    BROWSEINFOA browse = {};
    browse.hwndOwner = owner;
    browse.lpszTitle = title;
    browse.ulFlags = BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    LPITEMIDLIST folder = SHBrowseForFolderA(&browse);
    if (!folder) return false;
    char chosen[MAX_PATH] = "";
    bool found = SHGetPathFromIDListA(folder, chosen) && chosen[0];
    CoTaskMemFree(folder);
    return found && copyWhole(chosen, path, size);
}

}  // namespace

bool WindowPickers::pick(Pick what, char* path, std::size_t size) {
    if (!path || size == 0) return false;
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
    return false;
}

}  // namespace editor
