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

// What the menu shows of an item, and no more: a right click reads each
// value it needs once. No action, since a chosen command is read again
// (readChosenCommand); ShowFor only where a filter asks; RunAs only for a
// command without an icon of its own, where it puts the shield in its place.
struct ShownItem {
    char caption[store::kCaptionSize];
    char prompt[store::kPromptSize];
    char icon[store::kIconSize];
    bool submenu;
    char showFor[kShowForSize];
    bool shield;
};

// Read as store::readItem reads the same values: absent or malformed ones
// read as empty or 0, long texts are cut. False when the item key is absent.
bool readShownItem(store::KeyStore& keys, store::KeyHandle items, std::uint32_t id,
                   bool withShowFor, ShownItem& item) {
    item.caption[0] = item.prompt[0] = item.icon[0] = item.showFor[0] = '\0';
    item.submenu = item.shield = false;
    if (!items) return false;
    char name[store::kItemKeyNameSize];
    store::itemKeyName(id, name);
    store::ScopedKey key(keys, keys.openForRead(items, name));
    if (!key) return false;
    store::readText(keys, key.get(), store::kCaptionValue, item.caption, sizeof item.caption);
    store::readText(keys, key.get(), store::kPromptValue, item.prompt, sizeof item.prompt);
    store::readText(keys, key.get(), store::kIconValue, item.icon, sizeof item.icon);
    item.submenu = store::readNumber(keys, key.get(), store::kIsSubMenuValue) != 0;
    if (withShowFor)
        store::readText(keys, key.get(), kShowForValue, item.showFor, sizeof item.showFor);
    if (!item.submenu && item.icon[0] == '\0')
        item.shield = store::readNumber(keys, key.get(), store::kRunAsValue) == store::kRunAsElevated;
    return true;
}

void fillSlot(std::uint32_t id, const ShownItem& item, ItemSlot& slot) {
    slot.id = id;
    store::copyField(slot.prompt, sizeof slot.prompt, item.prompt);
    if (item.icon[0] != '\0')
        slot.iconIndex = store::parseIconLocation(item.icon, slot.iconFile, sizeof slot.iconFile);
    slot.shield = item.shield;
}

// An item with an icon: drawn on request, by its offset, or a bitmap made now.
void giveIcon(MenuItem& menuItem, const ItemSlot& slot, std::size_t offset, IconMode mode,
              MenuSink& sink) {
    if (mode == IconMode::OwnerDrawn) {
        menuItem.ownerDrawnIcon = true;
        menuItem.itemData = offset;
    } else {
        menuItem.checkMarks = sink.makeIconBitmap(slot);
    }
}

unsigned firstPosition(const MenuRequest& request) {
    return request.indexMenu + (request.iconMode == IconMode::Bitmaps ? 1u : 0u);
}

// A walk first decides what shows, then inserts it.
constexpr std::size_t kTopLevel = static_cast<std::size_t>(-1);
constexpr std::size_t kNone = static_cast<std::size_t>(-1);

struct PlannedEntry {
    std::size_t menu = kTopLevel;  // the submenu entry it stands in
    bool separator = false;
    bool submenu = false;
    bool hasIcon = false;
    bool allowed = false;  // read, shown by the filter, in a menu that is
    bool kept = false;     // inserted
    std::size_t slot = kNone;  // its prompt, icon and id
    char caption[store::kCaptionSize] = {};
};

// Decides `kept` from `allowed`: a submenu stays with at least one item in
// it; a separator stays between two items of its menu, once per run.
void settle(std::vector<PlannedEntry>& plan) {
    // Entries follow their submenu, so from the back every submenu's items
    // are decided before it.
    std::vector<std::size_t> itemsIn(plan.size(), 0);
    for (std::size_t i = plan.size(); i-- > 0;) {
        PlannedEntry& entry = plan[i];
        if (entry.separator) continue;
        entry.kept = entry.allowed && (!entry.submenu || itemsIn[i] > 0);
        if (entry.kept && entry.menu != kTopLevel) ++itemsIn[entry.menu];
    }
    struct MenuState {
        bool hasItem = false;
        std::size_t separator = kNone;  // waiting for an item after it
    };
    std::vector<MenuState> menus(plan.size() + 1);  // the last is the top level
    for (std::size_t i = 0; i < plan.size(); ++i) {
        PlannedEntry& entry = plan[i];
        MenuState& menu = menus[entry.menu == kTopLevel ? plan.size() : entry.menu];
        if (entry.separator) {
            entry.kept = false;
            if (entry.allowed && menu.hasItem && menu.separator == kNone) menu.separator = i;
            continue;
        }
        if (!entry.kept) continue;
        if (menu.separator != kNone) plan[menu.separator].kept = true;
        menu.separator = kNone;
        menu.hasItem = true;
    }
}

