// Loading, new nodes, deletion and the modified marker of the editor tree.
#include <doctest/doctest.h>

#include <string>

#include "editor_test_support.h"
#include "modified_marker.h"
#include "store_save.h"

using namespace editor_testing;
using editor::GuardState;

TEST_SUITE("editor tree model") {

TEST_CASE("load follows the nesting of the list") {
    store::MemoryKeyStore keys;
    PageFixture page(keys, "*");

    SUBCASE("a separator in a submenu and an entry back at the top level") {
        putItem(keys, 5, "Five", true);
        putItem(keys, 6, "Six", false, "notepad.exe");
        putItem(keys, 7, "Seven");
        putIndex(keys, "*", {{5, 0}, {6, 5}, {0, 5}, {7, 0}});
        putMaxId(keys, 7);
        page.load();
        CHECK(shape(page.tree, true) == "Five(Six,-),Seven");
        CHECK(page.tree.selected() == nullptr);
        CHECK(page.state.maxId == 7);
        const ItemRecord* six = page.tree.value(findCaption(page.tree, "Six"));
        REQUIRE(six);
        CHECK(six->id == 6);
        CHECK(six->parentId == 5);
        CHECK(six->isNew == 0);
        CHECK(std::string(six->action) == "notepad.exe");
    }

    SUBCASE("parent 0 closes every open submenu") {
        putItem(keys, 5, "Five", true);
        putItem(keys, 6, "Six", true);
        putItem(keys, 7, "Seven");
        putItem(keys, 8, "Eight");
        putIndex(keys, "*", {{5, 0}, {6, 5}, {7, 6}, {8, 0}});
        page.load();
        CHECK(shape(page.tree) == "Five(Six(Seven)),Eight");
    }

    SUBCASE("an empty submenu is a childless, collapsed node") {
        putItem(keys, 3, "Empty", true);
        putItem(keys, 4, "After");
        putIndex(keys, "*", {{3, 0}, {4, 0}});
        page.load();
        CHECK(shape(page.tree, true) == "Empty,After");
        CHECK(page.tree.value(page.tree.firstChild(nullptr))->isSubmenu == 1);
    }

    SUBCASE("no key, no value, or too short a value: an empty tree") {
        page.load();
        CHECK(page.tree.count() == 0);
        CHECK(page.state.maxId == 0);
        putIndex(keys, "Directory", {{1, 0}});
        page.load();
        CHECK(page.tree.count() == 0);
        unsigned char threeBytes[3] = {1, 0, 0};
        keys.setValue(store::kIndexKey, "*", store::kTypeBinary, threeBytes, 3);
        page.load();
        CHECK(page.tree.count() == 0);
    }
}

TEST_CASE("lists no save wrote load safely") {
    store::MemoryKeyStore keys;
    PageFixture page(keys, "*");
    putMaxId(keys, 20);

    SUBCASE("unknown or closed parents put the entry at the top level") {
        putItem(keys, 1, "Menu", true);
        putItem(keys, 2, "Inside");
        putItem(keys, 3, "Orphan");
        putItem(keys, 4, "Command");
        putItem(keys, 5, "UnderCommand");
        putItem(keys, 6, "Late");
        putIndex(keys, "*", {{1, 0}, {2, 1}, {3, 9}, {4, 0}, {5, 4}, {0, 12}, {6, 1}});
        page.load();
        CHECK(shape(page.tree) == "Menu(Inside),Orphan,Command,UnderCommand,-,Late");
    }

    SUBCASE("missing keys and values, over-long texts") {
        std::string path = itemPath(2);
        keys.setString(path, store::kCaptionValue, std::string(100, 'c'));
        keys.setString(path, store::kIconValue, std::string(400, 'i'));
        keys.setString(path, store::kActionValue, std::string(3000, 'a'));
        putIndex(keys, "*", {{1, 0}, {2, 0}});
        page.load();
        const ItemRecord* missing = page.tree.value(page.tree.firstChild(nullptr));
        const ItemRecord* partial = page.tree.value(page.tree.nextSibling(page.tree.firstChild(nullptr)));
        REQUIRE((missing && partial));
        CHECK(std::string(missing->caption).empty());
        CHECK(missing->isSubmenu == 0);
        CHECK(std::string(partial->caption) == std::string(63, 'c'));
        CHECK(std::string(partial->prompt).empty());
        CHECK(std::string(partial->icon) == std::string(259, 'i'));
        CHECK(std::string(partial->action) == std::string(2047, 'a'));
        CHECK(partial->isSubmenu == 0);
    }

    SUBCASE("ids the store cannot hold, or named twice, are saved afresh") {
        // an item over 999, which no save writes
        keys.setString(itemPath(1000), store::kCaptionValue, "Big");
        keys.setNumber(itemPath(1000), store::kIsSubMenuValue, 1);
        putItem(keys, 4, "Four");
        putItem(keys, 2, "Two");
        putIndex(keys, "*", {{1000, 0}, {4, 1000}, {4, 0}, {2, 0}});
        page.load();
        CHECK(shape(page.tree) == "Big(Four),Four,Two");
        TreeNode big = page.tree.firstChild(nullptr);
        CHECK(page.tree.value(big)->isNew == 1);
        CHECK(page.tree.value(page.tree.firstChild(big))->isNew == 0);
        CHECK(page.tree.value(page.tree.nextSibling(big))->isNew == 1);

        page.state.modified = 1;
        REQUIRE(editor::saveTree(page.page, keys) == editor::SaveResult::Saved);
        CHECK(storedList(keys, "*") == "(21,0) (4,21) (22,0) (2,0)");
        CHECK(storedCaption(keys, 21) == "Big");
        CHECK(storedCaption(keys, 22) == "Four");
        CHECK(storedMaxId(keys) == 22);
    }
}

TEST_CASE("new nodes go where the selection says") {
    store::MemoryKeyStore keys;
    putItem(keys, 1, "Menu", true);
    putItem(keys, 2, "Inside");
    putItem(keys, 3, "Top");
    putIndex(keys, "*", {{1, 0}, {2, 1}, {3, 0}, {0, 0}});
    putMaxId(keys, 3);
    PageFixture page(keys, "*");
    page.load();

    SUBCASE("nothing selected: first at the top level") {
        TreeNode node = editor::newNode(page.page, editor::kCommandNewCommand);
        CHECK(shape(page.tree) == "New Command,Menu(Inside),Top,-");
        const ItemRecord* record = page.tree.value(node);
        CHECK(record->isNew == 1);
        CHECK(record->id == 4);
        CHECK(record->parentId == 0);
        CHECK(record->isSubmenu == 0);
        CHECK(page.state.maxId == 4);
        CHECK(page.tree.selected() == node);
        CHECK(page.fields.lastShown == record);
        CHECK(page.state.modified == 1);
    }

    SUBCASE("a command or separator selected: right after it") {
        page.tree.select(findCaption(page.tree, "Inside"));
        TreeNode node = editor::newNode(page.page, editor::kCommandNewSubmenu);
        CHECK(shape(page.tree) == "Menu(Inside,New Submenu),Top,-");
        CHECK(page.tree.value(node)->isSubmenu == 1);
        CHECK(page.tree.value(node)->parentId == 1);

        TreeNode separator = page.tree.nextSibling(findCaption(page.tree, "Top"));
        page.tree.select(separator);
        editor::newNode(page.page, editor::kCommandNewCommand);
        CHECK(shape(page.tree) == "Menu(Inside,New Submenu),Top,-,New Command");
    }

    SUBCASE("a submenu selected: its last child") {
        page.tree.select(findCaption(page.tree, "Menu"));
        editor::newNode(page.page, editor::kCommandNewCommand);
        CHECK(shape(page.tree) == "Menu(Inside,New Command),Top,-");
    }

    SUBCASE("a separator takes no id and shows no fields") {
        page.tree.select(findCaption(page.tree, "Top"));
        TreeNode node = editor::newNode(page.page, editor::kCommandNewSeparator);
        CHECK(shape(page.tree) == "Menu(Inside),Top,-,-");
        CHECK(page.tree.value(node) == nullptr);
        CHECK(page.state.maxId == 3);
        CHECK(page.tree.selected() == node);
        CHECK(page.fields.lastShown == nullptr);
        CHECK(page.state.modified == 1);
    }
}

TEST_CASE("delete records the ids of stored items only") {
    store::MemoryKeyStore keys;
    putItem(keys, 1, "Menu", true);
    putItem(keys, 2, "Stored");
    putItem(keys, 3, "Inner", true);
    putItem(keys, 4, "Deep");
    putItem(keys, 5, "Next");
    putIndex(keys, "*", {{1, 0}, {2, 1}, {0, 1}, {3, 1}, {4, 3}, {5, 0}});
    putMaxId(keys, 5);
    PageFixture page(keys, "*");
    page.load();

    SUBCASE("a submenu holding stored and new items") {
        page.tree.select(findCaption(page.tree, "Inner"));
        editor::newNode(page.page, editor::kCommandNewCommand);
        editor::newNode(page.page, editor::kCommandNewSubmenu);
        page.tree.select(findCaption(page.tree, "Menu"));
        editor::clearModified(page.page);

        CHECK(editor::deleteSelected(page.page));
        CHECK(page.state.deletedIds == std::vector<std::uint32_t>{2, 4, 3, 1});
        CHECK(shape(page.tree) == "Next");
        CHECK(page.tree.selected() == findCaption(page.tree, "Next"));
        CHECK(page.fields.lastShown == page.tree.value(page.tree.selected()));
        CHECK(page.state.guard == GuardState::Idle);
        CHECK(page.state.modified == 1);
    }

    SUBCASE("deleting the last node empties and disables everything") {
        page.tree.select(findCaption(page.tree, "Menu"));
        editor::deleteSelected(page.page);
        page.tree.select(page.tree.firstChild(nullptr));
        CHECK(page.toolbar.isEnabled(editor::kCommandDelete));
        CHECK(editor::deleteSelected(page.page));
        CHECK(page.tree.count() == 0);
        CHECK(page.tree.selected() == nullptr);
        CHECK(page.fields.lastShown == nullptr);
        CHECK(page.toolbar.editButtons() == "4:0 5:0 6:0 7:0 8:0");
        CHECK(page.state.deletedIds == std::vector<std::uint32_t>{2, 4, 3, 1, 5});
    }

    SUBCASE("nothing selected: nothing deleted") {
        CHECK_FALSE(editor::deleteSelected(page.page));
        CHECK(page.tree.count() == 6);
        CHECK(page.state.modified == 0);
    }
}

TEST_CASE("clear frees everything; show no selection leaves nothing enabled") {
    store::MemoryKeyStore keys;
    putItem(keys, 1, "Menu", true);
    putItem(keys, 2, "Inside");
    putIndex(keys, "*", {{1, 0}, {2, 1}});
    PageFixture page(keys, "*");
    page.load();
    page.tree.select(findCaption(page.tree, "Inside"));
    editor::deleteSelected(page.page);
    CHECK(page.state.deletedIds.size() == 1);

    editor::clear(page.page);
    CHECK(page.tree.count() == 0);
    CHECK(page.state.deletedIds.empty());
    editor::showNoSelection(page.page);
    CHECK(page.tree.count() == 0);
    CHECK(page.tree.selected() == nullptr);
    CHECK(page.toolbar.editButtons() == "4:0 5:0 6:0 7:0 8:0");
    CHECK(page.fields.lastShown == nullptr);
}

TEST_CASE("the modified marker puts one star before the tab title") {
    store::MemoryKeyStore keys;
    PageFixture page(keys, "*");
    editor::markModified(page.page);
    editor::markModified(page.page);
    CHECK(page.sheet.tab == "*Context Menu");
    CHECK(page.sheet.changedSent == 1);
    editor::clearModified(page.page);
    editor::clearModified(page.page);
    CHECK(page.sheet.tab == "Context Menu");
    CHECK(page.sheet.unchangedSent == 1);

    // A tab text that fills the whole buffer still fits with its star.
    page.sheet.tab = std::string(300, 't');
    editor::markModified(page.page);
    CHECK(page.sheet.tab == "*" + std::string(259, 't'));
    editor::clearModified(page.page);
    CHECK(page.sheet.tab == std::string(259, 't'));
}

TEST_CASE("selection handling by guard state") {
    store::MemoryKeyStore keys;
    putItem(keys, 1, "Menu", true);
    putItem(keys, 2, "Inside");
    putItem(keys, 3, "Top");
    putIndex(keys, "*", {{1, 0}, {2, 1}, {3, 0}});
    PageFixture page(keys, "*");
    page.load();
    TreeNode top = findCaption(page.tree, "Top");

    page.state.guard = GuardState::Moving;
    page.tree.select(top);
    CHECK(page.toolbar.enabled.empty());
    CHECK(page.fields.shown == 0);

    page.state.guard = GuardState::Reselecting;
    page.tree.select(findCaption(page.tree, "Inside"));
    CHECK(page.toolbar.editButtons() == "4:0 5:0 6:0 7:1 8:0");
    CHECK(page.fields.shown == 0);

    page.state.guard = GuardState::Idle;
    page.tree.select(top);
    CHECK(page.toolbar.editButtons() == "4:1 5:1 6:0 7:0 8:1");
    CHECK(page.fields.lastShown == page.tree.value(top));
}

}  // TEST_SUITE
