// The editor's form of a stored item: one record per item node of the tree,
// owned by that node. Separator nodes own no record.
#pragma once

#include <cstdint>

#include "stored_item.h"

namespace editor {

// The item's stored fields, and where the item stands in the store.
struct ItemRecord : store::StoredItem {
    std::uint32_t id;        // stored id, or a provisional one while isNew is set
    std::uint32_t parentId;  // parent item's id when loaded or created; 0 at the top level
    std::uint8_t isNew;      // 1 until a save has written the record
};

// The text every separator node shows.
constexpr const char kSeparatorText[] = "------------------------------";

constexpr const char kNewSubmenuCaption[] = "New Submenu";
constexpr const char kNewCommandCaption[] = "New Command";

}  // namespace editor
