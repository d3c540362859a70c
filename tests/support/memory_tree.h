// An in-memory tree with the behaviour of the tree-view control that the
// page uses: the same primitives, the same order of deletion reports and the
// same moving of the selection away from a deleted node. The native tests run
// the editor logic on it.
#pragma once

#include <cstddef>

#include "tree_primitives.h"

namespace editor {

class MemoryTree : public TreePrimitives {
public:
    explicit MemoryTree(TreeListener* listener = nullptr);
    ~MemoryTree() override;  // frees the nodes without reports; values are not owned
    MemoryTree(const MemoryTree&) = delete;
    MemoryTree& operator=(const MemoryTree&) = delete;

    void setListener(TreeListener* listener) { listener_ = listener; }

    TreeNode firstChild(TreeNode parentOrRoot) override;
    TreeNode nextSibling(TreeNode node) override;
    TreeNode previousSibling(TreeNode node) override;
    TreeNode parent(TreeNode node) override;
    TreeNode insert(TreeNode parentOrRoot, InsertPlace place, const char* text,
                    ItemRecord* value) override;
    void deleteSubtree(TreeNode node) override;
    void deleteAll() override;
    TreeNode selected() override { return selected_; }
    void select(TreeNode node) override;
    bool isExpanded(TreeNode node) override;
    void setExpanded(TreeNode node, bool expanded) override;
    ItemRecord* value(TreeNode node) override;
    void setText(TreeNode node, const char* text) override;
    void getText(TreeNode node, char* text, std::size_t size) override;
    std::size_t count() override { return count_; }
    void setRedraw(bool on) override { redraw_ = on; }

    bool redrawOn() const { return redraw_; }

private:
    struct Node;
    static Node* toNode(TreeNode node) { return reinterpret_cast<Node*>(node); }
    static TreeNode toHandle(Node* node) { return reinterpret_cast<TreeNode>(node); }
    Node* parentOrRoot(TreeNode node);
    void unlink(Node* node);
    void removeReporting(Node* node);
    void freeSilently(Node* node);
    bool contains(Node* subtree, Node* node) const;

    Node* root_;
    TreeListener* listener_;
    TreeNode selected_ = nullptr;
    std::size_t count_ = 0;
    bool redraw_ = true;
};

}  // namespace editor
