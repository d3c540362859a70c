// Random sequences of new, delete, move, edit and save on pages of several
// kinds that share one store: what a save writes loads back as it was saved,
// and the store's id bookkeeping stays sound after every save.
#include <doctest/doctest.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "action_edit.h"
#include "editor_test_support.h"
#include "store_save.h"
#include "tree_moves.h"

using namespace editor_testing;

namespace {

struct SavedNode {
    int depth;
    bool separator;
    std::uint32_t id;
    std::uint32_t isSubmenu;
    std::string caption, prompt, icon, action;
    std::string optional;  // the optional values in words
    bool operator==(const SavedNode& other) const {
        return depth == other.depth && separator == other.separator && id == other.id &&
               isSubmenu == other.isSubmenu && caption == other.caption &&
               prompt == other.prompt && icon == other.icon && action == other.action &&
               optional == other.optional;
    }
};
// "#3 at depth 1: Caption|prompt|icon|action, none" in a failure.
std::ostream& operator<<(std::ostream& out, const SavedNode& node) {
    if (node.separator) return out << "separator at depth " << node.depth;
    return out << "#" << node.id << (node.isSubmenu ? " submenu" : "") << " at depth " << node.depth
               << ": " << node.caption << "|" << node.prompt << "|" << node.icon << "|" << node.action
               << ", " << node.optional;
}
using SavedTree = std::vector<SavedNode>;

void snapshot(TreePrimitives& tree, TreeNode parent, int depth, SavedTree& out) {
    for (TreeNode node = tree.firstChild(parent); node; node = tree.nextSibling(node)) {
        const ItemRecord* record = tree.value(node);
        if (record) {
            out.push_back({depth, false, record->id, record->isSubmenu != 0, record->caption,
                           record->prompt, record->icon, record->isSubmenu ? "" : record->action,
                           optionalWords(*record)});
        } else {
            out.push_back({depth, true, 0, 0, "", "", "", "", ""});
        }
        snapshot(tree, node, depth + 1, out);
    }
}

SavedTree snapshot(TreePrimitives& tree) {
    SavedTree out;
    snapshot(tree, nullptr, 0, out);
    return out;
}

// The invariants every save keeps, as a list of what is wrong.
std::string storeProblems(store::MemoryKeyStore& keys) {
    std::string problems;
    auto problem = [&](const std::string& text) { problems += text + "; "; };
    const std::uint32_t maxId = storedMaxId(keys);
    const std::vector<std::uint32_t> freeIds = storedFreeIds(keys);
    if (maxId > store::kMaxStoredId) problem("MaxID above 999");
    std::vector<int> listed(store::kMaxStoredId + 2, 0);
    std::map<std::uint32_t, int> used;
    for (std::size_t i = 0; i < freeIds.size(); ++i) {
        std::uint32_t id = freeIds[i];
        if (id == 0 || id >= maxId) problem("free id " + std::to_string(id) + " not below MaxID");
        else ++listed[id];
        if (i > 0 && freeIds[i - 1] <= id) problem("FreeIDs not descending");
    }
    for (const char* kind : store::kContextKinds) {
        std::vector<std::uint32_t> open{0};
        for (const store::IndexEntry& entry : store::readIndexList(keys, kind)) {
            auto parent = std::find(open.begin(), open.end(), entry.parent);
            if (parent == open.end()) problem(std::string(kind) + ": parent not open");
            else open.erase(parent + 1, open.end());
            if (entry.id == 0) continue;
            ++used[entry.id];
            const store::MemoryKeyStore::Value* submenu =
                keys.value(itemPath(entry.id), store::kIsSubMenuValue);
            if (submenu && !submenu->data.empty() && submenu->data[0]) open.push_back(entry.id);
        }
    }
    for (std::uint32_t id = 1; id <= maxId && id <= store::kMaxStoredId; ++id) {
        bool inUse = used[id] > 0;
        bool hasKey = keys.hasKey(itemPath(id));
        if (used[id] > 1) problem("id " + std::to_string(id) + " named twice");
        if (listed[id] > 1) problem("id " + std::to_string(id) + " free twice");
        if (inUse == (listed[id] > 0)) problem("id " + std::to_string(id) + " both or neither");
        if (inUse != hasKey) problem("key of id " + std::to_string(id) + " wrong");
    }
    for (const auto& [id, uses] : used)
        if (id > maxId && uses) problem("id " + std::to_string(id) + " above MaxID in use");
    for (std::uint32_t id = maxId + 1; id <= std::min<std::uint32_t>(maxId + 20, 999); ++id)
        if (keys.hasKey(itemPath(id))) problem("key above MaxID: " + std::to_string(id));
    return problems;
}

std::string randomText(std::mt19937& random, std::size_t fieldSize) {
    static const char alphabet[] = "abc XYZ$(:)%01\"\\";
    std::size_t length = random() % 8 == 0 ? fieldSize - 1 : random() % 12;
    std::string text;
    for (std::size_t i = 0; i < length; ++i) text += alphabet[random() % (sizeof alphabet - 1)];
    return text;
}

TreeNode randomNode(std::mt19937& random, TreePrimitives& tree) {
    std::vector<TreeNode> nodes;
    collectNodes(tree, nullptr, nodes);
    std::size_t pick = random() % (nodes.size() + 1);
    return pick < nodes.size() ? nodes[pick] : nullptr;
}

std::vector<const ItemRecord*> subtreeRecords(TreePrimitives& tree, TreeNode node) {
    std::vector<TreeNode> nodes;
    collectNodes(tree, node, nodes);
    std::vector<const ItemRecord*> out{tree.value(node)};
    for (TreeNode each : nodes) out.push_back(tree.value(each));
    return out;
}

void checkMove(PageFixture& page, std::mt19937& random) {
    TreePrimitives& tree = page.tree;
    TreeNode node = tree.selected();
    int command = editor::kCommandMoveUp + static_cast<int>(random() % 4);
    editor::MoveAvailability can = editor::moveAvailability(tree, node);
    bool possible = command == editor::kCommandMoveUp     ? can.up
                    : command == editor::kCommandMoveDown ? can.down
                    : command == editor::kCommandMoveOut  ? can.out
                                                          : can.in;
    std::vector<const ItemRecord*> records;
    std::string subtreeShape;
    if (node) {
        records = subtreeRecords(tree, node);
        subtreeShape = shape(tree, true, node);
    }
    std::size_t count = tree.count();
    INFO("move command " << command);
    REQUIRE(editor::moveSelected(page.page, command) == (node && possible));
    REQUIRE(tree.count() == count);
    if (node && possible) {
        TreeNode moved = tree.selected();
        REQUIRE(subtreeRecords(tree, moved) == records);
        REQUIRE(shape(tree, true, moved) == subtreeShape);
    }
}

}  // namespace

