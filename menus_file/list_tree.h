// The smallest tree the editor's load and save can work on, for talvex.exe's
// export and import, which have no tree control: nodes are only ever added
// at the end of their parent and never moved or deleted one by one. The
// tree owns the records it holds.
#pragma once

#include <memory>
#include <vector>

#include "tree_primitives.h"

namespace menus_file {

class ListTree final : public editor::TreePrimitives {
public:
    ListTree() = default;
    ~ListTree() override = default;
    ListTree(const ListTree&) = delete;
    ListTree& operator=(const ListTree&) = delete;

    editor::TreeNode firstChild(editor::TreeNode parentOrRoot) override;
    editor::TreeNode nextSibling(editor::TreeNode node) override;
    editor::TreeNode previousSibling(editor::TreeNode node) override;
    editor::TreeNode parent(editor::TreeNode node) override;
    // Only InsertPlace::last(); any other place is refused (nullptr).
    editor::TreeNode insert(editor::TreeNode parentOrRoot, editor::InsertPlace place,
                            const char* text, editor::ItemRecord* value) override;
    void deleteSubtree(editor::TreeNode) override {}
    void deleteAll() override;
    editor::TreeNode selected() override { return nullptr; }
    void select(editor::TreeNode) override {}
    bool isExpanded(editor::TreeNode) override { return false; }
    void setExpanded(editor::TreeNode, bool) override {}
    editor::ItemRecord* value(editor::TreeNode node) override;
    void setText(editor::TreeNode, const char*) override {}
    void getText(editor::TreeNode node, char* text, std::size_t size) override;
    std::size_t count() override { return nodes_.size(); }
    void setRedraw(bool) override {}

private:
    struct Node {
        std::unique_ptr<editor::ItemRecord> record;
        std::size_t parent, firstChild, lastChild, next, previous;  // indices + 1; 0 for none
    };
    Node* at(editor::TreeNode node);
    editor::TreeNode handle(std::size_t indexPlusOne) const;

    std::vector<Node> nodes_;
    std::size_t firstTop_ = 0, lastTop_ = 0;
};

}  // namespace menus_file
