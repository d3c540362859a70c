// A context kind's menu as a tree of commands, for the front that hands
// Explorer command objects (Windows 11's first right-click menu) instead of
// menu items. It is read through the classic menu's own walk, so both fronts
// show the same entries, nesting, prompts, icons and commands.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "key_store.h"
#include "menu_walk.h"

namespace handler {

// The title of the front's root entry when it holds the whole list.
constexpr const char kRootTitle[] = "Talvex";

struct CommandNode {
    enum class Type { Command, Submenu, Separator };
    Type type;
    std::string caption;    // as stored, in the code page
    std::size_t offset;     // its slot in CommandTree::table; none for separators
    std::size_t menu;       // submenus: its entries, an index into CommandTree::menus
};

struct CommandTree {
    std::vector<CommandNode> nodes;
    // Each menu's entries in order, as indices into `nodes`; menus[0] is the
    // top level.
    std::vector<std::vector<std::size_t>> menus{1};
    std::vector<ItemSlot> table;  // prompt, icon and item id by offset
};

// Reads the kind's list and items from the store, once; a null kind (an
// object that has no menu) gives an empty tree. A filter leaves out what the
// classic menu's walk leaves out with it (see MenuRequest::filter).
CommandTree readCommandTree(store::KeyStore& keys, const char* kind,
                            ItemFilter* filter = nullptr);

// What the root entry shows.
struct RootShape {
    static constexpr std::size_t kOwnTitle = static_cast<std::size_t>(-1);
    bool hidden;       // the kind has no entries
    std::size_t node;  // a list that is one submenu: that submenu; else kOwnTitle
    std::size_t menu;  // the root's subcommands, an index into CommandTree::menus
};
RootShape rootShape(const CommandTree& tree);

// The icon location "file,index" of a slot's own icon, as the shell's icon
// functions take it; empty when it has none (a shield is the system's, which
// only the platform can name).
std::string iconLocation(const ItemSlot& slot);

// Whether the packaged front shows the kind's menu. Drive roots have no item
// type a package may declare, so their menus stay classic.
bool packagedFrontShows(const char* kind);

}  // namespace handler
