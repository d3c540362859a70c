// Writing a page's tree back to the store: new items get their permanent
// ids, the keys of deleted stored items go, every item of the tree and the
// page's index list are rewritten, and "FreeIDs" and "MaxID" are updated.
#pragma once

#include "key_store.h"
#include "page_view.h"

namespace editor {

enum class SaveResult {
    Saved,
    NoIdLeft,        // a new item would need an id above 999
    TooManyEntries,  // the list would pass 1024 entries
    OutOfMemory,
    StoreRefused,    // the store refused a write; its lastError() says why
};

// Saves the page's tree, clears the modified marker and announces the save
// to the other pages of the process.
//
// Beyond the store's limits nothing is written. There, and where the store
// refuses a write or memory runs out, the save stops, nothing is announced,
// and the tree, the deleted ids, "MaxID" of the page and the modified marker
// stay as they were: the page tells the user and keeps the edits, and the
// next save writes the whole tree. A refusal leaves the kind's list either
// as it was or as this save wrote it, never naming an item that is not
// there; items the page edited may already hold their new values.
//
// Store data that no save of this page wrote is taken with care: free ids
// that are 0, repeated, above "MaxID", shown by this page or named by another
// kind's list are not given out, and "MaxID" is raised to cover those ids,
// so that no two items ever share an id.
SaveResult saveTree(Page& page, store::KeyStore& keys, WindowHandle pageWindow) noexcept;

}  // namespace editor
