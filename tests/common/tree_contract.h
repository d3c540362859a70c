// The contract every tree behind the editor must keep, written once against
// the tree primitives. A tree implementation runs it with a factory type:
//
//   struct MyTreeFactory {
//       static std::unique_ptr<editor::TreePrimitives> make(editor::TreeListener& listener);
//   };
//   TEST_CASE_TEMPLATE_INVOKE(editor_tree_contract, MyTreeFactory);
//
// The tree must deliver its deletion and selection reports to the listener.
#pragma once

#include <doctest/doctest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tree_primitives.h"

namespace tree_contract {

using editor::InsertPlace;
using editor::ItemRecord;
using editor::TreeNode;
using editor::TreePrimitives;

inline std::string textOf(TreePrimitives& tree, TreeNode node) {
    char text[260];
    tree.getText(node, text, sizeof text);
    return text;
}

// "A(B,C),D": texts in order, children in parentheses.
inline std::string shapeOf(TreePrimitives& tree, TreeNode parent = nullptr) {
    std::string out;
    for (TreeNode node = tree.firstChild(parent); node; node = tree.nextSibling(node)) {
        if (!out.empty()) out += ",";
        out += textOf(tree, node);
        if (tree.firstChild(node)) out += "(" + shapeOf(tree, node) + ")";
    }
    return out;
}

inline void collectNodes(TreePrimitives& tree, TreeNode parent, std::vector<TreeNode>& out) {
    for (TreeNode node = tree.firstChild(parent); node; node = tree.nextSibling(node)) {
        out.push_back(node);
        collectNodes(tree, node, out);
    }
}

// What a report saw of the tree at the moment it came.
struct DeletionReport {
    std::string text;
    ItemRecord* value;
    TreeNode parent;
    TreeNode firstChild;
    TreeNode previous;
};

struct RecordingListener : editor::TreeListener {
    TreePrimitives* tree = nullptr;
    std::vector<DeletionReport> deletions;
    std::vector<TreeNode> selections;
    std::function<void(TreeNode)> duringDeletion;

    void nodeDeleted(TreeNode node, ItemRecord* value) override {
        deletions.push_back({textOf(*tree, node), value, tree->parent(node), tree->firstChild(node),
                             tree->previousSibling(node)});
        if (duringDeletion) duringDeletion(node);
    }
    void selectionChanged(TreeNode node) override { selections.push_back(node); }

    std::string deletionOrder() const {
        std::string out;
        for (const DeletionReport& report : deletions) out += (out.empty() ? "" : ",") + report.text;
        return out;
    }
};

}  // namespace tree_contract

TEST_SUITE_BEGIN("editor tree contract");

