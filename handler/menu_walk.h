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
    char action[store::kActionSize];  // commands only
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
    // Renders the small icon at file/index into a bitmap; null when none.
    virtual BitmapHandle makeIconBitmap(const char* file, int index) = 0;
};

// Whether icons fall back to check-mark bitmaps: only on system version 5.0,
// and only in a folder background's menu.
IconMode chooseIconMode(unsigned majorVersion, unsigned minorVersion, const char* kind);

struct MenuRequest {
    const char* kind;      // null: nothing is shown
    MenuHandle menu;       // the menu the host passed
    unsigned indexMenu;    // where the first item goes
    unsigned firstId;
    unsigned lastId;       // ids never pass it: later entries are left out
    IconMode iconMode;
};

// Reads the kind's index list and items and inserts them. On return `table`
// holds one slot per entry that got an offset (left untouched when there are
// none). Returns the number of those entries plus one.
unsigned buildMenu(store::KeyStore& keys, const MenuRequest& request, MenuSink& sink,
                   std::vector<ItemSlot>& table);

}  // namespace handler
