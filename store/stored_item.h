// An item as the store holds it, with the store's full field sizes. The
// handler reads it to build a menu; the editor's record of a tree node is
// one of these with the node's bookkeeping beside it.
#pragma once

#include <cstdint>

#include "store_layout.h"

namespace store {

// The optional values of an item key, as bits.
enum OptionalValue : std::uint8_t {
    kOptionalSelection = 1,
    kOptionalShowFor = 2,
    kOptionalRunAs = 4,
    kOptionalAll = kOptionalSelection | kOptionalShowFor | kOptionalRunAs,
};

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

    // The optional values; all zero or empty is the item of old, which
    // stores none of them.
    std::uint32_t selection;    // kSelectionFirstOnly, kSelectionEachInTurn or kSelectionAllAtOnce
    char showFor[kShowForSize];  // empty: shown for every object
    std::uint32_t runAs;        // 0 or kRunAsElevated
    // The optional values the item's key may hold (OptionalValue bits),
    // whatever their content: a value no longer used is removed only where
    // it may be, so that saving items that use none costs nothing more.
    std::uint8_t storedOptional;
};

// The optional values that differ from their defaults (OptionalValue bits).
inline std::uint8_t optionalInUse(const StoredItem& item) {
    return static_cast<std::uint8_t>((item.selection != kSelectionFirstOnly ? kOptionalSelection : 0) |
                                     (item.showFor[0] != '\0' ? kOptionalShowFor : 0) |
                                     (item.runAs != 0 ? kOptionalRunAs : 0));
}

}  // namespace store
