// The menus of a backup file in memory: each kind's list as a tree of
// entries, texts already in the store's code page. Reading a file yields
// one, so does reading the store; writing either way starts from one.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "store_layout.h"

namespace menus_file {

struct MenuEntry {
    bool separator = false;
    bool submenu = false;
    // Texts in the store's code page, each short enough for its field.
    std::string caption, prompt, icon, action, showFor;
    std::uint32_t selection = store::kSelectionFirstOnly;  // commands
    bool runAs = false;                                     // commands
    std::vector<MenuEntry> items;                           // submenus
    unsigned line = 0;  // where the entry starts in the file it was read from; 0 otherwise

    bool operator==(const MenuEntry& other) const;
    bool operator!=(const MenuEntry& other) const { return !(*this == other); }
};

using MenuList = std::vector<MenuEntry>;

// One optional list per kind, in the order of store::kContextKinds; a kind a
// file leaves out has none, and an import leaves it as it is.
struct Menus {
    std::array<std::optional<MenuList>, store::kContextKindCount> kinds;
};

// Index of a kind in store::kContextKinds, -1 for a text that names none.
// The file spells kinds exactly as the store does.
int kindIndex(const std::string& name);

// What the user calls each menu.
const char* kindTitle(int index);

// The list's items, submenus' included; separators take no id.
std::size_t itemCount(const MenuList& list);

}  // namespace menus_file
