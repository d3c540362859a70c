// The editor tree: loading a context kind's menu from the store into the
// tree, clearing it, new nodes, deleting the selected node, and the page's
// reactions to the tree's deletion and selection notifications.
//
// Records are owned by the nodes that show them: the deletion handler frees
// a node's record (except while a move rebuilds the subtree), so every tree
// must deliver its deletion reports to onNodeDeleted.
#pragma once

#include "key_store.h"
#include "page_view.h"

namespace editor {

// The record a node shows; nullptr for a separator or no node.
ItemRecord* recordOf(TreePrimitives& tree, TreeNode node);

// Inserts a node showing the record's caption, or the separator text when
// there is no record. Returns nullptr when the tree refused.
TreeNode insertNode(TreePrimitives& tree, TreeNode parentOrRoot, InsertPlace place,
                    ItemRecord* record);

// Fills the empty tree with the page's list, in stored order; no node ends
// up expanded or selected. Reads "MaxID" into the page. Store data that no
// save wrote is loaded safely: an entry whose parent is not an open submenu
// goes to the top level; an entry whose id is above 999 or repeats an
// earlier one is taken as a new item, so the next save numbers it afresh;
// missing keys or values read as empty texts and a command. Returns false
// when memory ran out, leaving the part loaded so far.
bool load(Page& page, store::KeyStore& keys) noexcept;

// Deletes every node (freeing every record) and the deleted ids.
void clear(Page& page) noexcept;

// On an empty tree: leaves no node selected, the page's fields empty and
// disabled, and delete and the four moves disabled.
void showNoSelection(Page& page) noexcept;

// Commands 1 (new submenu), 2 (new command) and 3 (new separator): inserts
// the node after the selected node, as the last child of a selected
// submenu, or first at the top level when nothing is selected; selects it
// and marks the page modified. Returns the node, or nullptr when nothing was
// inserted. For commands 1 and 2 the page then puts the caret in the caption
// edit with all its text selected.
TreeNode newNode(Page& page, int command) noexcept;

// Command 4 (after the user confirmed): deletes the selected node and its
// subtree, recording the ids of stored items for the next save. Returns
// false when nothing was selected.
bool deleteSelected(Page& page) noexcept;

// The page's handling of the tree's deletion report, by guard state.
void onNodeDeleted(Page& page, TreeNode node, ItemRecord* record) noexcept;

// The tree's part of the page's selection handling: move availability, and
// delete enabled. Returns true when the page should then show the node's
// record in its fields (false while moving or reselecting).
bool onSelectionChanged(Page& page, TreeNode newNode) noexcept;

// Routes a tree's notifications to the page operations above. The Win32
// page calls the same operations from its notification handler.
class PageTreeListener : public TreeListener {
public:
    explicit PageTreeListener(Page& page) : page_(page) {}
    void nodeDeleted(TreeNode node, ItemRecord* value) override { onNodeDeleted(page_, node, value); }
    void selectionChanged(TreeNode newNode) override {
        if (onSelectionChanged(page_, newNode)) showFields(newNode, recordOf(page_.tree, newNode));
    }

protected:
    // The page's own part: filling and enabling the item fields.
    virtual void showFields(TreeNode, const ItemRecord*) {}

private:
    Page& page_;
};

}  // namespace editor
