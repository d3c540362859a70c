// Building a context kind's menu from the store: the walk over the index list
// with its submenu stack and command offsets, against an abstract menu so the
// logic runs without the platform's menus.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "key_store.h"
#include "store_layout.h"

namespace handler {

using MenuHandle = void*;
using BitmapHandle = void*;

// What the item table keeps per entry; the slot's position is the entry's
// command offset. Separators leave their slot empty.
struct ItemSlot {
    char prompt[store::kPromptSize];
    char iconFile[store::kIconSize];  // the file part of the icon location
    int iconIndex;
    // A command that runs elevated and has no icon of its own: it shows the
    // system's shield, as Windows marks what asks for consent.
    bool shield;
    // The item's id: a chosen command is read from the store by it then
    // (readChosenCommand), so a right click reads no action.
    std::uint32_t id;
};

enum class IconMode {
    OwnerDrawn,  // icons are drawn when the menu asks for them
    Bitmaps,     // icons become check-mark bitmaps while the menu is built
};

struct MenuItem {
    const char* caption;
    unsigned id;
    MenuHandle submenu;      // null for a command
    bool ownerDrawnIcon;     // the item's bitmap is drawn on request
    std::size_t itemData;    // the command offset, for owner-drawn icons
    BitmapHandle checkMarks; // under IconMode::Bitmaps; null otherwise
};

class MenuSink {
public:
    virtual ~MenuSink() = default;
    virtual MenuHandle createSubmenu() = 0;
    virtual void insertSeparator(MenuHandle menu, unsigned position) = 0;
    // Returns false when the menu did not take the item; a submenu it carried
    // is then gone.
    virtual bool insertItem(MenuHandle menu, unsigned position, const MenuItem& item) = 0;
    // Renders the slot's small icon (its file and index, or the shield)
    // into a bitmap; null when none.
    virtual BitmapHandle makeIconBitmap(const ItemSlot& slot) = 0;
};

// Whether icons fall back to check-mark bitmaps: only on system version 5.0,
// and only in a folder background's menu.
IconMode chooseIconMode(unsigned majorVersion, unsigned minorVersion, const char* kind);

// An item's "ShowFor" value: which selected objects it is shown for.
using store::kShowForSize;
using store::kShowForValue;

// Decides, item by item, whether an item is shown for the objects the menu
// is opened on.
class ItemFilter {
public:
    virtual ~ItemFilter() = default;
    // `showFor` is the item's stored "ShowFor" text, in the code page; empty
    // when it has none.
    virtual bool shows(const char* showFor) = 0;
};

// Filters apply to the menus of files and folders; the background's and the
// drives' menus are always shown whole.
bool filtersApplyTo(const char* kind);

struct MenuRequest {
    const char* kind;      // null: nothing is shown
    MenuHandle menu;       // the menu the host passed
    unsigned indexMenu;    // where the first item goes
    unsigned firstId;
    unsigned lastId;       // ids never pass it: later entries are left out
    IconMode iconMode;
    // Null, or a kind filters do not apply to: every entry of the list is
    // walked as it stands, each taking its offset. Otherwise the menu holds
    // only what shows: items the filter turns down are left out with their
    // submenus' contents, as are items whose key is missing; a submenu left
    // with no item is left out; separators that would stand first or last in
    // a menu, or after another, are left out. Only what is shown takes an
    // offset (separators included), so offsets, ids, item data and table
    // slots count the entries shown; when the host grants fewer ids, what
    // lies past them goes and the same rules apply to what is left. A
    // submenu the menu refuses keeps its offsets but its entries go with it.
    ItemFilter* filter = nullptr;
};

// Reads the kind's index list and items and inserts them. On return `table`
// holds one slot per entry that got an offset (left untouched when there are
// none). Returns the number of those entries plus one.
unsigned buildMenu(store::KeyStore& keys, const MenuRequest& request, MenuSink& sink,
                   std::vector<ItemSlot>& table);

}  // namespace handler
