#include "store_save.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <functional>
#include <new>
#include <utility>
#include <vector>

#include "menu_store.h"
#include "modified_marker.h"
#include "save_bookkeeping.h"
#include "tree_model.h"

namespace editor {

namespace {

constexpr std::size_t kNoParent = static_cast<std::size_t>(-1);

struct WalkedNode {
    ItemRecord* record;  // nullptr for a separator
    std::size_t parent;  // index of the parent in the walk, kNoParent at the top level
};

// Pre-order from the first top-level node: first child, else next sibling,
// else the next sibling of the nearest ancestor that has one.
std::vector<WalkedNode> walkTree(TreePrimitives& tree) {
    std::vector<WalkedNode> walked;
    std::vector<std::size_t> ancestors;  // walk indices of the open parents
    TreeNode node = tree.firstChild(nullptr);
    while (node) {
        walked.push_back({tree.value(node), ancestors.empty() ? kNoParent : ancestors.back()});
        if (walked.size() > store::kMaxIndexEntries) return walked;  // too many; stop early
        if (TreeNode child = tree.firstChild(node)) {
            ancestors.push_back(walked.size() - 1);
            node = child;
            continue;
        }
        while (node) {
            if (TreeNode sibling = tree.nextSibling(node)) {
                node = sibling;
                break;
            }
            node = tree.parent(node);
            if (node && !ancestors.empty()) ancestors.pop_back();
        }
    }
    return walked;
}

bool keepsStoredId(const ItemRecord& record) {
    return !record.isNew && record.id != 0 && record.id <= store::kMaxStoredId;
}

// Everything a save will write, worked out before the first write.
struct SavePlan {
    std::vector<store::IndexEntry> entries;
    std::vector<ItemRecord*> records;   // items in walk order
    std::vector<std::uint32_t> ids;     // their ids, same order
    std::vector<std::uint32_t> freeIds; // the free list left, largest first
    std::vector<std::uint32_t> keysToDelete;
    std::uint32_t maxId = 0;
    std::vector<std::uint32_t> nextDeletedIds;  // empty, room for every entry
};

// The ids no item of this save may be given, freed or deleted: those this
// page shows under their stored ids, and those that the lists of other kinds
// name. On a store whose "FreeIDs" and "MaxID" are in step with its lists
// the second set adds nothing; after a save refused half way it keeps this
// save off the items another page wrote.
struct IdsInUse {
    std::vector<bool> used = std::vector<bool>(store::kMaxStoredId + 1, false);
    std::vector<bool> otherKinds = std::vector<bool>(store::kMaxStoredId + 1, false);
    std::uint32_t highest = 0;