TEST_SUITE("editor randomized") {

TEST_CASE("random edits on several kinds save and reload faithfully") {
    const char* const kinds[] = {"*", "Directory", "Background", "Drive"};
    constexpr int kKinds = 4;
    int saves = 0;

    for (unsigned seed = 1; seed <= 10; ++seed) {
        CAPTURE(seed);
        std::mt19937 random(seed);
        store::MemoryKeyStore keys;
        std::vector<std::unique_ptr<PageFixture>> pages;
        std::vector<SavedTree> lastSaved(kKinds);
        for (const char* kind : kinds) {
            pages.push_back(std::make_unique<PageFixture>(keys, kind));
            pages.back()->load();
        }

        for (int step = 0; step < 500; ++step) {
            CAPTURE(step);
            int which = static_cast<int>(random() % kKinds);
            PageFixture& page = *pages[which];
            TreePrimitives& tree = page.tree;
            unsigned op = random() % 100;
            if (op < 25 && tree.count() > 40) op = 40;  // keep the trees small: delete instead

            if (op < 25) {
                int command = editor::kCommandNewSubmenu + static_cast<int>(random() % 3);
                REQUIRE(editor::newNode(page.page, command));
            } else if (op < 40) {
                TreeNode node = randomNode(random, tree);
                tree.select(node);
                if (node && random() % 3 == 0) tree.setExpanded(node, !tree.isExpanded(node));
            } else if (op < 50) {
                bool hadSelection = tree.selected() != nullptr;
                REQUIRE(editor::deleteSelected(page.page) == hadSelection);
            } else if (op < 75) {
                checkMove(page, random);
            } else if (op < 82) {
                if (ItemRecord* record = editor::recordOf(tree, tree.selected())) {
                    store::copyField(record->caption, sizeof record->caption,
                                     randomText(random, sizeof record->caption).c_str());
                    tree.setText(tree.selected(), record->caption);
                    store::copyField(record->prompt, sizeof record->prompt,
                                     randomText(random, sizeof record->prompt).c_str());
                    store::copyField(record->icon, sizeof record->icon,
                                     randomText(random, sizeof record->icon).c_str());
                    // Now and then the optional values, each set or back at its default.
                    store::copyField(record->showFor, sizeof record->showFor,
                                     random() % 3 ? "" : randomText(random, sizeof record->showFor).c_str());
                    if (!record->isSubmenu) {
                        editor::insertArgument(record->action, "%1");
                        editor::setWindowState(record->action, '2');
                        record->selection = random() % 2 ? 0 : random() % 3;
                        record->runAs = random() % 3 ? 0 : store::kRunAsElevated;
                    }
                    editor::markModified(page.page);
                }
            } else {
                ++saves;
                REQUIRE(editor::saveTree(page.page, keys) == editor::SaveResult::Saved);
                REQUIRE(page.state.modified == 0);
                REQUIRE(page.state.deletedIds.empty());
                SavedTree saved = snapshot(tree);
                for (const SavedNode& node : saved) REQUIRE((node.separator || node.id != 0));
                std::string problems = storeProblems(keys);
                REQUIRE(problems == "");
                lastSaved[which] = saved;

                page.reload();
                REQUIRE(snapshot(tree) == saved);
                // What every other kind last saved is still there as it was.
                for (int other = 0; other < kKinds; ++other) {
                    if (other == which) continue;
                    PageFixture fresh(keys, kinds[other]);
                    fresh.load();
                    REQUIRE(snapshot(fresh.tree) == lastSaved[other]);
                }
            }
        }
    }
    CHECK(saves > 800);
}

}  // TEST_SUITE