TEST_CASE_TEMPLATE_DEFINE("editor tree contract", Factory, editor_tree_contract) {
    using namespace tree_contract;
    RecordingListener events;
    std::unique_ptr<TreePrimitives> made = Factory::make(events);
    TreePrimitives& tree = *made;
    events.tree = &tree;
    ItemRecord records[3] = {};

    SUBCASE("insertion places and navigation") {
        TreeNode a = tree.insert(nullptr, InsertPlace::last(), "A", &records[0]);
        TreeNode b = tree.insert(nullptr, InsertPlace::last(), "B", nullptr);
        TreeNode c = tree.insert(nullptr, InsertPlace::first(), "C", &records[1]);
        TreeNode d = tree.insert(nullptr, InsertPlace::afterNode(a), "D", nullptr);
        TreeNode x = tree.insert(a, InsertPlace::last(), "X", nullptr);
        TreeNode y = tree.insert(a, InsertPlace::first(), "Y", &records[2]);
        TreeNode z = tree.insert(a, InsertPlace::afterNode(y), "Z", nullptr);
        REQUIRE((a && b && c && d && x && y && z));
        CHECK(shapeOf(tree) == "C,A(Y,Z,X),D,B");
        CHECK(tree.count() == 7);

        CHECK(tree.firstChild(nullptr) == c);
        CHECK(tree.previousSibling(c) == nullptr);
        CHECK(tree.nextSibling(c) == a);
        CHECK(tree.previousSibling(a) == c);
        CHECK(tree.nextSibling(b) == nullptr);
        CHECK(tree.parent(a) == nullptr);
        CHECK(tree.firstChild(a) == y);
        CHECK(tree.nextSibling(x) == nullptr);
        CHECK(tree.previousSibling(y) == nullptr);
        CHECK(tree.parent(z) == a);
        CHECK(tree.firstChild(x) == nullptr);

        CHECK(tree.value(a) == &records[0]);
        CHECK(tree.value(b) == nullptr);
        CHECK(tree.value(y) == &records[2]);

        // A grandchild under a node that has siblings on both sides.
        TreeNode w = tree.insert(z, InsertPlace::last(), "W", nullptr);
        CHECK(tree.parent(w) == z);
        CHECK(shapeOf(tree) == "C,A(Y,Z(W),X),D,B");
    }

    SUBCASE("texts, expanded states, nothing selected at first") {
        TreeNode a = tree.insert(nullptr, InsertPlace::last(), "Alpha", nullptr);
        CHECK(tree.selected() == nullptr);
        tree.setText(a, "Beta");
        CHECK(textOf(tree, a) == "Beta");
        char small[3] = {'x', 'x', 'x'};
        tree.getText(a, small, sizeof small);
        CHECK(std::string(small) == "Be");

        CHECK_FALSE(tree.isExpanded(a));
        // A moved submenu gets its expanded state before its children exist.
        tree.setExpanded(a, true);
        TreeNode child = tree.insert(a, InsertPlace::last(), "child", nullptr);
        tree.insert(child, InsertPlace::last(), "grandchild", nullptr);
        CHECK(tree.isExpanded(a));
        CHECK_FALSE(tree.isExpanded(child));
        tree.setExpanded(child, true);
        CHECK(tree.isExpanded(child));
        tree.setExpanded(a, false);
        CHECK_FALSE(tree.isExpanded(a));
        CHECK(tree.isExpanded(child));
    }

    SUBCASE("a subtree is reported children first, each node still linked") {
        TreeNode a = tree.insert(nullptr, InsertPlace::last(), "A", &records[0]);
        TreeNode b = tree.insert(a, InsertPlace::last(), "B", nullptr);
        tree.insert(b, InsertPlace::last(), "D", &records[1]);
        tree.insert(b, InsertPlace::last(), "E", nullptr);
        tree.insert(a, InsertPlace::last(), "C", &records[2]);
        TreeNode f = tree.insert(nullptr, InsertPlace::last(), "F", nullptr);

        tree.deleteSubtree(a);
        CHECK(events.deletionOrder() == "D,E,B,C,A");
        REQUIRE(events.deletions.size() == 5);
        const std::vector<DeletionReport>& seen = events.deletions;
        // Still linked to its parent; earlier siblings and children already gone.
        CHECK(seen[0].parent == b);
        CHECK(seen[1].parent == b);
        CHECK(seen[1].previous == nullptr);
        CHECK(seen[2].parent == a);
        CHECK(seen[2].firstChild == nullptr);
        CHECK(seen[3].parent == a);
        CHECK(seen[3].previous == nullptr);
        CHECK(seen[4].parent == nullptr);
        CHECK(seen[4].firstChild == nullptr);
        CHECK(seen[0].value == &records[1]);
        CHECK(seen[3].value == &records[2]);
        CHECK(seen[4].value == &records[0]);

        CHECK(tree.count() == 1);
        CHECK(tree.firstChild(nullptr) == f);
        CHECK(tree.previousSibling(f) == nullptr);
    }

    SUBCASE("nodes inserted elsewhere while a subtree is reported stay") {
        TreeNode p = tree.insert(nullptr, InsertPlace::last(), "P", nullptr);
        tree.insert(p, InsertPlace::last(), "Q", nullptr);
        tree.insert(p, InsertPlace::last(), "R", nullptr);
        TreeNode t = tree.insert(nullptr, InsertPlace::last(), "T", nullptr);
        events.duringDeletion = [&](TreeNode node) {
            tree.insert(t, InsertPlace::last(), ("copy " + textOf(tree, node)).c_str(), nullptr);
        };
        tree.deleteSubtree(p);
        CHECK(shapeOf(tree) == "T(copy Q,copy R,copy P)");
        CHECK(tree.count() == 4);
    }

    SUBCASE("deleting everything reports every node") {
        TreeNode a = tree.insert(nullptr, InsertPlace::last(), "A", nullptr);
        tree.insert(a, InsertPlace::last(), "B", nullptr);
        tree.insert(nullptr, InsertPlace::last(), "C", nullptr);
        tree.deleteAll();
        CHECK(events.deletionOrder() == "B,A,C");
        CHECK(tree.count() == 0);
        CHECK(tree.firstChild(nullptr) == nullptr);
        CHECK(tree.selected() == nullptr);
    }

    SUBCASE("selection reports and the selection leaving a deleted node") {
        TreeNode a = tree.insert(nullptr, InsertPlace::last(), "A", nullptr);
        TreeNode b = tree.insert(a, InsertPlace::last(), "B", nullptr);
        TreeNode c = tree.insert(nullptr, InsertPlace::last(), "C", nullptr);
        tree.select(b);
        CHECK(tree.selected() == b);
        REQUIRE_FALSE(events.selections.empty());
        CHECK(events.selections.back() == b);

        // Deleting a node that does not hold the selection keeps it.
        std::size_t reports = events.selections.size();
        tree.deleteSubtree(c);
        CHECK(tree.selected() == b);
        CHECK(events.selections.size() == reports);

        // Deleting the subtree that holds it moves it to a node still there.
        TreeNode d = tree.insert(nullptr, InsertPlace::last(), "D", nullptr);
        tree.deleteSubtree(a);
        CHECK(tree.selected() == d);
        CHECK(events.selections.back() == d);

        tree.deleteSubtree(d);
        CHECK(tree.count() == 0);
        CHECK(tree.selected() == nullptr);
    }
}

TEST_SUITE_END();
