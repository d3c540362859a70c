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
    StoreBusy,       // another save held the store past the wait's limit
};

// Keeps saves one at a time: those of every page, thread and process that
// writes the store. A save holds it from reading "MaxID" and "FreeIDs" to
// its last write, so that no two saves plan with the same free ids.
class SaveLock {
public:
    virtual ~SaveLock() = default;
    // False when the lock could not be had within the wait's limit.
    virtual bool acquire() noexcept = 0;
    virtual void release() noexcept = 0;
};

// Holds the lock for a scope, where it could be had.
class HeldLock {
public:
    explicit HeldLock(SaveLock& lock) : lock_(lock), held_(lock.acquire()) {}
    HeldLock(const HeldLock&) = delete;
    HeldLock& operator=(const HeldLock&) = delete;
    ~HeldLock() {
        if (held_) lock_.release();
    }
    bool held() const { return held_; }

private:
    SaveLock& lock_;
    bool held_;
};

// For a store that only this thread writes.
SaveLock& unsharedStore() noexcept;

// Saves the page's tree, holding `lock`, clears the modified marker and
// announces the save to the other pages of the process; the page takes in
// its own save as seen.
//
// Beyond the store's limits, or without the lock, nothing is written.
// There, and where the store refuses a write or memory runs out, the save
// stops, nothing is announced, and the tree, the deleted ids, "MaxID" of
// the page and the modified marker stay as they were: the page tells the user and keeps the edits, and the
// next save writes the whole tree. A refusal leaves the kind's list either
// as it was or as this save wrote it, never naming an item that is not
// there; items the page edited may already hold their new values.
//
// Selection, ShowFor and RunAs are written only where an item uses them.
// One it no longer uses is removed where the item's key may hold it: the
// record had it, the key was there before the save under an id new to the
// record (a deleted item's, or one no save wrote), or another page of the
// process saved this kind since this page last loaded or saved. A page of
// another process that saved meanwhile is not known of: values it stored on
// items this page shows stay beside what this page writes.
//
// Store data that no save of this page wrote is taken with care: free ids
// that are 0, repeated, above "MaxID", shown by this page or named by another
// kind's list are not given out, and "MaxID" is raised to cover those ids,
// so that no two items ever share an id. An item whose id another kind's
// list names by now (a save of another process, an import) is written under
// a fresh id, and the other menu keeps its item.
SaveResult saveTree(Page& page, store::KeyStore& keys, SaveLock& lock = unsharedStore()) noexcept;

}  // namespace editor
