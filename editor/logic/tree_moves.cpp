#include "tree_moves.h"

#include "modified_marker.h"
#include "tree_model.h"

namespace editor {

namespace {

struct MoveTarget {
    TreeNode parent;  // nullptr: the top level
    InsertPlace place;
};

bool findTarget(TreePrimitives& tree, TreeNode node, int command, MoveTarget& target) {
    MoveAvailability can = moveAvailability(tree, node);
    switch (command) {
        case kCommandMoveUp:
            if (!can.up) return false;
            target.parent = tree.parent(node);
            target.place = InsertPlace::afterNode(tree.previousSibling(tree.previousSibling(node)));
            return true;
        case kCommandMoveDown:
            if (!can.down) return false;
            target.parent = tree.parent(node);
            target.place = InsertPlace::afterNode(tree.nextSibling(node));
            return true;
        case kCommandMoveOut:
            if (!can.out) return false;
            target.parent = tree.parent(tree.parent(node));
            target.place = InsertPlace::afterNode(tree.parent(node));
            return true;
        case kCommandMoveIn:
            if (!can.in) return false;
            target.parent = tree.previousSibling(node);
            target.place = InsertPlace::last();
            return true;
        default:
            return false;
    }
}

TreeNode copyNode(TreePrimitives& tree, TreeNode under, TreeNode original, ItemRecord* record) {
    TreeNode copy = insertNode(tree, under, InsertPlace::last(), record);
    if (copy) tree.setExpanded(copy, tree.isExpanded(original));
    return copy;
}

// When the tree cannot take a copy, the rest of the rebuild is dropped: the
// records still to come are left unfreed rather than risk freeing one that
// a node still shows.
void abandonRebuild(PageState& state) {
    state.moveSource = nullptr;
    state.moveDestination = nullptr;
}

}  // namespace

MoveAvailability moveAvailability(TreePrimitives& tree, TreeNode node) {
    MoveAvailability can{false, false, false, false};
    if (!node) return can;
    TreeNode previous = tree.previousSibling(node);
    ItemRecord* previousRecord = recordOf(tree, previous);
    can.up = previous != nullptr;
    can.down = tree.nextSibling(node) != nullptr;
    can.out = tree.parent(node) != nullptr;
    can.in = previousRecord && previousRecord->isSubmenu;
    return can;
}

void applyMoveAvailability(Page& page, TreeNode node) noexcept {
    MoveAvailability can = moveAvailability(page.tree, node);
    page.toolbar.setButtonEnabled(kCommandMoveUp, can.up);
    page.toolbar.setButtonEnabled(kCommandMoveDown, can.down);
    page.toolbar.setButtonEnabled(kCommandMoveOut, can.out);
    page.toolbar.setButtonEnabled(kCommandMoveIn, can.in);
}

bool moveSelected(Page& page, int command) noexcept {
    TreePrimitives& tree = page.tree;
    PageState& state = page.state;
    TreeNode moving = tree.selected();
    MoveTarget target{nullptr, InsertPlace::first()};
    if (!moving || !findTarget(tree, moving, command, target)) return false;

    tree.setRedraw(false);
    state.guard = GuardState::Moving;
    TreeNode copy = insertNode(tree, target.parent, target.place, tree.value(moving));
    bool moved = copy != nullptr;
    if (moved) {
        tree.setExpanded(copy, tree.isExpanded(moving));
        state.moveSource = moving;
        state.moveDestination = copy;
        tree.deleteSubtree(moving);
        state.guard = GuardState::Reselecting;
        // Selecting the node that is already selected reports nothing, yet
        // the moves must follow the node's new place.
        if (tree.selected() == copy) applyMoveAvailability(page, copy);
        else tree.select(copy);
    }
    state.guard = GuardState::Idle;
    state.moveSource = nullptr;
    state.moveDestination = nullptr;
    tree.setRedraw(true);
    if (moved) markModified(page);
    return moved;
}

// The control reports children before their parent, and each report comes
// while the node is still linked, earlier siblings already gone. So a node
// with children is copied when its first descendant is reported (descending
// from the source cursor), and left when it is itself reported; a childless
// node is copied when it is reported.
void rebuildStep(Page& page, TreeNode node, ItemRecord* record) noexcept {
    TreePrimitives& tree = page.tree;
    PageState& state = page.state;
    if (!state.moveSource || !state.moveDestination) return;

    if (node == state.moveSource) {
        state.moveSource = tree.parent(state.moveSource);
        state.moveDestination = tree.parent(state.moveDestination);
        return;
    }
    for (;;) {
        TreeNode child = tree.firstChild(state.moveSource);
        if (child == node) break;
        if (!child) {  // not a node of the subtree being moved
            abandonRebuild(state);
            return;
        }
        TreeNode copy = copyNode(tree, state.moveDestination, child, tree.value(child));
        if (!copy) {
            abandonRebuild(state);
            return;
        }
        state.moveSource = child;
        state.moveDestination = copy;
    }
    if (!copyNode(tree, state.moveDestination, node, record)) abandonRebuild(state);
}

}  // namespace editor