std::size_t keptCount(const std::vector<PlannedEntry>& plan) {
    std::size_t kept = 0;
    for (const PlannedEntry& entry : plan) kept += entry.kept;
    return kept;
}

// Every planned entry as the unfiltered walk inserts it, by the same
// steps: each at the offset of its place in the list, nested by the
// submenus the menu took.
unsigned insertWhole(const MenuRequest& request, const std::vector<store::IndexEntry>& entries,
                     const std::vector<PlannedEntry>& plan, const std::vector<ItemSlot>& slots,
                     std::size_t idRoom, MenuSink& sink, std::vector<ItemSlot>& table) {
    const std::size_t count = entries.size() < idRoom ? entries.size() : idRoom;
    if (count == 0) return 1;
    table.assign(count, ItemSlot{});
    std::vector<OpenMenu> stack;
    stack.push_back({0, firstPosition(request), request.menu});
    for (std::size_t offset = 0; offset < count; ++offset) {
        const store::IndexEntry& entry = entries[offset];
        while (stack.size() > 1 && stack.back().key != entry.parent) stack.pop_back();
        OpenMenu& top = stack.back();
        if (entry.id == 0) {
            sink.insertSeparator(top.menu, top.position++);
            continue;
        }
        const PlannedEntry& planned = plan[offset];
        if (planned.slot == kNone) continue;  // no item key: nothing to show
        ItemSlot& slot = table[offset];
        slot = slots[planned.slot];
        MenuItem menuItem{planned.caption, request.firstId + static_cast<unsigned>(offset), nullptr,
                          false, 0, nullptr};
        if (planned.hasIcon) giveIcon(menuItem, slot, offset, request.iconMode, sink);
        if (planned.submenu) menuItem.submenu = sink.createSubmenu();
        bool inserted = sink.insertItem(top.menu, top.position, menuItem);
        if (inserted) ++top.position;
        if (inserted && menuItem.submenu) stack.push_back({entry.id, 0, menuItem.submenu});
    }
    return static_cast<unsigned>(count) + 1;
}

// What the first `count` entries of a list show, read once. Submenus are
// followed as the walk follows them; one the filter turns down still holds
// its entries, so that they go with it. Without a filter every item read
// is allowed.
struct Plan {
    std::vector<PlannedEntry> entries;
    std::vector<ItemSlot> slots;
    bool filtersInUse = false;  // an item read has a ShowFor text
};

Plan planEntries(store::KeyStore& keys, const std::vector<store::IndexEntry>& entries,
                 std::size_t count, ItemFilter* filter) {
    store::ScopedKey items(keys, keys.openForRead(nullptr, store::kItemsKey));
    Plan plan;
    plan.entries.resize(count);
    struct Open {
        std::uint32_t key;
        std::size_t entry;
        bool shown;
    };
    std::vector<Open> stack{{0, kTopLevel, true}};
    ShownItem item;
    for (std::size_t i = 0; i < count; ++i) {
        const store::IndexEntry& stored = entries[i];
        while (stack.size() > 1 && stack.back().key != stored.parent) stack.pop_back();
        const Open top = stack.back();
        PlannedEntry& entry = plan.entries[i];
        entry.menu = top.entry;
        if (stored.id == 0) {
            entry.separator = true;
            entry.allowed = top.shown;
            continue;
        }
        if (!readShownItem(keys, items.get(), stored.id, filter != nullptr, item))
            continue;  // no item key: nothing to show
        entry.submenu = item.submenu;
        entry.allowed = top.shown && (!filter || filter->shows(item.showFor));
        plan.filtersInUse = plan.filtersInUse || item.showFor[0] != '\0';
        if (entry.submenu) stack.push_back({stored.id, i, entry.allowed});
        if (!entry.allowed) continue;
        store::copyField(entry.caption, sizeof entry.caption, item.caption);
        entry.hasIcon = item.icon[0] != '\0' || item.shield;
        entry.slot = plan.slots.size();
        plan.slots.emplace_back();
        fillSlot(stored.id, item, plan.slots.back());
    }
    return plan;
}

