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
};

// Saves the page's tree, announcing the save to the other pages of the
// process first, and clears the modified marker. Results of single store
// writes are not examined: a value that cannot be written does not stop the
// save.
//
// Beyond the store's limits, and when memory runs out before the first
// write, nothing is written or announced and the tree, the deleted ids,
// "MaxID" of the page and the modified marker stay as they were: the page
// tells the user and keeps the edits.
//
// Store data that no save of this page wrote is taken with care: free ids
// that are 0, repeated, above "MaxID" or shown by this page are not given
// out, and "MaxID" is raised to cover the ids this page shows, so that no two
// items ever share an id.
SaveResult saveTree(Page& page, store::KeyStore& keys, WindowHandle pageWindow) noexcept;

}  // namespace editor
