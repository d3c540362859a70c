// What the installer tests need around talvex-setup.exe: starting programs
// and reading their exit codes, files and folders, registry values in a
// chosen view, whole-registry snapshots of both views, delete-at-restart
// entries, and a host that holds the DLLs open.
#pragma once

#include <windows.h>

#include <doctest/doctest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "container_printers.h"
#include "run_program.h"

namespace installer_support {

constexpr long kRebootRequired = 3010;  // ERROR_SUCCESS_REBOOT_REQUIRED
constexpr char kUninstallKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Talvex";

inline std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

inline std::string env(const char* name) {
    char value[MAX_PATH * 2] = {};
    DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n && n < sizeof value ? std::string(value, n) : std::string();
}

inline bool onWin64() {
    if (sizeof(void*) == 8) return true;
    BOOL wow = FALSE;
    IsWow64Process(GetCurrentProcess(), &wow);
    return wow != FALSE;
}

struct View {
    const char* name;
    REGSAM flag;
};
const View kView64 = {"64-bit view", KEY_WOW64_64KEY};
const View kView32 = {"32-bit view", KEY_WOW64_32KEY};

using test_process::run;

inline bool fileExists(const std::string& path) {
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

inline std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

inline void writeFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    REQUIRE_MESSAGE(out.good(), "cannot write " << path);
}

inline std::string tempFile(const char* name) {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

// The names in a folder, lower case, sorted; empty when it does not exist.
inline std::vector<std::string> listFolder(const std::string& dir) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((dir + "\\*").c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::string name = found.cFileName;
        if (name != "." && name != "..") names.push_back(lower(name));
    } while (FindNextFileA(find, &found));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

// A value as text: strings as they are, DWORDs in decimal; "<missing>" when
// the key or value is not there.
inline std::string valueText(DWORD type, const std::vector<BYTE>& data, DWORD size) {
    if (type == REG_DWORD && size == 4) {
        DWORD v;
        std::memcpy(&v, data.data(), 4);
        return std::to_string(v);
    }
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        std::string s(reinterpret_cast<const char*>(data.data()), size);
        return s.substr(0, s.find('\0'));
    }
    return "<type " + std::to_string(type) + ">";
}

inline std::string readString(HKEY root, const std::string& path, const char* value,
                              REGSAM view) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return "<missing>";
    std::vector<BYTE> data(4096);
    DWORD size = static_cast<DWORD>(data.size()), type = 0;
    LONG r = RegQueryValueExA(key, value, nullptr, &type, data.data(), &size);
    RegCloseKey(key);
    return r == ERROR_SUCCESS ? valueText(type, data, size) : "<missing>";
}

// A value as readString gives it, strings in UTF-8, read as UTF-16: the A
// functions would turn what the code page lacks into '?'.
inline std::string readUtf8(HKEY root, const std::string& path, const char* value, REGSAM view) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return "<missing>";
    const std::wstring name(value, value + std::strlen(value));
    std::vector<wchar_t> data(4096);
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t)), type = 0;
    LONG r = RegQueryValueExW(key, name.c_str(), nullptr, &type,
                              reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS) return "<missing>";
    if (type != REG_SZ) {
        std::vector<BYTE> bytes(size);
        std::memcpy(bytes.data(), data.data(), size);
        return valueText(type, bytes, size);
    }
    const std::wstring text(data.data(), wcsnlen(data.data(), size / sizeof(wchar_t)));
    std::string utf8(text.size() * 3, '\0');
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                      &utf8[0], static_cast<int>(utf8.size()), nullptr, nullptr);
    utf8.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return utf8;
}

// Every value of one key, by name.
inline std::map<std::string, std::string> readValues(HKEY root, const std::string& path,
                                                     REGSAM view) {
    std::map<std::string, std::string> values;
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS)
        return values;
    for (DWORD i = 0;; ++i) {
        char name[256];
        DWORD nameLen = sizeof name, type = 0;
        std::vector<BYTE> data(4096);
        DWORD size = static_cast<DWORD>(data.size());
        if (RegEnumValueA(key, i, name, &nameLen, nullptr, &type, data.data(), &size) !=
            ERROR_SUCCESS)
            break;
        values[std::string(name, nameLen)] = valueText(type, data, size);
    }
    RegCloseKey(key);
    return values;
}

