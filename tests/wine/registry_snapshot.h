// The registry as a whole, as text, so that a test can compare it before and
// after registration and see every entry written anywhere else as well.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <string>
#include <vector>

namespace registry_snapshot {

inline std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// One entry per key and per value. Keys of the merged class root from both
// hives are recorded relative to the class root, so a difference reads the
// same wherever Wine put it; the hive is kept as a prefix tag.
//   "<tag>:<path>"             -> "<key>"
//   "<tag>:<path>|<value>"     -> "<type>:<data bytes>"
using Snapshot = std::map<std::string, std::string>;

inline void walk(HKEY root, const std::string& path, const std::string& tag,
                 const std::string& rel, Snapshot& out) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    out[tag + ":" + lower(rel)] = "<key>";

    DWORD subkeyCount = 0, maxSubkeyLen = 0, valueCount = 0, maxNameLen = 0, maxDataLen = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeyCount, &maxSubkeyLen, nullptr,
                     &valueCount, &maxNameLen, &maxDataLen, nullptr, nullptr);
    std::vector<char> name(maxNameLen + 2);
    std::vector<BYTE> data(maxDataLen + 2);
    for (DWORD i = 0;; ++i) {
        DWORD nameLen = static_cast<DWORD>(name.size());
        DWORD dataLen = static_cast<DWORD>(data.size());
        DWORD type = 0;
        LONG r = RegEnumValueA(key, i, name.data(), &nameLen, nullptr, &type, data.data(), &dataLen);
        if (r == ERROR_MORE_DATA) {
            name.resize(name.size() * 2 + 64);
            data.resize(data.size() * 2 + 64);
            --i;
            continue;
        }
        if (r != ERROR_SUCCESS) break;
        out[tag + ":" + lower(rel) + "|" + lower(std::string(name.data(), nameLen))] =
            std::to_string(type) + ":" +
            std::string(reinterpret_cast<const char*>(data.data()), dataLen);
    }

    std::vector<std::string> children;
    std::vector<char> child(maxSubkeyLen + 2);
    for (DWORD i = 0;; ++i) {
        DWORD len = static_cast<DWORD>(child.size());
        LONG r = RegEnumKeyExA(key, i, child.data(), &len, nullptr, nullptr, nullptr, nullptr);
        if (r == ERROR_MORE_DATA) {
            child.resize(child.size() * 2 + 64);
            --i;
            continue;
        }
        if (r != ERROR_SUCCESS) break;
        children.emplace_back(child.data(), len);
    }
    RegCloseKey(key);
    for (const std::string& c : children) {
        // Proxy/stub interfaces and type libraries make up more than half of
        // a fresh prefix's class root; neither DLL registers any.
        if (rel.empty() && (lstrcmpiA(c.c_str(), "Interface") == 0 ||
                            lstrcmpiA(c.c_str(), "TypeLib") == 0))
            continue;
        walk(root, path.empty() ? c : path + "\\" + c, tag, rel.empty() ? c : rel + "\\" + c, out);
    }
}

// Everything registration could plausibly touch: the class root in both
// hives (this covers every shell class, drives included) and the store.
inline Snapshot snapshot() {
    Snapshot s;
    walk(HKEY_LOCAL_MACHINE, "Software\\Classes", "HKCR", "", s);
    walk(HKEY_CURRENT_USER, "Software\\Classes", "HKCR", "", s);
    walk(HKEY_CURRENT_USER, "Software\\Talvex", "HKCU\\Software\\Talvex", "", s);
    return s;
}

// Entries in `to` that are not in `from` with the same content, as sorted text.
inline std::string added(const Snapshot& from, const Snapshot& to) {
    std::string text;
    for (const auto& [name, content] : to) {
        auto it = from.find(name);
        if (it == from.end()) {
            text += name + "\n";
        } else if (it->second != content) {
            text += name + " (changed)\n";
        }
    }
    return text;
}

}  // namespace registry_snapshot
