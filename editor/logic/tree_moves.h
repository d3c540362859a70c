// Moving the selected node with its whole subtree: up, down, out of its
// submenu and into the submenu above. The tree control has no move of its
// own, so a move inserts a copy of the node at the new place and deletes the
// old one, rebuilding the old subtree under the copy as the control reports
// the deletion node by node. The records move with the nodes; none is copied
// or freed.
#pragma once

#include "page_view.h"

namespace editor {

struct MoveAvailability {
    bool up;    // has a previous sibling
    bool down;  // has a next sibling
    bool out;   // has a parent other than the root
    bool in;    // its previous sibling is a submenu
};

MoveAvailability moveAvailability(TreePrimitives& tree, TreeNode node);

// Enables or disables the four move commands for the newly selected node.
void applyMoveAvailability(Page& page, TreeNode node) noexcept;

// Commands 5 to 8. Returns false, changing nothing, when no node is selected
// or the move is not possible from where it stands.
bool moveSelected(Page& page, int command) noexcept;

// The moving branch of the deletion handler.
void rebuildStep(Page& page, TreeNode node, ItemRecord* record) noexcept;

}  // namespace editor