// The files Windows deletes at the next restart (PendingFileRenameOperations
// entries with no new name), lower case, sorted.
inline std::vector<std::string> pendingDeletes() {
    std::vector<std::string> files;
    HKEY key;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0,
                      KEY_READ, &key) != ERROR_SUCCESS)
        return files;
    // Read as UTF-16: the value holds NT paths ("\??\C:\...") in pairs.
    std::vector<wchar_t> data(1 << 16);
    DWORD size = static_cast<DWORD>(data.size() * sizeof(wchar_t)), type = 0;
    LONG r = RegQueryValueExW(key, L"PendingFileRenameOperations", nullptr, &type,
                              reinterpret_cast<BYTE*>(data.data()), &size);
    RegCloseKey(key);
    if (r != ERROR_SUCCESS) return files;
    std::vector<std::wstring> items;
    const wchar_t* p = data.data();
    const wchar_t* end = data.data() + size / sizeof(wchar_t);
    while (p < end) {
        std::wstring item(p);
        items.push_back(item);
        p += item.size() + 1;
    }
    for (std::size_t i = 0; i + 1 < items.size(); i += 2) {
        if (!items[i + 1].empty() || items[i].empty()) continue;
        std::wstring path = items[i].rfind(L"\\??\\", 0) == 0 ? items[i].substr(4) : items[i];
        std::string narrow(path.begin(), path.end());
        files.push_back(lower(narrow));
    }
    std::sort(files.begin(), files.end());
    files.erase(std::unique(files.begin(), files.end()), files.end());
    return files;
}

// The registry where the installer could write, both views: HKLM\Software
// (the class root among it) and HKCU\Software, which holds the user's menus.
// Proxy/stub interfaces and type libraries are left out (half of a fresh
// class root; nothing here registers any), and Wow6432Node is read as the
// other view instead.
using Snapshot = std::map<std::string, std::string>;

inline void walk(HKEY root, const std::string& path, REGSAM view, const std::string& tag,
                 Snapshot& out) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return;
    out[tag + lower(path)] = "<key>";
    for (DWORD i = 0;; ++i) {
        char name[1024];
        DWORD nameLen = sizeof name, type = 0;
        std::vector<BYTE> data(1 << 16);
        DWORD size = static_cast<DWORD>(data.size());
        if (RegEnumValueA(key, i, name, &nameLen, nullptr, &type, data.data(), &size) !=
            ERROR_SUCCESS)
            break;
        out[tag + lower(path) + "|" + lower(std::string(name, nameLen))] =
            std::to_string(type) + ":" + std::string(reinterpret_cast<char*>(data.data()), size);
    }
    std::vector<std::string> children;
    for (DWORD i = 0;; ++i) {
        char name[1024];
        DWORD len = sizeof name;
        if (RegEnumKeyExA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        children.emplace_back(name, len);
    }
    RegCloseKey(key);
    for (const std::string& c : children) {
        const std::string l = lower(c);
        if (l == "wow6432node" || l == "interface" || l == "typelib") continue;
        walk(root, path + "\\" + c, view, tag, out);
    }
}

inline Snapshot snapshot() {
    Snapshot s;
    walk(HKEY_LOCAL_MACHINE, "Software", kView32.flag, "HKLM(32):", s);
    if (onWin64()) walk(HKEY_LOCAL_MACHINE, "Software", kView64.flag, "HKLM(64):", s);
    walk(HKEY_CURRENT_USER, "Software", 0, "HKCU:", s);
    return s;
}

// Every entry added, removed or changed from `from` to `to`, one a line.
inline std::string changes(const Snapshot& from, const Snapshot& to) {
    std::string text;
    for (const auto& [name, content] : to) {
        auto it = from.find(name);
        if (it == from.end()) text += "added: " + name + "\n";
        else if (it->second != content) text += "changed: " + name + "\n";
    }
    for (const auto& [name, content] : from)
        if (!to.count(name)) text += "removed: " + name + "\n";
    return text;
}

// installer_host.exe --hold: keeps both classes (and their DLLs) loaded
// until release().
class HeldHost {
public:
    HeldHost(std::string host, std::string result) : host_(std::move(host)), result_(std::move(result)) {
        ready_ = CreateEventA(nullptr, TRUE, FALSE, "TalvexHostReady");
        release_ = CreateEventA(nullptr, TRUE, FALSE, "TalvexHostRelease");
    }
    ~HeldHost() {
        if (process_) {
            SetEvent(release_);
            if (WaitForSingleObject(process_, 30000) != WAIT_OBJECT_0) TerminateProcess(process_, 1);
            CloseHandle(process_);
        }
        CloseHandle(ready_);
        CloseHandle(release_);
    }
    HeldHost(const HeldHost&) = delete;
    HeldHost& operator=(const HeldHost&) = delete;

    // True once the host has created both classes and holds them.
    bool start() {
        PROCESS_INFORMATION pi = {};
        if (!test_process::start("\"" + host_ + "\" \"" + result_ + "\" --hold", pi)) return false;
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
        HANDLE both[2] = {ready_, process_};
        return WaitForMultipleObjects(2, both, FALSE, 60000) == WAIT_OBJECT_0;
    }

    // Lets the host release the objects and end; its exit code.
    long release() {
        if (!process_) return -1;
        SetEvent(release_);
        long code = 124;
        if (WaitForSingleObject(process_, 60000) == WAIT_OBJECT_0) {
            DWORD exitCode = 0;
            GetExitCodeProcess(process_, &exitCode);
            code = static_cast<long>(exitCode);
        }
        CloseHandle(process_);
        process_ = nullptr;
        return code;
    }

private:
    std::string host_, result_;
    HANDLE ready_ = nullptr, release_ = nullptr, process_ = nullptr;
};

}  // namespace installer_support
