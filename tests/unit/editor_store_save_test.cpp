// Saving a page's tree: id bookkeeping, the written list, the limits of the
// store, and the process-wide save bookkeeping.
#include <doctest/doctest.h>

#include <functional>
#include <string>
#include <vector>

#include "editor_test_support.h"
#include "save_bookkeeping.h"
#include "store_save.h"
#include "tree_moves.h"

using namespace editor_testing;
using editor::SaveResult;

namespace {

using Ids = std::vector<std::uint32_t>;

// Top-level commands with the given ids, in order.
void putFlatMenu(store::MemoryKeyStore& keys, const char* kind, const Ids& ids) {
    std::vector<store::IndexEntry> entries;
    for (std::uint32_t id : ids) {
        putItem(keys, id, "Item " + std::to_string(id));
        entries.push_back({static_cast<std::uint16_t>(id), 0});
    }
    putIndex(keys, kind, entries);
}

void selectCaption(PageFixture& page, const std::string& caption) {
    TreeNode node = findCaption(page.tree, caption);
    REQUIRE(node);
    page.tree.select(node);
}

void deleteCaption(PageFixture& page, const std::string& caption) {
    selectCaption(page, caption);
    REQUIRE(editor::deleteSelected(page.page));
}

// A new command after the selection, captioned so that it can be found.
TreeNode newCommand(PageFixture& page, const std::string& caption) {
    TreeNode node = editor::newNode(page.page, editor::kCommandNewCommand);
    REQUIRE(node);
    store::copyField(page.tree.value(node)->caption, store::kCaptionSize, caption.c_str());
    page.tree.setText(node, caption.c_str());
    return node;
}

SaveResult save(PageFixture& page) { return editor::saveTree(page.page, page.keys); }

std::size_t valueSize(store::MemoryKeyStore& keys, const std::string& path, const char* name) {
    const store::MemoryKeyStore::Value* value = keys.value(path, name);
    REQUIRE(value);
    return value->data.size();
}

}  // namespace

