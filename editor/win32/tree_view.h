// The editor's tree primitives over the Windows tree-view control. The
// control reports deletions and selection changes to its parent window as
// notifications; the parent hands them to routeNotification.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "tree_primitives.h"

namespace editor {

class TreeView : public TreePrimitives {
public:
    explicit TreeView(HWND tree = nullptr) : tree_(tree) {}
    void attach(HWND tree) { tree_ = tree; }
    HWND window() const { return tree_; }

    TreeNode firstChild(TreeNode parentOrRoot) override;
    TreeNode nextSibling(TreeNode node) override;
    TreeNode previousSibling(TreeNode node) override;
    TreeNode parent(TreeNode node) override;
    TreeNode insert(TreeNode parentOrRoot, InsertPlace place, const char* text,
                    ItemRecord* value) override;
    void deleteSubtree(TreeNode node) override;
    void deleteAll() override;
    TreeNode selected() override;
    void select(TreeNode node) override;
    bool isExpanded(TreeNode node) override;
    void setExpanded(TreeNode node, bool expanded) override;
    ItemRecord* value(TreeNode node) override;
    void setText(TreeNode node, const char* text) override;
    void getText(TreeNode node, char* text, std::size_t size) override;
    std::size_t count() override;
    void setRedraw(bool on) override;

    // Hands the control's deletion and selection notifications (ANSI or
    // wide: the parts read here are laid out alike) to the listener.
    // Returns true when the notification was one of them.
    static bool routeNotification(const NMHDR* header, TreeListener& listener);

private:
    TreeNode next(TreeNode node, UINT relation);
    HWND tree_;
};

}  // namespace editor