// Every entry as it stands, each with the offset of its place in the list.
unsigned buildWholeMenu(store::KeyStore& keys, const MenuRequest& request,
                        const std::vector<store::IndexEntry>& entries, std::size_t count,
                        MenuSink& sink, std::vector<ItemSlot>& table) {
    Plan plan = planEntries(keys, entries, count, nullptr);
    return insertWhole(request, entries, plan.entries, plan.slots, count, sink, table);
}

unsigned buildFilteredMenu(store::KeyStore& keys, const MenuRequest& request,
                           const std::vector<store::IndexEntry>& entries, std::size_t idRoom,
                           MenuSink& sink, std::vector<ItemSlot>& table) {
    Plan planned = planEntries(keys, entries, entries.size(), request.filter);
    std::vector<PlannedEntry>& plan = planned.entries;
    const std::vector<ItemSlot>& slots = planned.slots;
    const bool filtersInUse = planned.filtersInUse;

    // No item names the objects it is for: the menu is the list as it
    // stands, exactly as before items could (empty submenus, separators and
    // offsets included).
    if (!filtersInUse) return insertWhole(request, entries, plan, slots, idRoom, sink, table);

    settle(plan);
    std::size_t kept = keptCount(plan);
    if (kept > idRoom) {
        // What lies past the last id the host grants is left out, and what
        // that leaves empty or stranded goes too.
        std::size_t given = 0;
        for (PlannedEntry& entry : plan) {
            if (given == idRoom) entry.allowed = false;
            else given += entry.kept;
        }
        settle(plan);
        kept = keptCount(plan);
    }
    if (kept == 0) return 1;
    table.assign(kept, ItemSlot{});

    std::vector<MenuHandle> submenus(plan.size(), nullptr);
    std::vector<unsigned> positions(plan.size(), 0);
    std::vector<bool> inserted(plan.size(), false);
    unsigned topPosition = firstPosition(request);
    std::size_t offset = 0;
    for (std::size_t i = 0; i < plan.size(); ++i) {
        const PlannedEntry& entry = plan[i];
        if (!entry.kept) continue;
        std::size_t at = offset++;
        bool onTop = entry.menu == kTopLevel;
        if (!onTop && !inserted[entry.menu]) continue;  // its submenu was refused
        MenuHandle menu = onTop ? request.menu : submenus[entry.menu];
        unsigned& position = onTop ? topPosition : positions[entry.menu];
        if (entry.separator) {
            sink.insertSeparator(menu, position++);
            continue;
        }
        ItemSlot& slot = table[at];
        slot = slots[entry.slot];
        MenuItem menuItem{entry.caption, request.firstId + static_cast<unsigned>(at), nullptr,
                          false, 0, nullptr};
        if (entry.hasIcon) giveIcon(menuItem, slot, at, request.iconMode, sink);
        if (entry.submenu) menuItem.submenu = sink.createSubmenu();
        if (!sink.insertItem(menu, position, menuItem)) continue;
        ++position;
        if (entry.submenu) {
            inserted[i] = true;
            submenus[i] = menuItem.submenu;
        }
    }
    return static_cast<unsigned>(kept) + 1;
}

}  // namespace

IconMode chooseIconMode(unsigned majorVersion, unsigned minorVersion, const char* kind) {
    bool background = kind && std::strcmp(kind, store::kKindBackground) == 0;
    return majorVersion == 5 && minorVersion == 0 && background ? IconMode::Bitmaps
                                                                : IconMode::OwnerDrawn;
}

bool filtersApplyTo(const char* kind) {
    return kind && (std::strcmp(kind, store::kKindFile) == 0 ||
                    std::strcmp(kind, store::kKindDirectory) == 0);
}

unsigned buildMenu(store::KeyStore& keys, const MenuRequest& request, MenuSink& sink,
                   std::vector<ItemSlot>& table) {
    if (!request.kind || request.lastId < request.firstId) return 1;
    std::vector<store::IndexEntry> entries = store::readIndexList(keys, request.kind);
    // Offsets beyond the host's last id cannot be given out.
    std::size_t idRoom = static_cast<std::size_t>(request.lastId - request.firstId) + 1;
    if (request.filter && filtersApplyTo(request.kind) && !entries.empty())
        return buildFilteredMenu(keys, request, entries, idRoom, sink, table);
    std::size_t count = entries.size();
    if (count > idRoom) count = idRoom;
    if (count == 0) return 1;
    return buildWholeMenu(keys, request, entries, count, sink, table);
}

}  // namespace handler
