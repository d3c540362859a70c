// The operations the editor needs from a tree control, so that the same
// logic runs on the Windows tree-view control and on an in-memory tree.
#pragma once

#include <cstddef>

#include "item_record.h"

namespace editor {

// Opaque node handle; nullptr means "no node". Where a parent is expected,
// nullptr stands for the hidden root, and parent() of a top-level node is
// nullptr.
struct TreeNodeTag;
using TreeNode = TreeNodeTag*;

// Where a new node goes among its siblings.
struct InsertPlace {
    enum class Kind { First, Last, After };
    Kind kind;
    TreeNode after;  // used with Kind::After only

    static InsertPlace first() { return {Kind::First, nullptr}; }
    static InsertPlace last() { return {Kind::Last, nullptr}; }
    // An absent node means first, as the control takes it.
    static InsertPlace afterNode(TreeNode node) {
        return node ? InsertPlace{Kind::After, node} : first();
    }
};

// What a tree reports while it runs an operation, synchronously, the way the
// tree-view control sends its notifications:
//  - nodeDeleted: for a deleted subtree, all children of a node before the
//    node itself, siblings first to last; each node is reported while still
//    linked into the tree and unlinked right after its report;
//  - selectionChanged: after select() changes the selection, and when the
//    tree moves the selection away from a node that is being deleted (to a
//    neighbour, or to nothing when none is left).
class TreeListener {
public:
    virtual ~TreeListener() = default;
    virtual void nodeDeleted(TreeNode node, ItemRecord* value) = 0;
    virtual void selectionChanged(TreeNode newNode) = 0;
};

class TreePrimitives {
public:
    virtual ~TreePrimitives() = default;

    virtual TreeNode firstChild(TreeNode parentOrRoot) = 0;
    virtual TreeNode nextSibling(TreeNode node) = 0;
    virtual TreeNode previousSibling(TreeNode node) = 0;
    virtual TreeNode parent(TreeNode node) = 0;

    // Returns the new node, or nullptr when the tree could not take it.
    virtual TreeNode insert(TreeNode parentOrRoot, InsertPlace place, const char* text,
                            ItemRecord* value) = 0;
    virtual void deleteSubtree(TreeNode node) = 0;
    virtual void deleteAll() = 0;

    virtual TreeNode selected() = 0;
    virtual void select(TreeNode node) = 0;

    virtual bool isExpanded(TreeNode node) = 0;
    virtual void setExpanded(TreeNode node, bool expanded) = 0;

    virtual ItemRecord* value(TreeNode node) = 0;
    virtual void setText(TreeNode node, const char* text) = 0;
    // Copies the node's text into text[size], always terminated.
    virtual void getText(TreeNode node, char* text, std::size_t size) = 0;

    virtual std::size_t count() = 0;
    virtual void setRedraw(bool on) = 0;
};

}  // namespace editor