    void add(std::uint32_t id, bool byOtherKind) {
        if (id == 0 || id > store::kMaxStoredId) return;
        used[id] = true;
        if (byOtherKind) otherKinds[id] = true;
        highest = std::max(highest, id);
    }
    bool has(std::uint32_t id) const { return id <= store::kMaxStoredId && used[id]; }
    bool namedByOtherKind(std::uint32_t id) const { return id <= store::kMaxStoredId && otherKinds[id]; }
};

IdsInUse idsInUse(const std::vector<WalkedNode>& walked, const Page& page, store::KeyStore& keys) {
    IdsInUse inUse;
    for (const WalkedNode& node : walked)
        if (node.record && keepsStoredId(*node.record)) inUse.add(node.record->id, false);
    for (const char* kind : store::kContextKinds)
        if (std::strcmp(kind, page.state.contextKind ? page.state.contextKind : "") != 0)
            for (const store::IndexEntry& entry : store::readIndexList(keys, kind))
                inUse.add(entry.id, true);
    return inUse;
}

// The free list this save leaves, largest first: "FreeIDs" and the page's
// deleted ids (from the last deleted to the first), less the ids in use and
// those past MaxID; free ids that touch MaxID are given back by lowering it.
// The keys of deleted ids that nothing uses any more are noted for deletion.
void planFreeIds(const Page& page, const IdsInUse& inUse, std::vector<std::uint32_t> storedFree,
                 SavePlan& out) {
    std::vector<std::uint32_t>& free = out.freeIds;
    free = std::move(storedFree);
    const std::vector<std::uint32_t>& deleted = page.state.deletedIds;
    for (std::size_t i = deleted.size(); i-- > 0;) {
        std::uint32_t id = deleted[i];
        free.push_back(id);
        if (id != 0 && id <= store::kMaxStoredId && !inUse.has(id)) out.keysToDelete.push_back(id);
    }
    // Equal ids are indistinguishable, so any descending sort gives what a
    // selection sort would.
    std::sort(free.begin(), free.end(), std::greater<std::uint32_t>());
    free.erase(std::unique(free.begin(), free.end()), free.end());
    const std::uint32_t maxId = out.maxId;
    free.erase(std::remove_if(free.begin(), free.end(),
                              [&](std::uint32_t id) { return id == 0 || id > maxId || inUse.has(id); }),
               free.end());
    std::size_t givenBack = 0;
    while (givenBack < free.size() && free[givenBack] == out.maxId) {
        ++givenBack;
        --out.maxId;
    }
    free.erase(free.begin(), free.begin() + static_cast<std::ptrdiff_t>(givenBack));
}

// Gives every item its id in walk order (its stored id, else the smallest
// free id, else a new one past MaxID) and makes the index entries. A stored
// id that another kind's list names now is not the item's any more: a page
// loaded before another program (another page's process, an import) gave
// that id to the other menu would write over that menu's item, so the item
// takes a fresh id and the other menu keeps its own.
SaveResult assignIds(const std::vector<WalkedNode>& walked, const IdsInUse& inUse, SavePlan& out) {
    std::vector<std::uint32_t>& free = out.freeIds;
    std::vector<bool> taken(store::kMaxStoredId + 1, false);
    out.entries.reserve(walked.size());
    out.records.reserve(walked.size());
    out.ids.reserve(walked.size());
    std::vector<std::uint32_t> walkIds(walked.size(), 0);
    for (std::size_t i = 0; i < walked.size(); ++i) {
        ItemRecord* record = walked[i].record;
        std::uint32_t id = 0;
        if (record) {
            if (keepsStoredId(*record) && !taken[record->id] && !inUse.namedByOtherKind(record->id)) {
                id = record->id;
            } else if (!free.empty()) {
                id = free.back();  // smallest first
                free.pop_back();
            } else {
                id = ++out.maxId;
            }
            if (id == 0 || id > store::kMaxStoredId) return SaveResult::NoIdLeft;
            taken[id] = true;
            out.records.push_back(record);
            out.ids.push_back(id);
        }
        walkIds[i] = id;
        std::uint32_t parentId = walked[i].parent == kNoParent ? 0 : walkIds[walked[i].parent];
        out.entries.push_back({static_cast<std::uint16_t>(id), static_cast<std::uint16_t>(parentId)});
    }
    // A deleted id given to a new item keeps its key: the save writes it.
    out.keysToDelete.erase(std::remove_if(out.keysToDelete.begin(), out.keysToDelete.end(),
                                          [&](std::uint32_t id) { return taken[id]; }),
                           out.keysToDelete.end());
    return SaveResult::Saved;
}

SaveResult plan(Page& page, store::KeyStore& keys, SavePlan& out) {
    std::vector<WalkedNode> walked = walkTree(page.tree);
    if (walked.size() > store::kMaxIndexEntries) return SaveResult::TooManyEntries;
    const IdsInUse inUse = idsInUse(walked, page, keys);
    std::vector<std::uint32_t> storedFree;
    {
        store::ScopedKey items(keys, keys.openForRead(nullptr, store::kItemsKey));
        out.maxId = std::max(store::readMaxId(keys, items.get()), inUse.highest);
        storedFree = store::readFreeIds(keys, items.get());
    }
    planFreeIds(page, inUse, std::move(storedFree), out);
    SaveResult assigned = assignIds(walked, inUse, out);
    if (assigned != SaveResult::Saved) return assigned;
    out.nextDeletedIds.reserve(out.entries.size());
    return SaveResult::Saved;
}

// A key that is gone already (a save refused half way removed it) is as
// good as one removed now.
bool removeItemKey(store::KeyStore& keys, store::KeyHandle items, std::uint32_t id) {
    if (store::deleteItem(keys, items, id)) return true;
    char name[store::kItemKeyNameSize];
    store::itemKeyName(id, name);
    store::ScopedKey left(keys, keys.openForRead(items, name));
    return !left;
}

// Writes the plan in an order that leaves a readable store wherever the
// registry refuses: the items first, so that the new list names only items
// that are there; the kind's list in one write, so that readers see the old
// list or the new one; then the keys of removed items, which only the old
// list named; "FreeIDs" and "MaxID" last. Where a refusal leaves those two
// behind the lists, the next save's plan still gives out no id that a list
// names. Returns false at the first write refused.
//
// An optional value an item does not use is removed where its key may hold
// one: one the record knows of, or any at all under an id that is new to
// the record (the key of a deleted item, or one no save wrote) or when
// another page has saved this kind since.
bool writePlan(store::KeyStore& keys, const char* kind, const SavePlan& plan, bool othersSaved) {
    store::ScopedKey index(keys, keys.createForWrite(nullptr, store::kIndexKey));
    if (!index) return false;
    store::ScopedKey items(keys, keys.createForWrite(nullptr, store::kItemsKey));
    if (!items) return false;
    for (std::size_t i = 0; i < plan.records.size(); ++i) {
        ItemRecord& record = *plan.records[i];
        const bool ownKey = plan.ids[i] == record.id && !record.isNew;
        // Should the save be refused later on, the key may keep what is
        // written now.
        if (ownKey)
            record.storedOptional =
                static_cast<std::uint8_t>(record.storedOptional | store::optionalInUse(record));
        store::StoredItem item = record;
        // An action too long for the field is left in the store as it is:
        // writing the record's cut copy would make it runnable, as another
        // command than the one stored. Under a fresh id there is none to keep.
        item.actionCut = record.actionCut && ownKey;
        if (!ownKey || othersSaved) item.storedOptional = store::kOptionalAll;
        if (!store::writeItem(keys, items.get(), plan.ids[i], item)) return false;
    }
    if (!store::writeIndexList(keys, index.get(), kind, plan.entries)) return false;
    for (std::uint32_t id : plan.keysToDelete)
        if (!removeItemKey(keys, items.get(), id)) return false;
    return store::writeFreeIds(keys, items.get(), plan.freeIds) &&
           store::writeMaxId(keys, items.get(), plan.maxId);
}

class NoLock final : public SaveLock {
public:
    bool acquire() noexcept override { return true; }
    void release() noexcept override {}
};

}  // namespace

SaveLock& unsharedStore() noexcept {
    static NoLock none;
    return none;
}

SaveResult saveTree(Page& page, store::KeyStore& keys, SaveLock& lock) noexcept {
    const char* kind = page.state.contextKind ? page.state.contextKind : "";
    HeldLock held(lock);
    if (!held.held()) return SaveResult::StoreBusy;
    SavePlan saving;
    try {
        SaveResult planned = plan(page, keys, saving);
        if (planned != SaveResult::Saved) return planned;
    } catch (const std::bad_alloc&) {
        return SaveResult::OutOfMemory;
    }

    // Part of the store may be written when a write is refused or memory
    // runs out; the page keeps its edits and stays modified so that the
    // next save writes them all again. Other pages hear of a save only
    // once it is whole.
    try {
        const bool othersSaved = page.state.othersSaved || reloadWanted(page.state);
        if (!writePlan(keys, kind, saving, othersSaved)) return SaveResult::StoreRefused;
    } catch (const std::bad_alloc&) {
        return SaveResult::OutOfMemory;
    }
    page.state.generationSeen = announceSave(kind);
    for (std::size_t i = 0; i < saving.records.size(); ++i) {
        saving.records[i]->id = saving.ids[i];
        saving.records[i]->isNew = 0;
        saving.records[i]->storedOptional = store::optionalInUse(*saving.records[i]);
    }
    page.state.othersSaved = 0;
    page.state.maxId = saving.maxId > static_cast<std::uint32_t>(INT32_MAX)
                           ? INT32_MAX
                           : static_cast<std::int32_t>(saving.maxId);
    page.state.deletedIds.swap(saving.nextDeletedIds);
    clearModified(page);
    return SaveResult::Saved;
}

}  // namespace editor
