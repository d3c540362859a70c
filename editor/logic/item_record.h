// The editor's form of a stored item: one record per item node of the tree,
// owned by that node. Separator nodes own no record.
#pragma once

#include <cstdint>

#include "store_layout.h"

namespace editor {

struct ItemRecord {
    std::uint32_t id;        // stored id, or a provisional one while isNew is set
    std::uint32_t parentId;  // parent item's id when loaded or created; 0 at the top level
    char caption[store::kCaptionSize];
    char prompt[store::kPromptSize];
    char icon[store::kIconSize];
    char action[store::kActionSize];
    std::uint32_t isSubmenu;  // nonzero for a submenu, whose action is not used
    std::uint8_t isNew;       // 1 until a save has written the record
    // The stored action was longer than the field holds, so `action` has
    // only its start. Saves leave the stored one whole until the user
    // changes the action.
    std::uint8_t actionKept;
};

// The text every separator node shows.
constexpr const char kSeparatorText[] = "------------------------------";

constexpr const char kNewSubmenuCaption[] = "New Submenu";
constexpr const char kNewCommandCaption[] = "New Command";

}  // namespace editor
