// Moving nodes with their subtrees: placement, what a move keeps, and the
// availability of the moves.
#include <doctest/doctest.h>

#include <vector>

#include "editor_test_support.h"
#include "tree_moves.h"

using namespace editor_testing;

namespace {

// A,B,S(C,T(D,U(E)),F),G with S, T and U submenus.
void putMovesMenu(store::MemoryKeyStore& keys) {
    const char* captions[] = {"A", "B", "S", "C", "T", "D", "U", "E", "F", "G"};
    for (std::uint32_t id = 1; id <= 10; ++id) putItem(keys, id, captions[id - 1], id == 3 || id == 5 || id == 7);
    putIndex(keys, "*", {{1, 0}, {2, 0}, {3, 0}, {4, 3}, {5, 3}, {6, 5}, {7, 5}, {8, 7}, {9, 3}, {10, 0}});
    putMaxId(keys, 10);
}

std::vector<const ItemRecord*> records(TreePrimitives& tree, TreeNode parent) {
    std::vector<TreeNode> nodes;
    collectNodes(tree, parent, nodes);
    std::vector<const ItemRecord*> out;
    for (TreeNode node : nodes) out.push_back(tree.value(node));
    return out;
}

}  // namespace

TEST_SUITE("editor tree moves") {

TEST_CASE("each move puts the node where its command says") {
    store::MemoryKeyStore keys;
    putMovesMenu(keys);
    PageFixture page(keys, "*");
    page.load();
    auto moveCaption = [&](const char* caption, int command) {
        page.tree.select(findCaption(page.tree, caption));
        return editor::moveSelected(page.page, command);
    };

    SUBCASE("up: the second child becomes the first, and cannot go further up") {
        CHECK(moveCaption("B", editor::kCommandMoveUp));
        CHECK(shape(page.tree) == "B,A,S(C,T(D,U(E)),F),G");
        CHECK(page.tree.value(page.tree.selected())->id == 2);
        CHECK(page.toolbar.editButtons() == "4:1 5:0 6:1 7:0 8:0");
        CHECK_FALSE(editor::moveSelected(page.page, editor::kCommandMoveUp));
        CHECK(shape(page.tree) == "B,A,S(C,T(D,U(E)),F),G");
    }

    SUBCASE("up from third place, inside a submenu") {
        CHECK(moveCaption("F", editor::kCommandMoveUp));
        CHECK(shape(page.tree) == "A,B,S(C,F,T(D,U(E))),G");
    }

    SUBCASE("down: the next-to-last child becomes the last") {
        CHECK(moveCaption("S", editor::kCommandMoveDown));
        CHECK(shape(page.tree) == "A,B,G,S(C,T(D,U(E)),F)");
        CHECK(page.toolbar.editButtons() == "4:1 5:1 6:0 7:0 8:0");
    }

    SUBCASE("out: directly after the submenu, one level up") {
        CHECK(moveCaption("T", editor::kCommandMoveOut));
        CHECK(shape(page.tree) == "A,B,S(C,F),T(D,U(E)),G");
        CHECK(moveCaption("E", editor::kCommandMoveOut));
        CHECK(shape(page.tree) == "A,B,S(C,F),T(D,U,E),G");
    }

    SUBCASE("in: last child of the submenu above, expanded or not") {
        CHECK(moveCaption("G", editor::kCommandMoveIn));
        CHECK(shape(page.tree) == "A,B,S(C,T(D,U(E)),F,G)");
        page.tree.setExpanded(findCaption(page.tree, "T"), true);
        CHECK(moveCaption("F", editor::kCommandMoveIn));
        CHECK(shape(page.tree, true) == "A,B,S(C,T+(D,U(E),F),G)");
        // Into a submenu that is empty.
        CHECK(moveCaption("E", editor::kCommandMoveOut));
        CHECK(shape(page.tree) == "A,B,S(C,T(D,U,E,F),G)");
        CHECK(page.toolbar.editButtons() == "4:1 5:1 6:1 7:1 8:1");
        CHECK(editor::moveSelected(page.page, editor::kCommandMoveIn));
        CHECK(shape(page.tree) == "A,B,S(C,T(D,U(E),F),G)");
    }

    SUBCASE("moves that are not possible change nothing") {
        CHECK_FALSE(moveCaption("B", editor::kCommandMoveIn));    // A is a command
        CHECK_FALSE(moveCaption("A", editor::kCommandMoveOut));   // already at the top
        CHECK_FALSE(moveCaption("G", editor::kCommandMoveDown));  // already last
        CHECK_FALSE(moveCaption("C", editor::kCommandMoveUp));    // already first
        page.tree.select(nullptr);
        CHECK_FALSE(editor::moveSelected(page.page, editor::kCommandMoveDown));
        CHECK(shape(page.tree) == "A,B,S(C,T(D,U(E)),F),G");
        CHECK(page.state.modified == 0);
    }
}

TEST_CASE("a moved submenu keeps its subtree, records and expanded states") {
    store::MemoryKeyStore keys;
    putMovesMenu(keys);
    PageFixture page(keys, "*");
    page.load();
    TreeNode s = findCaption(page.tree, "S");
    page.tree.setExpanded(s, true);
    page.tree.setExpanded(findCaption(page.tree, "T"), true);
    // A submenu expanded once and emptied keeps its flag as well.
    page.tree.select(s);
    const ItemRecord* moved = page.tree.value(s);
    std::vector<const ItemRecord*> before = records(page.tree, s);
    int shownBefore = page.fields.shown;

    CHECK(editor::moveSelected(page.page, editor::kCommandMoveUp));
    CHECK(shape(page.tree, true) == "A,S+(C,T+(D,U(E)),F),B,G");
    TreeNode copy = page.tree.selected();
    CHECK(page.tree.value(copy) == moved);
    CHECK(records(page.tree, copy) == before);
    CHECK(page.fields.shown == shownBefore);  // the fields keep showing the same record
    CHECK(page.state.guard == editor::GuardState::Idle);
    CHECK(page.state.moveSource == nullptr);
    CHECK(page.state.moveDestination == nullptr);
    CHECK(page.tree.redrawOn());
    CHECK(page.state.modified == 1);
    CHECK(page.sheet.tab == "*Context Menu");
    CHECK(page.toolbar.editButtons() == "4:1 5:1 6:1 7:0 8:0");

    CHECK(editor::moveSelected(page.page, editor::kCommandMoveUp));
    CHECK(editor::moveSelected(page.page, editor::kCommandMoveDown));
    CHECK(editor::moveSelected(page.page, editor::kCommandMoveDown));
    CHECK(shape(page.tree, true) == "A,B,S+(C,T+(D,U(E)),F),G");

    // Nested submenus moving out and in again, each with its own state.
    page.tree.setExpanded(findCaption(page.tree, "U"), true);
    page.tree.select(findCaption(page.tree, "T"));
    CHECK(editor::moveSelected(page.page, editor::kCommandMoveOut));
    CHECK(shape(page.tree, true) == "A,B,S+(C,F),T+(D,U+(E)),G");
    CHECK(editor::moveSelected(page.page, editor::kCommandMoveIn));
    CHECK(shape(page.tree, true) == "A,B,S+(C,F,T+(D,U+(E))),G");
    CHECK(page.tree.count() == 10);
    CHECK(page.state.deletedIds.empty());
}

}  // TEST_SUITE
