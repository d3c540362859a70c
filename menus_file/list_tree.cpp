#include "list_tree.h"

#include "menu_store.h"

namespace menus_file {

using editor::TreeNode;

// A handle is the node's index plus one, so that nullptr is no node and the
// handles stay good while the vector grows.
ListTree::Node* ListTree::at(TreeNode node) {
    std::size_t index = reinterpret_cast<std::size_t>(node);
    return index >= 1 && index <= nodes_.size() ? &nodes_[index - 1] : nullptr;
}

TreeNode ListTree::handle(std::size_t indexPlusOne) const {
    return reinterpret_cast<TreeNode>(indexPlusOne);
}

TreeNode ListTree::firstChild(TreeNode parentOrRoot) {
    if (!parentOrRoot) return handle(firstTop_);
    Node* node = at(parentOrRoot);
    return node ? handle(node->firstChild) : nullptr;
}

TreeNode ListTree::nextSibling(TreeNode node) {
    Node* n = at(node);
    return n ? handle(n->next) : nullptr;
}

TreeNode ListTree::previousSibling(TreeNode node) {
    Node* n = at(node);
    return n ? handle(n->previous) : nullptr;
}

TreeNode ListTree::parent(TreeNode node) {
    Node* n = at(node);
    return n ? handle(n->parent) : nullptr;
}

TreeNode ListTree::insert(TreeNode parentOrRoot, editor::InsertPlace place, const char*,
                          editor::ItemRecord* value) {
    if (place.kind != editor::InsertPlace::Kind::Last) return nullptr;
    std::size_t parentIndex = reinterpret_cast<std::size_t>(parentOrRoot);
    if (parentOrRoot && !at(parentOrRoot)) return nullptr;
    std::size_t& last = parentOrRoot ? nodes_[parentIndex - 1].lastChild : lastTop_;
    const std::size_t previous = last;
    try {
        nodes_.push_back({nullptr, parentIndex, 0, 0, 0, previous});
    } catch (...) {
        return nullptr;  // the caller keeps the record, as with a refusing tree control
    }
    const std::size_t self = nodes_.size();
    // `last` may point into the vector that just grew.
    std::size_t& lastNow = parentOrRoot ? nodes_[parentIndex - 1].lastChild : lastTop_;
    std::size_t& firstNow = parentOrRoot ? nodes_[parentIndex - 1].firstChild : firstTop_;
    if (previous) nodes_[previous - 1].next = self;
    else firstNow = self;
    lastNow = self;
    nodes_.back().record.reset(value);  // owned from here on
    return handle(self);
}

void ListTree::deleteAll() {
    nodes_.clear();
    firstTop_ = lastTop_ = 0;
}

editor::ItemRecord* ListTree::value(TreeNode node) {
    Node* n = at(node);
    return n ? n->record.get() : nullptr;
}

void ListTree::getText(TreeNode node, char* text, std::size_t size) {
    editor::ItemRecord* record = value(node);
    store::copyField(text, size, record ? record->caption : editor::kSeparatorText);
}

}  // namespace menus_file
