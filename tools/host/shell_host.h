// What every host of the handler needs (the Wine tests, the benchmark and the
// demo): the class identifier, writing menus into the store, real shell data
// objects and folder identifier lists, reading real menus back.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shellapi.h>
#include <shlwapi.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

namespace shell_host {

// {50A2C9CD-CB78-435E-941D-4169387516E2}
constexpr CLSID kClsidKorvane = {0x50A2C9CD, 0xCB78, 0x435E,
                                 {0x94, 0x1D, 0x41, 0x69, 0x38, 0x75, 0x16, 0xE2}};
constexpr const char kClsidText[] = "{50A2C9CD-CB78-435E-941D-4169387516E2}";

struct ComScope {
    ComScope() { CoInitialize(nullptr); }
    ~ComScope() { CoUninitialize(); }
};

// A host path (as the build passes it) in the form Wine shows it: drive Z:.
inline std::string windowsPath(std::string path) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

inline void clearStore() {
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Talvex");
}

inline bool setString(HKEY key, const char* name, const std::string& text) {
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS;
}

inline bool setDword(HKEY key, const char* name, DWORD value) {
    return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4) ==
           ERROR_SUCCESS;
}

// Opens (creating) a key under HKEY_CURRENT_USER for the length of one write.
template <typename Write>
bool withKey(const char* path, Write write) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    bool ok = write(key);
    RegCloseKey(key);
    return ok;
}

inline bool setString(const char* path, const char* name, const std::string& text) {
    return withKey(path, [&](HKEY key) { return setString(key, name, text); });
}

inline bool setDword(const char* path, const char* name, DWORD value) {
    return withKey(path, [&](HKEY key) { return setDword(key, name, value); });
}

using Entries = std::vector<std::pair<std::uint16_t, std::uint16_t>>;  // (id, parent)

inline bool putIndex(const char* kind, const Entries& entries) {
    std::vector<BYTE> bytes;
    for (const auto& [id, parent] : entries) {
        bytes.push_back(static_cast<BYTE>(id));
        bytes.push_back(static_cast<BYTE>(id >> 8));
        bytes.push_back(static_cast<BYTE>(parent));
        bytes.push_back(static_cast<BYTE>(parent >> 8));
    }
    return withKey("Software\\Talvex\\Korvane\\index", [&](HKEY key) {
        return RegSetValueExA(key, kind, 0, REG_BINARY, bytes.data(),
                              static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
    });
}

// An item's five values, in the order a save writes them.
inline bool putItem(unsigned id, const std::string& caption, bool isSubMenu,
                    const std::string& action = "", const std::string& prompt = "",
                    const std::string& icon = "") {
    std::string path = "Software\\Talvex\\Korvane\\items\\" + std::to_string(id);
    return withKey(path.c_str(), [&](HKEY key) {
        bool ok = setString(key, "Caption", caption);
        ok = setString(key, "Prompt", prompt) && ok;
        ok = setString(key, "Icon", icon) && ok;
        ok = setDword(key, "IsSubMenu", isSubMenu ? 1 : 0) && ok;
        return setString(key, "Action", action) && ok;
    });
}

inline DWORD backgroundFlag() {
    DWORD value = 0xFFFFFFFF, size = sizeof value, type = 0;
    if (SHGetValueA(HKEY_CURRENT_USER, "Software\\Talvex\\Quillon", "IsBackground", &type, &value,
                    &size) != ERROR_SUCCESS)
        return 0xFFFFFFFF;
    return value;
}

// The absolute identifier list of a path; free with CoTaskMemFree.
inline LPITEMIDLIST idListFor(const std::string& path) {
    IShellFolder* desktop = nullptr;
    if (FAILED(SHGetDesktopFolder(&desktop))) return nullptr;
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
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

}  // namespace shell_host