TEST_SUITE("editor store save") {

TEST_CASE("ids come from the free list first, then above MaxID") {
    store::MemoryKeyStore keys;

    SUBCASE("the worked example: MaxID 10, FreeIDs {4}, deleted 9, 10 and 6") {
        putFlatMenu(keys, "*", {1, 2, 3, 5, 6, 7, 8, 9, 10});
        putMaxId(keys, 10);
        putFreeIds(keys, {4});
        PageFixture page(keys, "*");
        page.load();
        deleteCaption(page, "Item 9");
        deleteCaption(page, "Item 10");
        deleteCaption(page, "Item 6");
        CHECK(page.state.deletedIds == Ids{9, 10, 6});
        page.tree.select(nullptr);
        TreeNode first = newCommand(page, "N1");
        TreeNode second = newCommand(page, "N2");
        bool third = false;
        SUBCASE("two new items") {}
        SUBCASE("three new items") {
            newCommand(page, "N3");
            third = true;
        }

        REQUIRE(save(page) == SaveResult::Saved);
        if (!third) {
            CHECK(storedList(keys, "*") == "(4,0) (6,0) (1,0) (2,0) (3,0) (5,0) (7,0) (8,0)");
            CHECK(storedMaxId(keys) == 8);
        } else {
            CHECK(storedList(keys, "*") == "(4,0) (6,0) (9,0) (1,0) (2,0) (3,0) (5,0) (7,0) (8,0)");
            CHECK(storedMaxId(keys) == 9);
            CHECK(storedCaption(keys, 9) == "N3");
        }
        CHECK(valueSize(keys, store::kItemsKey, store::kFreeIdsValue) == 0);
        CHECK(storedCaption(keys, 4) == "N1");
        CHECK(storedCaption(keys, 6) == "N2");
        CHECK_FALSE(keys.hasKey(itemPath(10)));
        CHECK(page.tree.value(first)->id == 4);
        CHECK(page.tree.value(second)->isNew == 0);
        CHECK(page.state.maxId == (third ? 9 : 8));
        CHECK(page.state.deletedIds.empty());
        CHECK(page.state.modified == 0);
        CHECK(page.sheet.tab == "Context Menu");
    }

    SUBCASE("FreeIDs {7, 3} and MaxID 9: two new items get 3 and 7 in pre-order") {
        putItem(keys, 1, "Menu", true);
        putItem(keys, 2, "Two");
        putIndex(keys, "*", {{1, 0}, {2, 1}});
        putFlatMenu(keys, "Directory", {4, 5, 6, 8, 9});
        putMaxId(keys, 9);
        putFreeIds(keys, {7, 3});
        PageFixture page(keys, "*");
        page.load();
        selectCaption(page, "Two");
        newCommand(page, "Inner");  // after Two, inside Menu
        page.tree.select(nullptr);
        newCommand(page, "Outer");  // first at the top level
        REQUIRE(save(page) == SaveResult::Saved);
        CHECK(storedList(keys, "*") == "(3,0) (1,0) (2,1) (7,1)");
        CHECK(storedFreeIds(keys).empty());
        CHECK(storedMaxId(keys) == 9);
    }

    SUBCASE("deleted ids that touch MaxID lower it instead of being listed") {
        putFlatMenu(keys, "*", {1, 2, 3, 4});
        putMaxId(keys, 4);
        PageFixture page(keys, "*");
        page.load();
        deleteCaption(page, "Item 4");
        deleteCaption(page, "Item 1");
        REQUIRE(save(page) == SaveResult::Saved);
        CHECK(storedMaxId(keys) == 3);
        CHECK(storedFreeIds(keys) == Ids{1});
        deleteCaption(page, "Item 3");
        deleteCaption(page, "Item 2");
        REQUIRE(save(page) == SaveResult::Saved);
        CHECK(storedMaxId(keys) == 0);
        CHECK(storedFreeIds(keys).empty());
        CHECK(storedList(keys, "*").empty());
    }

    SUBCASE("an item created by a save is deleted under its permanent id") {
        putMaxId(keys, 5);
        putFreeIds(keys, {2});
        PageFixture page(keys, "*");
        newCommand(page, "First");
        REQUIRE(save(page) == SaveResult::Saved);
        CHECK(storedList(keys, "*") == "(2,0)");
        deleteCaption(page, "First");
        CHECK(page.state.deletedIds == Ids{2});
        REQUIRE(save(page) == SaveResult::Saved);
        CHECK_FALSE(keys.hasKey(itemPath(2)));
        CHECK(storedFreeIds(keys) == Ids{2});
    }
}

TEST_CASE("the written list follows the tree") {
    store::MemoryKeyStore keys;

    SUBCASE("an empty tree writes a zero-length list") {
        PageFixture page(keys, "Directory");
        page.state.modified = 1;
        REQUIRE(save(page) == SaveResult::Saved);
        CHECK(valueSize(keys, store::kIndexKey, "Directory") == 0);
        CHECK(keys.value(store::kIndexKey, "Directory")->type == store::kTypeBinary);
        CHECK(storedMaxId(keys) == 0);
    }

    SUBCASE("separators and new children inside new submenus") {
        PageFixture page(keys, "*");
        editor::newNode(page.page, editor::kCommandNewSubmenu);
        editor::newNode(page.page, editor::kCommandNewCommand);
        editor::newNode(page.page, editor::kCommandNewSeparator);
        REQUIRE(save(page) == SaveResult::Saved);
        CHECK(storedList(keys, "*") == "(1,0) (2,1) (0,1)");
        CHECK(keys.value(itemPath(1), store::kIsSubMenuValue)->data[0] == 1);
    }

    SUBCASE("a moved item is stored under its new parent, right after it") {
        putItem(keys, 1, "Menu", true);
        putItem(keys, 2, "Two");
        putItem(keys, 3, "Three");
        putIndex(keys, "*", {{1, 0}, {2, 0}, {3, 0}});
        PageFixture page(keys, "*");
        page.load();
        selectCaption(page, "Two");
        REQUIRE(editor::moveSelected(page.page, editor::kCommandMoveIn));
        REQUIRE(save(page) == SaveResult::Saved);
        CHECK(storedList(keys, "*") == "(1,0) (2,1) (3,0)");
    }

    SUBCASE("other kinds keep their items") {
        putItem(keys, 1, "Dir menu", true);
        putItem(keys, 2, "Dir item");
        putIndex(keys, "Directory", {{1, 0}, {2, 1}});
        putFlatMenu(keys, "*", {3});
        putMaxId(keys, 3);
        std::string directoryList = storedList(keys, "Directory");
        PageFixture page(keys, "*");
        page.load();
        deleteCaption(page, "Item 3");
        newCommand(page, "New");
        REQUIRE(save(page) == SaveResult::Saved);
        CHECK(storedList(keys, "*") == "(3,0)");
        CHECK(storedCaption(keys, 3) == "New");
        CHECK(storedList(keys, "Directory") == directoryList);
        CHECK(storedCaption(keys, 1) == "Dir menu");
        CHECK(storedCaption(keys, 2) == "Dir item");
    }
}

TEST_CASE("a save beyond the store's limits writes nothing and keeps the page") {
    store::MemoryKeyStore keys;
    putFlatMenu(keys, "*", {1, 995});
    putMaxId(keys, 995);
    PageFixture page(keys, "*");
    page.load();
    deleteCaption(page, "Item 1");  // the selection moves on to Item 995

    SUBCASE("ids up to 999 fit") {
        for (int i = 0; i < 5; ++i) newCommand(page, "n");
        REQUIRE(save(page) == SaveResult::Saved);
        CHECK(storedMaxId(keys) == 999);
        CHECK(storedList(keys, "*") == "(995,0) (1,0) (996,0) (997,0) (998,0) (999,0)");
    }

    SUBCASE("one more would need 1000") {
        for (int i = 0; i < 6; ++i) newCommand(page, "n");
        std::string storeBefore = keys.dump();
        std::string treeBefore = shape(page.tree);
        std::uint32_t generation = editor::saveCount("*");
        CHECK(save(page) == SaveResult::NoIdLeft);
        CHECK(keys.dump() == storeBefore);
        CHECK(shape(page.tree) == treeBefore);
        CHECK(page.tree.value(page.tree.nextSibling(page.tree.firstChild(nullptr)))->isNew == 1);
        CHECK(page.state.deletedIds == Ids{1});
        CHECK(page.state.maxId == 1001);
        CHECK(page.state.modified == 1);
        CHECK(page.sheet.tab == "*Context Menu");
        CHECK(editor::saveCount("*") == generation);
    }

    SUBCASE("1024 entries fit, 1025 do not") {
        page.tree.select(nullptr);
        for (int i = 0; i < 1023; ++i) editor::newNode(page.page, editor::kCommandNewSeparator);
        REQUIRE(page.tree.count() == 1024);
        editor::newNode(page.page, editor::kCommandNewSeparator);
        std::string storeBefore = keys.dump();
        CHECK(save(page) == SaveResult::TooManyEntries);
        CHECK(keys.dump() == storeBefore);
        CHECK(page.state.modified == 1);
        page.tree.select(page.tree.firstChild(nullptr));
        editor::deleteSelected(page.page);
        CHECK(save(page) == SaveResult::Saved);
        CHECK(store::readIndexList(keys, "*").size() == 1024);
    }
}

TEST_CASE("ids are never shared, even over store data no save wrote") {
    store::MemoryKeyStore keys;

    SUBCASE("a stale page writes back items another page deleted") {
        putFlatMenu(keys, "*", {1, 2});
        putMaxId(keys, 2);
        PageFixture first(keys, "*");
        PageFixture stale(keys, "*");
        first.load();
        stale.load();
        deleteCaption(first, "Item 1");
        REQUIRE(save(first) == SaveResult::Saved);
        CHECK(storedFreeIds(keys) == Ids{1});
        stale.tree.select(nullptr);
        newCommand(stale, "New");
        REQUIRE(save(stale) == SaveResult::Saved);
        CHECK(storedList(keys, "*") == "(3,0) (1,0) (2,0)");
        CHECK(storedFreeIds(keys).empty());
        CHECK(storedMaxId(keys) == 3);
        CHECK(storedCaption(keys, 1) == "Item 1");
    }

    SUBCASE("a stale page's item whose id another kind's list names now takes a fresh id") {
        putFlatMenu(keys, "*", {1, 2});
        putMaxId(keys, 2);
        PageFixture stale(keys, "*");
        stale.load();
        // Meanwhile another process gave id 1 to the folders' menu.
        putItem(keys, 1, "Folder tool", false);
        putIndex(keys, "*", {{2, 0}});
        putIndex(keys, "Directory", {{1, 0}});
        stale.tree.select(nullptr);
        newCommand(stale, "New");
        REQUIRE(save(stale) == SaveResult::Saved);
        CHECK(storedList(keys, "Directory") == "(1,0)");
        CHECK(storedCaption(keys, 1) == "Folder tool");
        CHECK(storedList(keys, "*") == "(3,0) (4,0) (2,0)");
        CHECK(storedCaption(keys, 4) == "Item 1");
        CHECK(storedMaxId(keys) == 4);
    }

    SUBCASE("repeated, zero, too high or shown free ids are not given out") {
        putFlatMenu(keys, "*", {3});
        putMaxId(keys, 10);
        putFreeIds(keys, {5, 5, 0, 12, 3});
        PageFixture page(keys, "*");
        page.load();
        newCommand(page, "A");
        newCommand(page, "B");
        REQUIRE(save(page) == SaveResult::Saved);
        CHECK(storedList(keys, "*") == "(5,0) (11,0) (3,0)");
        CHECK(storedFreeIds(keys).empty());
        CHECK(storedMaxId(keys) == 11);
    }

    SUBCASE("MaxID below an id the page shows is raised past it") {
        putFlatMenu(keys, "*", {7});
        putMaxId(keys, 2);
        PageFixture page(keys, "*");
        page.load();
        newCommand(page, "New");
        REQUIRE(save(page) == SaveResult::Saved);
        CHECK(storedList(keys, "*") == "(8,0) (7,0)");
        CHECK(storedMaxId(keys) == 8);
    }
}

TEST_CASE("saves are announced to the other pages of the process") {
    store::MemoryKeyStore keys;
    PageFixture saver(keys, "*");
    PageFixture other(keys, "*");
    PageFixture unrelated(keys, "CDROM");  // no page of these tests saves CDROM
    other.state.generationSeen = editor::saveCount("*");
    std::uint32_t before = editor::saveCount("*");

    REQUIRE(save(saver) == SaveResult::Saved);
    CHECK(editor::saveCount("*") == before + 1);
    CHECK(editor::saveCount("CDROM") == 0);
    CHECK_FALSE(editor::reloadWanted(saver.state));
    CHECK(editor::reloadWanted(other.state));
    CHECK_FALSE(editor::reloadWanted(unrelated.state));
    other.state.generationSeen = editor::saveCount("*");
    CHECK_FALSE(editor::reloadWanted(other.state));
}

}  // TEST_SUITE

