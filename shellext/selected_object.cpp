#include "selected_object.h"

#include <shellapi.h>
#include <shlwapi.h>

namespace shellext {

SelectionRead readFirstSelected(IDataObject* selection, PathField& path) {
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (!selection || FAILED(selection->GetData(&format, &medium))) return SelectionRead::NoFileList;
    SelectionRead result = SelectionRead::NoFileList;
    if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
        auto drop = static_cast<HDROP>(medium.hGlobal);
        // The length first: the call cuts a long path to the buffer silently.
        UINT length = DragQueryFileW(drop, 0, nullptr, 0);
        if (length > 0 && length < kPathChars && DragQueryFileW(drop, 0, path, kPathChars) == length) {
            result = SelectionRead::Read;
        } else if (length > 0) {
            path[0] = L'\0';
            result = SelectionRead::TooLong;
        }
    }
    ReleaseStgMedium(&medium);
    return result;
}

std::vector<std::wstring> readAllSelected(IDataObject* selection) {
    std::vector<std::wstring> paths;
    FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (!selection || FAILED(selection->GetData(&format, &medium))) return paths;
    try {
        if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
            auto drop = static_cast<HDROP>(medium.hGlobal);
            const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
            paths.reserve(count);
            for (UINT i = 0; i < count; ++i) {
                const UINT length = DragQueryFileW(drop, i, nullptr, 0);
                std::wstring path(length + 1, L'\0');
                if (length == 0 || DragQueryFileW(drop, i, &path[0], length + 1) != length) continue;
                path.resize(length);
                paths.push_back(std::move(path));
            }
        }
    } catch (...) {
        ReleaseStgMedium(&medium);
        throw;
    }
    ReleaseStgMedium(&medium);
    return paths;
}

bool readFolder(LPCITEMIDLIST folder, PathField& path) {
    static_assert(kPathChars >= MAX_PATH, "SHGetPathFromIDListW writes up to MAX_PATH characters");
    if (folder && SHGetPathFromIDListW(folder, path)) return true;
    path[0] = L'\0';
    return false;
}

const char* namedContextKind(IDataObject* selection) {
    const UINT clipboardFormat = RegisterClipboardFormatA(kContextKindFormat);
    FORMATETC format = {static_cast<CLIPFORMAT>(clipboardFormat), nullptr, DVASPECT_CONTENT, -1,
                        TYMED_HGLOBAL};
    STGMEDIUM medium = {};
    if (!selection || !clipboardFormat || FAILED(selection->GetData(&format, &medium)))
        return nullptr;
    const char* kind = nullptr;
    if (medium.tymed == TYMED_HGLOBAL && medium.hGlobal) {
        // Copied into a terminated buffer: the object's text need not be.
        char name[16] = {};
        SIZE_T size = GlobalSize(medium.hGlobal);
        if (const void* text = GlobalLock(medium.hGlobal)) {
            CopyMemory(name, text, size < sizeof name - 1 ? size : sizeof name - 1);
            GlobalUnlock(medium.hGlobal);
            kind = store::contextKindNamed(name);
        }
    }
    ReleaseStgMedium(&medium);
    return kind;
}

store::ContextFacts factsAbout(const wchar_t* path) {
    store::ContextFacts facts;
    facts.isDriveRoot = PathIsRootW(path) != FALSE;
    facts.driveType = facts.isDriveRoot ? GetDriveTypeW(path) : 0;
    facts.isDirectory = !facts.isDriveRoot && PathIsDirectoryW(path) != FALSE;
    return facts;
}

}  // namespace shellext
