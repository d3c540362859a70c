#include "tree_view.h"

namespace editor {

namespace {

HTREEITEM item(TreeNode node) { return reinterpret_cast<HTREEITEM>(node); }
TreeNode node(HTREEITEM item) { return reinterpret_cast<TreeNode>(item); }

}  // namespace

TreeNode TreeView::next(TreeNode from, UINT relation) {
    return node(reinterpret_cast<HTREEITEM>(
        SendMessageA(tree_, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(item(from)))));
}

TreeNode TreeView::firstChild(TreeNode parentOrRoot) {
    return parentOrRoot ? next(parentOrRoot, TVGN_CHILD) : next(nullptr, TVGN_ROOT);
}

TreeNode TreeView::nextSibling(TreeNode from) { return from ? next(from, TVGN_NEXT) : nullptr; }

TreeNode TreeView::previousSibling(TreeNode from) {
    return from ? next(from, TVGN_PREVIOUS) : nullptr;
}

TreeNode TreeView::parent(TreeNode from) { return from ? next(from, TVGN_PARENT) : nullptr; }

TreeNode TreeView::insert(TreeNode parentOrRoot, InsertPlace place, const char* text,
                          ItemRecord* value) {
    TVINSERTSTRUCTA insert = {};
    insert.hParent = parentOrRoot ? item(parentOrRoot) : TVI_ROOT;
    switch (place.kind) {
        case InsertPlace::Kind::First: insert.hInsertAfter = TVI_FIRST; break;
        case InsertPlace::Kind::Last: insert.hInsertAfter = TVI_LAST; break;
        case InsertPlace::Kind::After: insert.hInsertAfter = item(place.after); break;
    }
    insert.item.mask = TVIF_TEXT | (value ? TVIF_PARAM : 0);
    insert.item.pszText = const_cast<char*>(text ? text : "");
    insert.item.lParam = reinterpret_cast<LPARAM>(value);
    return node(reinterpret_cast<HTREEITEM>(
        SendMessageA(tree_, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&insert))));
}

void TreeView::deleteSubtree(TreeNode from) {
    if (from) SendMessageA(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item(from)));
}

void TreeView::deleteAll() {
    SendMessageA(tree_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
}

TreeNode TreeView::selected() { return next(nullptr, TVGN_CARET); }

void TreeView::select(TreeNode target) {
    SendMessageA(tree_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item(target)));
}

bool TreeView::isExpanded(TreeNode from) {
    if (!from) return false;
    LRESULT state = SendMessageA(tree_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(item(from)),
                                 TVIS_EXPANDED);
    return (state & TVIS_EXPANDED) != 0;
}

void TreeView::setExpanded(TreeNode target, bool expanded) {
    if (!target) return;
    TVITEMA change = {};
    change.mask = TVIF_STATE;
    change.hItem = item(target);
    change.stateMask = TVIS_EXPANDED;
    change.state = expanded ? TVIS_EXPANDED : 0;
    SendMessageA(tree_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&change));
}

ItemRecord* TreeView::value(TreeNode from) {
    if (!from) return nullptr;
    TVITEMA read = {};
    read.mask = TVIF_PARAM;
    read.hItem = item(from);
    if (!SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read))) return nullptr;
    return reinterpret_cast<ItemRecord*>(read.lParam);
}

void TreeView::setText(TreeNode target, const char* text) {
    if (!target) return;
    TVITEMA change = {};
    change.mask = TVIF_TEXT;
    change.hItem = item(target);
    change.pszText = const_cast<char*>(text ? text : "");
    SendMessageA(tree_, TVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&change));
}

void TreeView::getText(TreeNode from, char* text, std::size_t size) {
    if (!text || size == 0) return;
    text[0] = '\0';
    if (!from) return;
    TVITEMA read = {};
    read.mask = TVIF_TEXT;
    read.hItem = item(from);
    read.pszText = text;
    read.cchTextMax = static_cast<int>(size);
    SendMessageA(tree_, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&read));
    text[size - 1] = '\0';
}

std::size_t TreeView::count() {
    return static_cast<std::size_t>(SendMessageA(tree_, TVM_GETCOUNT, 0, 0));
}

void TreeView::setRedraw(bool on) { SendMessageA(tree_, WM_SETREDRAW, on ? TRUE : FALSE, 0); }

bool TreeView::routeNotification(const NMHDR* header, TreeListener& listener) {
    if (!header) return false;
    const auto* change = reinterpret_cast<const NMTREEVIEWA*>(header);
    switch (header->code) {
        case TVN_DELETEITEMA:
        case TVN_DELETEITEMW:
            listener.nodeDeleted(node(change->itemOld.hItem),
                                 reinterpret_cast<ItemRecord*>(change->itemOld.lParam));
            return true;
        case TVN_SELCHANGEDA:
        case TVN_SELCHANGEDW:
            listener.selectionChanged(node(change->itemNew.hItem));
            return true;
        default:
            return false;
    }
}

}  // namespace editor
