#include "memory_tree.h"

#include <new>

#include "menu_store.h"

namespace editor {

namespace {
// The control keeps texts of up to 259 characters; the editor's are shorter.
constexpr std::size_t kNodeTextSize = 260;
}  // namespace

struct MemoryTree::Node {
    Node* parent = nullptr;
    Node* firstChild = nullptr;
    Node* lastChild = nullptr;
    Node* previous = nullptr;
    Node* next = nullptr;
    ItemRecord* value = nullptr;
    bool expanded = false;
    char text[kNodeTextSize] = {};
};

MemoryTree::MemoryTree(TreeListener* listener) : root_(new Node), listener_(listener) {}

MemoryTree::~MemoryTree() {
    while (root_->firstChild) freeSilently(root_->firstChild);
    delete root_;
}

MemoryTree::Node* MemoryTree::parentOrRoot(TreeNode node) { return node ? toNode(node) : root_; }

TreeNode MemoryTree::firstChild(TreeNode parentOrRootNode) {
    return toHandle(parentOrRoot(parentOrRootNode)->firstChild);
}

TreeNode MemoryTree::nextSibling(TreeNode node) {
    return node ? toHandle(toNode(node)->next) : nullptr;
}

TreeNode MemoryTree::previousSibling(TreeNode node) {
    return node ? toHandle(toNode(node)->previous) : nullptr;
}

TreeNode MemoryTree::parent(TreeNode node) {
    if (!node) return nullptr;
    Node* up = toNode(node)->parent;
    return up == root_ ? nullptr : toHandle(up);
}

TreeNode MemoryTree::insert(TreeNode parentOrRootNode, InsertPlace place, const char* text,
                            ItemRecord* value) {
    Node* owner = parentOrRoot(parentOrRootNode);
    Node* after = nullptr;  // nullptr: insert as the first child
    switch (place.kind) {
        case InsertPlace::Kind::First: break;
        case InsertPlace::Kind::Last: after = owner->lastChild; break;
        case InsertPlace::Kind::After:
            after = toNode(place.after);
            // The control refuses a node that is not a child of the parent.
            if (!after || after->parent != owner) return nullptr;
            break;
    }
    Node* node = new (std::nothrow) Node;
    if (!node) return nullptr;
    node->parent = owner;
    node->value = value;
    store::copyField(node->text, sizeof node->text, text);
    node->previous = after;
    node->next = after ? after->next : owner->firstChild;
    if (node->next) node->next->previous = node;
    else owner->lastChild = node;
    if (after) after->next = node;
    else owner->firstChild = node;
    ++count_;
    return toHandle(node);
}

void MemoryTree::unlink(Node* node) {
    Node* owner = node->parent;
    if (node->previous) node->previous->next = node->next;
    else owner->firstChild = node->next;
    if (node->next) node->next->previous = node->previous;
    else owner->lastChild = node->previous;
    node->parent = node->previous = node->next = nullptr;
}

// Children first, first to last; each node is reported while still linked
// and unlinked right after, as the control does it.
void MemoryTree::removeReporting(Node* node) {
    while (node->firstChild) removeReporting(node->firstChild);
    if (selected_ == toHandle(node)) selected_ = nullptr;
    if (listener_) listener_->nodeDeleted(toHandle(node), node->value);
    // A listener that hung new children on the reported node must not leave
    // them dangling: they go too, after it.
    while (node->firstChild) removeReporting(node->firstChild);
    unlink(node);
    --count_;
    delete node;
}

void MemoryTree::freeSilently(Node* node) {
    while (node->firstChild) freeSilently(node->firstChild);
    unlink(node);
    --count_;
    delete node;
}

bool MemoryTree::contains(Node* subtree, Node* node) const {
    for (Node* walk = node; walk; walk = walk->parent) {
        if (walk == subtree) return true;
    }
    return false;
}

void MemoryTree::deleteSubtree(TreeNode handle) {
    if (!handle) return;
    Node* node = toNode(handle);
    bool selectionGoes = selected_ && contains(node, toNode(selected_));
    // The selection moves to the next sibling, else to the parent, else to
    // the previous sibling: the same neighbour the control picks.
    Node* neighbour = nullptr;
    if (selectionGoes) {
        if (node->next) neighbour = node->next;
        else if (node->parent != root_) neighbour = node->parent;
        else neighbour = node->previous;
    }
    removeReporting(node);
    if (selectionGoes) {
        selected_ = toHandle(neighbour);
        if (listener_) listener_->selectionChanged(selected_);
    }
}

void MemoryTree::deleteAll() {
    bool hadSelection = selected_ != nullptr;
    while (root_->firstChild) removeReporting(root_->firstChild);
    selected_ = nullptr;
    if (hadSelection && listener_) listener_->selectionChanged(nullptr);
}

void MemoryTree::select(TreeNode node) {
    if (node == selected_) return;
    selected_ = node;
    if (listener_) listener_->selectionChanged(node);
}

bool MemoryTree::isExpanded(TreeNode node) { return node && toNode(node)->expanded; }

void MemoryTree::setExpanded(TreeNode node, bool expanded) {
    if (node) toNode(node)->expanded = expanded;
}

ItemRecord* MemoryTree::value(TreeNode node) { return node ? toNode(node)->value : nullptr; }

void MemoryTree::setText(TreeNode node, const char* text) {
    if (node) store::copyField(toNode(node)->text, sizeof toNode(node)->text, text);
}

void MemoryTree::getText(TreeNode node, char* text, std::size_t size) {
    if (size == 0) return;
    store::copyField(text, size, node ? toNode(node)->text : "");
}

}  // namespace editor
