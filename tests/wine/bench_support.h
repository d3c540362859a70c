// What the benchmarks share: menu lists of known shapes and their items,
// and the timing of runs.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <vector>

#include "shell_host.h"
#include "store_paths.h"

namespace bench {

struct Entry {
    std::uint16_t id;
    std::uint16_t parent;
};

struct Item {
    std::uint16_t id;
    bool submenu;
};

// Gives out ids in order while a menu list is written down.
struct ListBuilder {
    std::vector<Entry>& entries;
    std::vector<Item>& items;
    std::uint16_t id = 1;

    std::uint16_t add(std::uint16_t parent, bool submenu) {
        entries.push_back({id, parent});
        items.push_back({id, submenu});
        return id++;
    }
};

// 20 items: two submenus of six commands each between top-level commands.
inline void smallMenu(std::vector<Entry>& entries, std::vector<Item>& items) {
    ListBuilder list{entries, items};
    for (int block = 0; block < 2; ++block) {
        std::uint16_t sub = list.add(0, true);
        for (int i = 0; i < 6; ++i) list.add(sub, false);
        list.add(0, false);
    }
    while (list.id <= 20) list.add(0, false);
}

// The largest list the store holds: 1024 entries, of which 999 items (every
// id a key name allows) and 25 separators. 25 blocks, each a submenu holding
// a nested submenu (19 commands, a separator, 9 commands) followed by 9
// commands of its own; then 24 top-level commands.
inline void largeMenu(std::vector<Entry>& entries, std::vector<Item>& items) {
    ListBuilder list{entries, items};
    for (int block = 0; block < 25; ++block) {
        std::uint16_t outer = list.add(0, true);
        std::uint16_t inner = list.add(outer, true);
        for (int i = 0; i < 19; ++i) list.add(inner, false);
        entries.push_back({0, inner});
        for (int i = 0; i < 9; ++i) list.add(inner, false);
        for (int i = 0; i < 9; ++i) list.add(outer, false);
    }
    while (list.id <= 999) list.add(0, false);
}

// ---------------------------------------------------------------- timing

inline double nowMicroseconds() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) * 1e6 / static_cast<double>(frequency.QuadPart);
}

inline double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n == 0 ? 0.0 : (n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0);
}

// The floor: every registry read the menu needs, nothing else, into fields
// of the handler's sizes. Returns the number of entries read.

// Writes the list for `kind` with items of realistic lengths; the store is
// emptied first.
inline void writeStore(const char* kind, const std::vector<Entry>& entries,
                       const std::vector<Item>& items) {
    SHDeleteKeyA(HKEY_CURRENT_USER, store_paths::kStoreKey);
    shell_host::Entries list;
    for (const Entry& e : entries) list.push_back({e.id, e.parent});
    shell_host::putIndex(kind, list);
    DWORD maxId = 0;
    char caption[64], prompt[64], icon[64], action[128];
    for (const Item& it : items) {
        maxId = std::max<DWORD>(maxId, it.id);
        std::snprintf(caption, sizeof caption, "%s %u", it.submenu ? "Submenu" : "Command", it.id);
        std::snprintf(prompt, sizeof prompt, "Runs the tool for entry number %u of the menu", it.id);
        std::snprintf(icon, sizeof icon, "C:\\windows\\system32\\shell32.dll,%u", it.id % 40);
        std::snprintf(action, sizeof action,
                      "\"C:\\Program Files\\Talvex Tools\\tool%u.exe\" /open \"%%1\" $(%%0) $:0",
                      it.id);
        shell_host::putItem(it.id, caption, it.submenu, action, prompt, icon);
    }
    shell_host::putMaxId(maxId);
}

}  // namespace bench
