#include "menu_walk.h"

#include <cstring>

#include "menu_store.h"

namespace handler {

namespace {

struct OpenMenu {
    std::uint32_t key;  // submenu id; 0 for the host's menu
    unsigned position;
    MenuHandle menu;
};

bool isBlank(char c) { return c == ' ' || c == '\t'; }

}  // namespace

IconMode chooseIconMode(unsigned majorVersion, unsigned minorVersion, const char* kind) {
    bool background = kind && std::strcmp(kind, store::kKindBackground) == 0;
    return majorVersion == 5 && minorVersion == 0 && background ? IconMode::Bitmaps
                                                                : IconMode::OwnerDrawn;
}

int parseIconLocation(const char* location, char* file, std::size_t fileSize) {
    if (fileSize == 0) return 0;
    file[0] = '\0';
    if (!location) return 0;
    const char* comma = std::strrchr(location, ',');
    const char* end = comma ? comma : location + std::strlen(location);
    int index = 0;
    if (comma) {
        const char* p = comma + 1;
        bool negative = *p == '-';
        if (negative || *p == '+') ++p;
        long value = 0;
        for (; *p >= '0' && *p <= '9' && value < 100000000; ++p) value = value * 10 + (*p - '0');
        index = static_cast<int>(negative ? -value : value);
    }
    const char* begin = location;
    while (begin < end && isBlank(*begin)) ++begin;
    while (end > begin && isBlank(end[-1])) --end;
    if (end - begin >= 2 && *begin == '"' && end[-1] == '"') {
        ++begin;
        --end;
    }
    std::size_t length = static_cast<std::size_t>(end - begin);
    if (length > fileSize - 1) length = fileSize - 1;
    std::memcpy(file, begin, length);
    file[length] = '\0';
    return index;
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
            slot.iconIndex = parseIconLocation(item.icon, slot.iconFile, sizeof slot.iconFile);
            if (request.iconMode == IconMode::OwnerDrawn) {
                menuItem.ownerDrawnIcon = true;
                menuItem.itemData = offset;
            } else {
                menuItem.checkMarks = sink.makeIconBitmap(slot.iconFile, slot.iconIndex);
            }
        }
        if (item.isSubMenu != 0)
            menuItem.submenu = sink.createSubmenu();
        else
            store::copyField(slot.action, sizeof slot.action, item.action);

        bool inserted = sink.insertItem(top.menu, top.position, menuItem);
        if (inserted) ++top.position;
        if (inserted && menuItem.submenu) stack.push_back({entry.id, 0, menuItem.submenu});
    }
    return static_cast<unsigned>(count) + 1;
}

}  // namespace handler
