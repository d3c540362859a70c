#include "menu_walk.h"

#include <cstring>

#include "icon_location.h"
#include "menu_store.h"

namespace handler {

namespace {

struct OpenMenu {
    std::uint32_t key;  // submenu id; 0 for the host's menu
    unsigned position;
    MenuHandle menu;
};

}  // namespace

IconMode chooseIconMode(unsigned majorVersion, unsigned minorVersion, const char* kind) {
    bool background = kind && std::strcmp(kind, store::kKindBackground) == 0;
    return majorVersion == 5 && minorVersion == 0 && background ? IconMode::Bitmaps
                                                                : IconMode::OwnerDrawn;
}

unsigned buildMenu(store::KeyStore& keys, const MenuRequest& request, MenuSink& sink,
                   std::vector<ItemSlot>& table) {
    if (!request.kind || request.lastId < request.firstId) return 1;
    std::vector<store::IndexEntry> entries = store::readIndexList(keys, request.kind);
    std::size_t count = entries.size();
    // Offsets beyond the host's last id cannot be given out.
    std::size_t idRoom = static_cast<std::size_t>(request.lastId - request.firstId) + 1;
    if (count > idRoom) count = idRoom;
    if (count == 0) return 1;

    store::ScopedKey items(keys, keys.openForRead(nullptr, store::kItemsKey));
    table.assign(count, ItemSlot{});

    std::vector<OpenMenu> stack;
    stack.push_back({0, request.indexMenu + (request.iconMode == IconMode::Bitmaps ? 1u : 0u),
                     request.menu});

    store::StoredItem item;
    for (std::size_t offset = 0; offset < count; ++offset) {
        const store::IndexEntry& entry = entries[offset];
        // Close submenus down to the entry's parent; a parent that is not open
        // leaves the entry on the top level.
        while (stack.size() > 1 && stack.back().key != entry.parent) stack.pop_back();
        OpenMenu& top = stack.back();

        if (entry.id == 0) {
            sink.insertSeparator(top.menu, top.position++);
            continue;
        }
        if (!store::readItem(keys, items.get(), entry.id, item, store::ActionRead::CommandsOnly))
            continue;  // no item key: nothing to show

        ItemSlot& slot = table[offset];
        store::copyField(slot.prompt, sizeof slot.prompt, item.prompt);
        MenuItem menuItem{item.caption, request.firstId + static_cast<unsigned>(offset),
                          nullptr, false, 0, nullptr};
        if (item.icon[0] != '\0') {
            slot.iconIndex =
                store::parseIconLocation(item.icon, slot.iconFile, sizeof slot.iconFile);
            if (request.iconMode == IconMode::OwnerDrawn) {
                menuItem.ownerDrawnIcon = true;
                menuItem.itemData = offset;
            } else {
                menuItem.checkMarks = sink.makeIconBitmap(slot.iconFile, slot.iconIndex);
            }
        }
        if (item.isSubmenu != 0)
            menuItem.submenu = sink.createSubmenu();
        else if (!item.actionCut)  // a cut command is shown but starts nothing
            store::copyField(slot.action, sizeof slot.action, item.action);

        bool inserted = sink.insertItem(top.menu, top.position, menuItem);
        if (inserted) ++top.position;
        if (inserted && menuItem.submenu) stack.push_back({entry.id, 0, menuItem.submenu});
    }
    return static_cast<unsigned>(count) + 1;
}

}  // namespace handler
