#include "tree_model.h"

#include <climits>
#include <new>
#include <vector>

#include "menu_store.h"
#include "modified_marker.h"
#include "tree_moves.h"

namespace editor {

namespace {

// Provisional ids only need to differ from each other; they never reach the
// store, so they stop growing instead of overflowing.
std::uint32_t nextProvisionalId(PageState& state) {
    if (state.maxId < INT32_MAX) ++state.maxId;
    return static_cast<std::uint32_t>(state.maxId);
}

std::int32_t pageMaxId(std::uint32_t storedMaxId) {
    return storedMaxId > static_cast<std::uint32_t>(INT32_MAX) ? INT32_MAX
                                                               : static_cast<std::int32_t>(storedMaxId);
}

// A submenu whose contents are still being read.
struct OpenSubmenu {
    std::uint32_t id;  // 0 for the top level
    TreeNode node;     // nullptr for the top level
};

// Closes submenus down to the one named `parentId`. A parent that is not open
// (a list no save wrote) closes them all: the entry goes to the top level.
void closeDownTo(std::vector<OpenSubmenu>& open, std::uint32_t parentId) {
    std::size_t keep = 1;
    for (std::size_t i = open.size(); i-- > 1;) {
        if (open[i].id == parentId) {
            keep = i + 1;
            break;
        }
    }
    open.resize(keep);
}

bool loadEntries(Page& page, store::KeyStore& keys, store::KeyHandle itemsKey,
                 const std::vector<store::IndexEntry>& entries) {
    std::vector<OpenSubmenu> open;
    open.reserve(entries.size() + 1);
    open.push_back({0, nullptr});
    std::vector<bool> seen(0x10000, false);

    for (const store::IndexEntry& entry : entries) {
        closeDownTo(open, entry.parent);
        TreeNode parent = open.back().node;
        if (entry.id == 0) {
            insertNode(page.tree, parent, InsertPlace::last(), nullptr);
            continue;
        }
        ItemRecord* record = new (std::nothrow) ItemRecord{};
        if (!record) return false;
        store::readItem(keys, itemsKey, entry.id, *record, store::ActionRead::Always);
        record->id = entry.id;
        record->parentId = entry.parent;
        // An id the store cannot hold, or one that another entry already
        // names, must not be written back under that id: the next save gives
        // the item a fresh one.
        if (entry.id > store::kMaxStoredId || seen[entry.id]) {
            record->isNew = 1;
            record->id = nextProvisionalId(page.state);
        }
        seen[entry.id] = true;
        TreeNode node = insertNode(page.tree, parent, InsertPlace::last(), record);
        if (!node) {
            delete record;
            return false;
        }
        if (record->isSubmenu) open.push_back({entry.id, node});
    }
    return true;
}

}  // namespace

ItemRecord* recordOf(TreePrimitives& tree, TreeNode node) { return node ? tree.value(node) : nullptr; }

TreeNode insertNode(TreePrimitives& tree, TreeNode parentOrRoot, InsertPlace place,
                    ItemRecord* record) {
    return tree.insert(parentOrRoot, place, record ? record->caption : kSeparatorText, record);
}

bool load(Page& page, store::KeyStore& keys) noexcept {
    try {
        std::vector<std::uint32_t>().swap(page.state.deletedIds);
        page.state.othersSaved = 0;
        store::ScopedKey items(keys, keys.openForRead(nullptr, store::kItemsKey));
        page.state.maxId = pageMaxId(store::readMaxId(keys, items.get()));
        std::vector<store::IndexEntry> entries =
            store::readIndexList(keys, page.state.contextKind ? page.state.contextKind : "");
        if (entries.empty()) return true;
        page.state.deletedIds.reserve(entries.size());
        // A tree that redraws after every insertion spends more on that
        // than on reading the store.
        struct RedrawOff {
            TreePrimitives& tree;
            explicit RedrawOff(TreePrimitives& t) : tree(t) { tree.setRedraw(false); }
            ~RedrawOff() { tree.setRedraw(true); }
        } redrawOff(page.tree);
        return loadEntries(page, keys, items.get(), entries);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

void clear(Page& page) noexcept {
    page.state.guard = GuardState::Idle;
    page.tree.deleteAll();
    std::vector<std::uint32_t>().swap(page.state.deletedIds);
}

void showNoSelection(Page& page) noexcept {
    TreeNode placeholder = insertNode(page.tree, nullptr, InsertPlace::last(), nullptr);
    if (placeholder) {
        // Selecting a lone separator empties and disables the fields and the
        // moves; deleting it then leaves no selection behind.
        page.tree.select(placeholder);
        page.tree.deleteSubtree(placeholder);
    }
    page.toolbar.setButtonEnabled(kCommandDelete, false);
}

TreeNode newNode(Page& page, int command) noexcept {
    if (command != kCommandNewSubmenu && command != kCommandNewCommand &&
        command != kCommandNewSeparator)
        return nullptr;
    TreePrimitives& tree = page.tree;
    TreeNode selected = tree.selected();
    ItemRecord* selectedRecord = recordOf(tree, selected);
    TreeNode parent = nullptr;
    InsertPlace place = InsertPlace::first();
    if (selectedRecord && selectedRecord->isSubmenu) {
        parent = selected;
        place = InsertPlace::last();
    } else if (selected) {
        parent = tree.parent(selected);
        place = InsertPlace::afterNode(selected);
    }

    ItemRecord* record = nullptr;
    if (command != kCommandNewSeparator) {
        record = new (std::nothrow) ItemRecord{};
        if (!record) return nullptr;
        bool submenu = command == kCommandNewSubmenu;
        store::copyField(record->caption, sizeof record->caption,
                         submenu ? kNewSubmenuCaption : kNewCommandCaption);
        record->isSubmenu = submenu ? 1 : 0;
        record->isNew = 1;
        ItemRecord* parentRecord = recordOf(tree, parent);
        record->parentId = parentRecord ? parentRecord->id : 0;
    }
    TreeNode node = insertNode(tree, parent, place, record);
    if (!node) {
        delete record;
        return nullptr;
    }
    if (record) record->id = nextProvisionalId(page.state);
    tree.select(node);
    markModified(page);
    return node;
}

bool deleteSelected(Page& page) noexcept {
    TreeNode selected = page.tree.selected();
    if (!selected) return false;
    page.state.guard = GuardState::Deleting;
    page.tree.deleteSubtree(selected);
    if (page.tree.count() == 0) showNoSelection(page);
    page.state.guard = GuardState::Idle;
    markModified(page);
    return true;
}

void onNodeDeleted(Page& page, TreeNode node, ItemRecord* record) noexcept {
    switch (page.state.guard) {
        case GuardState::Idle:
            delete record;
            break;
        case GuardState::Deleting:
            if (record && !record->isNew) {
                // Room was reserved for every stored item; should it run out
                // all the same, the id is dropped (its key is then left
                // behind) rather than the delete failing half way.
                try {
                    page.state.deletedIds.push_back(record->id);
                } catch (const std::bad_alloc&) {
                }
            }
            delete record;
            break;
        case GuardState::Moving:
            rebuildStep(page, node, record);
            break;
        case GuardState::Reselecting:
            break;
    }
}

bool onSelectionChanged(Page& page, TreeNode newNode) noexcept {
    if (page.state.guard == GuardState::Moving) return false;
    applyMoveAvailability(page, newNode);
    if (page.state.guard == GuardState::Reselecting) return false;
    page.toolbar.setButtonEnabled(kCommandDelete, true);
    return true;
}

}  // namespace editor
