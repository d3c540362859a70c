// The store's side of a menus file: reading every kind's menu out of the
// store, and writing a file's menus in through the editor's own save.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "key_store.h"
#include "menus_model.h"
#include "store_save.h"

namespace menus_file {

struct StoreContents {
    Menus menus;  // every kind, an empty list where the store has none
    // Ids of item keys (up to 999) that no list names: the store holds them
    // but no menu shows them.
    std::vector<std::uint32_t> unreached;
    // Entries whose stored action was longer than the store's field: the
    // file has the cut action, which would not run as the stored one did.
    std::vector<std::string> cutActions;  // "<kind title>: <caption>"
};

// Reads the menus as the editor's page loads them, so that what a file
// holds is what the page and korvane show.
bool readStore(store::KeyStore& keys, StoreContents& out);

struct ImportResult {
    editor::SaveResult result = editor::SaveResult::Saved;
    int failedKind = -1;              // the kind whose save stopped, -1 when none did
    std::vector<int> writtenKinds;    // saved whole, in the order saved
    std::size_t removedUnreached = 0; // item keys no list named, removed on the way
    std::string refusal;              // why the store check refused, empty otherwise
};

// Replaces the kinds the file holds, each as a save of the editor's page
// would, and leaves the others as they are. Under `lock`, before the first
// write: the capacity of the store is checked with the kinds kept (999 ids
// in all), and `keepBackup` is given the store's menus as they are, as a
// file's text (false from it writes nothing). Kinds that shrink are saved
// before kinds that grow, so that the ids one frees can serve another.
ImportResult importMenus(const Menus& menus, store::KeyStore& keys, editor::SaveLock& lock,
                         const std::function<bool(const StoreContents&)>& keepBackup);

}  // namespace menus_file