TEST_SUITE("editor store save: optional values") {

namespace {

// Tools (1) holding Edit (2), then Plain (3). Edit uses all three optional
// values, Plain only its patterns.
void putOptionalSample(store::MemoryKeyStore& keys) {
    putItem(keys, 1, "Tools", true);
    putItem(keys, 2, "Edit", false, "notepad.exe \"%1\"");
    putItem(keys, 3, "Plain", false, "plain.exe");
    keys.setNumber(itemPath(2), store::kSelectionValue, store::kSelectionEachInTurn);
    keys.setString(itemPath(2), store::kShowForValue, "*.txt;!~*");
    keys.setNumber(itemPath(2), store::kRunAsValue, store::kRunAsElevated);
    keys.setString(itemPath(3), store::kShowForValue, "*.log");
    putIndex(keys, "*", {{1, 0}, {2, 1}, {3, 0}});
    putMaxId(keys, 3);
}

ItemRecord& recordCaptioned(PageFixture& page, const std::string& caption) {
    TreeNode node = findCaption(page.tree, caption);
    REQUIRE_MESSAGE(node, "no item captioned " << caption);
    return *page.tree.value(node);
}

void setOptional(PageFixture& page, const std::string& caption, std::uint32_t selection,
                 const char* showFor, std::uint32_t runAs) {
    ItemRecord& record = recordCaptioned(page, caption);
    record.selection = selection;
    store::copyField(record.showFor, sizeof record.showFor, showFor);
    record.runAs = runAs;
    editor::markModified(page.page);
}

std::string itemWrites(std::uint32_t id) {
    const std::string key = "items\\" + std::to_string(id);
    std::string out = "create " + key + "\n";
    for (const char* name : {"Caption", "Prompt", "Icon", "IsSubMenu", "Action"})
        out += "write " + key + " [" + name + "]\n";
    return out;
}

}  // namespace

TEST_CASE("a menu that uses none of them is written as menus always were") {
    store::MemoryKeyStore keys;
    putItem(keys, 1, "Tools", true);
    putItem(keys, 2, "Edit", false, "notepad.exe");
    putItem(keys, 4, "Four");
    putIndex(keys, "*", {{1, 0}, {2, 1}, {0, 1}, {4, 0}});
    putMaxId(keys, 5);
    putFreeIds(keys, {3});
    PageFixture page(keys, "*");
    page.load();
    selectCaption(page, "Four");
    newCommand(page, "Fresh");     // takes the free id 3, whose key is gone
    newCommand(page, "Fresher");   // and 6, past MaxID
    keys.recordChanges();
    REQUIRE(save(page) == SaveResult::Saved);
    CHECK(storeChanges(keys) == "create index\ncreate items\n" + itemWrites(1) + itemWrites(2) +
                                    itemWrites(4) + itemWrites(3) + itemWrites(6) +
                                    "write index [*]\nwrite items [FreeIDs]\nwrite items [MaxID]\n");

    // Saved again, with a new item under the id of one deleted in the same
    // save: its key is there, so what it may hold is removed.
    deleteCaption(page, "Fresher");
    selectCaption(page, "Four");
    newCommand(page, "Reusing");
    keys.recordChanges();
    REQUIRE(save(page) == SaveResult::Saved);
    CHECK(storedList(keys, "*") == "(1,0) (2,1) (0,1) (4,0) (6,0) (3,0)");
    CHECK(storeChanges(keys).find(itemWrites(6) +
                                  "delete items\\6 [Selection]\ndelete items\\6 [ShowFor]\n"
                                  "delete items\\6 [RunAs]\n") != std::string::npos);
}

TEST_CASE("optional values are stored where used, removed where no longer, and never inherited") {
    struct Row {
        std::string what;
        std::function<void(store::MemoryKeyStore&, PageFixture&)> edit;
        std::uint32_t id;     // the item key to look at after the save and a reload
        std::string stored;   // what it holds of the optional values
        std::string caption;  // the item the reloaded page shows under that id
    };
    const Row rows[] = {
        {"an item saved unchanged keeps them",
         [](store::MemoryKeyStore&, PageFixture& page) { editor::markModified(page.page); }, 2,
         "Selection 1, ShowFor \"*.txt;!~*\", RunAs 1", "Edit"},
        {"values set on a command are stored",
         [](store::MemoryKeyStore&, PageFixture& page) {
             setOptional(page, "Plain", store::kSelectionAllAtOnce, "a?.doc", store::kRunAsElevated);
         },
         3, "Selection 2, ShowFor \"a?.doc\", RunAs 1", "Plain"},
        {"values set back to their defaults are removed",
         [](store::MemoryKeyStore&, PageFixture& page) { setOptional(page, "Edit", 0, "", 0); }, 2,
         "none", "Edit"},
        {"values move with their item",
         [](store::MemoryKeyStore&, PageFixture& page) {
             selectCaption(page, "Edit");
             REQUIRE(editor::moveSelected(page.page, editor::kCommandMoveOut));
             REQUIRE(editor::moveSelected(page.page, editor::kCommandMoveDown));
         },
         2, "Selection 1, ShowFor \"*.txt;!~*\", RunAs 1", "Edit"},
        {"a deleted item's id given to a new item in the same save carries none of its values",
         [](store::MemoryKeyStore&, PageFixture& page) {
             deleteCaption(page, "Edit");
             newCommand(page, "Reused");
         },
         2, "none", "Reused"},
        {"the same, in a later save",
         [](store::MemoryKeyStore& keys, PageFixture& page) {
             deleteCaption(page, "Edit");
             REQUIRE(save(page) == SaveResult::Saved);
             REQUIRE(storedFreeIds(keys) == Ids{2});
             newCommand(page, "Reused");
         },
         2, "none", "Reused"},
        {"the id of a deleted item past which MaxID falls back",
         [](store::MemoryKeyStore&, PageFixture& page) {
             deleteCaption(page, "Plain");
             newCommand(page, "Reused");
         },
         3, "none", "Reused"},
        {"a key left by data no save wrote, under a new item's id",
         [](store::MemoryKeyStore& keys, PageFixture& page) {
             keys.setNumber(itemPath(4), store::kSelectionValue, store::kSelectionAllAtOnce);
             keys.setString(itemPath(4), store::kShowForValue, "left");
             keys.setNumber(itemPath(4), store::kRunAsValue, store::kRunAsElevated);
             newCommand(page, "New");
         },
         4, "none", "New"},
        {"a page that saves over another page's save removes values it does not know of",
         [](store::MemoryKeyStore& keys, PageFixture& page) {
             PageFixture other(keys, "*");
             other.load();
             setOptional(other, "Tools", 0, "*.cpp", 0);
             REQUIRE(save(other) == SaveResult::Saved);
             editor::markModified(page.page);
         },
         1, "none", "Tools"},
        {"a save refused after writing a value: the next one still removes it",
         [](store::MemoryKeyStore& keys, PageFixture& page) {
             setOptional(page, "Tools", 0, "*.cpp", 0);
             keys.refuseWritesAfter(9, 5);  // both keys, Tools' key and six values
             REQUIRE(save(page) == SaveResult::StoreRefused);
             keys.acceptWrites();
             REQUIRE(storedOptional(keys, 1) == "ShowFor \"*.cpp\"");
             setOptional(page, "Tools", 0, "", 0);
         },
         1, "none", "Tools"},
    };
    for (const Row& row : rows) {
        CAPTURE(row.what);
        store::MemoryKeyStore keys;
        putOptionalSample(keys);
        PageFixture page(keys, "*");
        page.load();
        row.edit(keys, page);
        REQUIRE(save(page) == SaveResult::Saved);
        CHECK(storedOptional(keys, row.id) == row.stored);
        // The page's own record and a reload agree with the store.
        page.reload();
        const ItemRecord& loaded = recordCaptioned(page, row.caption);
        CHECK(loaded.id == row.id);
        CHECK(optionalWords(loaded) == row.stored);
    }
}

}  // TEST_SUITE
