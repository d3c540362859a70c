// An item as the store holds it, with the store's full field sizes. The
// handler reads it to build a menu; the editor's record of a tree node is
// one of these with the node's bookkeeping beside it.
#pragma once

#include <cstdint>

#include "store_layout.h"

namespace store {

struct StoredItem {
    char caption[kCaptionSize];
    char prompt[kPromptSize];
    char icon[kIconSize];
    std::uint32_t isSubmenu;  // nonzero for a submenu, whose action is not used
    char action[kActionSize];
    // The stored action did not fit the field and was cut: what is left
    // would run with arguments, directory and window state nobody wrote,
    // so a save leaves the stored one whole until the action is changed.
    bool actionCut;
};

}  // namespace store
