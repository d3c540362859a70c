// What every host of the handler needs (the Wine tests, the benchmark and the
// demo): the class identifier, writing menus into the store, real shell data
// objects and folder identifier lists, reading real menus back. Paths are
// given in UTF-8, so that a host can name any file, whatever the code page.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "class_id.h"
#include "registry_key_store.h"
#include "store_paths.h"
#include "store_writer.h"

namespace shell_host {

constexpr CLSID kClsidKorvane = shellext::kKorvaneClassId;
constexpr const char kClsidText[] = TALVEX_KORVANE_CLSID;

struct ComScope {
    ComScope() { CoInitialize(nullptr); }
    ~ComScope() { CoUninitialize(); }
};

inline void clearStore() {
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Talvex");
}

// The hosts write the store through the store writer over the registry.
inline store::RegistryKeyStore& registryStore() {
    static store::RegistryKeyStore keys;
    return keys;
}

using Entries = std::vector<store::IndexEntry>;

inline bool putIndex(const char* kind, const Entries& entries) {
    return store::putIndex(registryStore(), kind, entries);
}

inline bool putItem(unsigned id, const std::string& caption, bool isSubmenu,
                    const std::string& action = "", const std::string& prompt = "",
                    const std::string& icon = "") {
    return store::putItem(registryStore(), id, caption, isSubmenu, action, prompt, icon);
}

// One of an item's optional values, as the store keeps it: a number
// (Selection, RunAs) or a text (ShowFor).
inline bool putItemValue(unsigned id, const char* name, DWORD number) {
    const std::string key = std::string(store_paths::kItemsKey) + "\\" + std::to_string(id);
    return SHSetValueA(HKEY_CURRENT_USER, key.c_str(), name, REG_DWORD, &number, sizeof number) ==
           ERROR_SUCCESS;
}
inline bool putItemValue(unsigned id, const char* name, const std::string& text) {
    const std::string key = std::string(store_paths::kItemsKey) + "\\" + std::to_string(id);
    return SHSetValueA(HKEY_CURRENT_USER, key.c_str(), name, REG_SZ, text.c_str(),
                       static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

inline bool putMaxId(std::uint32_t maxId) { return store::putMaxId(registryStore(), maxId); }

inline DWORD backgroundFlag() {
    DWORD value = 0xFFFFFFFF, size = sizeof value, type = 0;
    if (SHGetValueA(HKEY_CURRENT_USER, store_paths::kEditorKey, "IsBackground", &type, &value,
                    &size) != ERROR_SUCCESS)
        return 0xFFFFFFFF;
    return value;
}

inline std::wstring wide(const std::string& utf8) {
    std::wstring out(utf8.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &out[0], static_cast<int>(out.size()));
    out.resize(n > 0 ? static_cast<std::size_t>(n - 1) : 0);
    return out;
}

inline std::string utf8(const wchar_t* text) {
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<std::size_t>(n) : 1, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
    out.resize(out.size() - 1);
    return out;
}

// The absolute identifier list of a path; free with CoTaskMemFree.
inline LPITEMIDLIST idListFor(const std::string& path) {
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop))) return nullptr;
    std::wstring name = wide(path);
    LPWSTR wide = &name[0];
    LPITEMIDLIST list = nullptr;
    if (FAILED(desktop->ParseDisplayName(nullptr, nullptr, wide, nullptr, &list, nullptr)))
        list = nullptr;
    desktop->Release();
    return list;
}

// The shell's own data object for paths in one folder, first path first.
inline IDataObject* dataObjectFor(const std::vector<std::string>& paths) {
    std::vector<LPITEMIDLIST> lists;
    IShellFolder* parent = nullptr;
    std::vector<LPCITEMIDLIST> children;
    for (const std::string& path : paths) {
        LPITEMIDLIST list = idListFor(path);
        if (!list) break;
        lists.push_back(list);
        IShellFolder* folder = nullptr;
        LPCITEMIDLIST child = nullptr;
        if (FAILED(SHBindToParent(list, IID_IShellFolder, reinterpret_cast<void**>(&folder),
                                  &child)))
            break;
        if (parent) parent->Release();
        parent = folder;
        children.push_back(child);
    }
    IDataObject* data = nullptr;
    if (parent && children.size() == paths.size() &&
        FAILED(parent->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()),
                                     children.data(), IID_IDataObject, nullptr,
                                     reinterpret_cast<void**>(&data))))
        data = nullptr;
    if (parent) parent->Release();
    for (LPITEMIDLIST list : lists) CoTaskMemFree(list);
    return data;
}

struct MenuEntry {
    std::string text;
    UINT id = 0;
    UINT type = 0;
    HMENU submenu = nullptr;
    HBITMAP bitmap = nullptr;
    HBITMAP checked = nullptr;
    HBITMAP unchecked = nullptr;
    ULONG_PTR data = 0;
};

inline std::vector<MenuEntry> readMenu(HMENU menu) {
    std::vector<MenuEntry> entries;
    int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_STRING | MIIM_ID | MIIM_FTYPE | MIIM_SUBMENU | MIIM_BITMAP | MIIM_DATA |
                     MIIM_CHECKMARKS;
        info.dwTypeData = text;
        info.cch = sizeof text;
        MenuEntry entry;
        if (GetMenuItemInfoA(menu, i, TRUE, &info)) {
            entry.text = text;
            entry.id = info.wID;
            entry.type = info.fType;
            entry.submenu = info.hSubMenu;
            entry.bitmap = info.hbmpItem;
            entry.checked = info.hbmpChecked;
            entry.unchecked = info.hbmpUnchecked;
            entry.data = info.dwItemData;
        }
        entries.push_back(entry);
    }
    return entries;
}

// A folder of sample files under C:, made afresh.
struct SampleFolder {
    std::string root = "C:\\korvane-samples";
    SampleFolder() {
        CreateDirectoryA(root.c_str(), nullptr);
        CreateDirectoryA((root + "\\folder").c_str(), nullptr);
        for (const char* name : {"\\a.txt", "\\b.txt"}) {
            HANDLE file = CreateFileA((root + name).c_str(), GENERIC_WRITE, 0, nullptr,
                                      CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        }
    }
};

// Opens the Properties dialog of a path as the shell's own context menu does
// for its "Properties" command. Returns when the dialog has closed.
inline void showProperties(const std::string& path) {
    LPITEMIDLIST list = shell_host::idListFor(path);
    if (!list) return;
    IShellFolder* parent = nullptr;
    LPCITEMIDLIST child = nullptr;
    IContextMenu* menu = nullptr;
    if (SUCCEEDED(SHBindToParent(list, IID_IShellFolder, reinterpret_cast<void**>(&parent),
                                 &child)) &&
        SUCCEEDED(parent->GetUIObjectOf(nullptr, 1, &child, IID_IContextMenu, nullptr,
                                        reinterpret_cast<void**>(&menu)))) {
        CMINVOKECOMMANDINFO info = {};
        info.cbSize = sizeof info;
        info.lpVerb = "properties";
        info.nShow = SW_SHOWNORMAL;
        menu->InvokeCommand(&info);
        menu->Release();
    }
    if (parent) parent->Release();
    CoTaskMemFree(list);
}

}  // namespace shell_host
