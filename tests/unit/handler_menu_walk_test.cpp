#include <doctest/doctest.h>

#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "chosen_command.h"
#include "command_tree.h"
#include "container_printers.h"
#include "menu_walk.h"
#include "name_filter.h"
#include "store_test_support.h"
#include "wide_text.h"

using namespace handler;
using testing_support::putIndex;
using testing_support::putItem;

namespace {

// Records every insertion as "menu:position kind text id data" lines.
class RecordingSink : public MenuSink {
public:
    std::vector<std::string> log;
    int menus = 1;  // menu 1 is the host's
    int bitmaps = 0;
    const char* refuse = nullptr;  // the caption of an item the menu will not take

    MenuHandle createSubmenu() override { return reinterpret_cast<MenuHandle>(++menus); }
    void insertSeparator(MenuHandle menu, unsigned position) override {
        log.push_back(name(menu) + ":" + std::to_string(position) + " separator");
    }
    bool insertItem(MenuHandle menu, unsigned position, const MenuItem& item) override {
        if (refuse && std::string(item.caption) == refuse) return false;
        std::ostringstream line;
        line << name(menu) << ':' << position << ' ' << item.caption << " #" << item.id;
        if (item.submenu) line << " ->" << name(item.submenu);
        if (item.ownerDrawnIcon) line << " draw" << item.itemData;
        if (item.checkMarks) line << " bitmap";
        log.push_back(line.str());
        return true;
    }
    BitmapHandle makeIconBitmap(const ItemSlot& slot) override {
        ++bitmaps;
        log.push_back(std::string("bitmap ") +
                      (slot.shield ? "shield" : slot.iconFile + ("," + std::to_string(slot.iconIndex))));
        return reinterpret_cast<BitmapHandle>(0x1000 + bitmaps);
    }

private:
    static std::string name(MenuHandle menu) {
        return "m" + std::to_string(reinterpret_cast<std::uintptr_t>(menu));
    }
};

MenuRequest request(const char* kind, unsigned index = 3, unsigned first = 100,
                    unsigned last = 0x7FFF, IconMode mode = IconMode::OwnerDrawn,
                    ItemFilter* filter = nullptr) {
    return MenuRequest{kind, reinterpret_cast<MenuHandle>(1), index, first, last, mode, filter};
}

using Log = std::vector<std::string>;

// Turns down the items whose "ShowFor" text is "hide"; counts its questions.
// The other items of a list say "show", so that the list uses filters.
class HidingFilter : public ItemFilter {
public:
    int calls = 0;
    bool shows(const char* showFor) override {
        ++calls;
        return std::string(showFor) != "hide";
    }
};

// The memory store, noting the name of every value read.
class ReadCounting : public store::KeyStore {
public:
    explicit ReadCounting(store::MemoryKeyStore& keys) : keys_(keys) {}
    std::map<std::string, int> reads;

    store::KeyHandle openForRead(store::KeyHandle parent, const char* subkey) override {
        return keys_.openForRead(parent, subkey);
    }
    store::KeyHandle createForWrite(store::KeyHandle parent, const char* subkey, bool* existed) override {
        return keys_.createForWrite(parent, subkey, existed);
    }
    void close(store::KeyHandle key) override { keys_.close(key); }
    store::QueryResult query(store::KeyHandle key, const char* name, std::uint32_t* type, void* data,
                             std::uint32_t* size) override {
        ++reads[name];
        return keys_.query(key, name, type, data, size);
    }
    bool write(store::KeyHandle key, const char* name, std::uint32_t type, const void* data,
               std::uint32_t size) override {
        return keys_.write(key, name, type, data, size);
    }
    bool deleteValue(store::KeyHandle key, const char* name) override { return keys_.deleteValue(key, name); }
    bool deleteKey(store::KeyHandle parent, const char* subkey) override {
        return keys_.deleteKey(parent, subkey);
    }
    std::uint32_t lastError() const override { return keys_.lastError(); }

private:
    store::MemoryKeyStore& keys_;
};

void hideOnly(store::MemoryKeyStore& keys, std::initializer_list<std::uint32_t> ids,
              std::uint32_t lastId = 6) {
    for (std::uint32_t id = 1; id <= lastId; ++id)
        keys.setString(testing_support::itemPath(id), kShowForValue, "show");
    for (std::uint32_t id : ids) keys.setString(testing_support::itemPath(id), kShowForValue, "hide");
}

}  // namespace

TEST_SUITE("handler") {

TEST_CASE("menu walk: no list, commands and separators") {
    store::MemoryKeyStore keys;
    RecordingSink sink;
    std::vector<ItemSlot> table(2);
    CHECK(buildMenu(keys, request("*"), sink, table) == 1);  // no index key
    CHECK(sink.log.empty());
    CHECK(table.size() == 2);  // untouched

    putItem(keys, 1, "One", false, "one.exe", "first", "");
    putItem(keys, 2, "Two", false, "two.exe", "", "lib.dll,1");
    putIndex(keys, "*", {{1, 0}, {0, 0}, {2, 0}});
    CHECK(buildMenu(keys, request("Directory"), sink, table) == 1);  // no value for the kind
    CHECK(buildMenu(keys, request(nullptr), sink, table) == 1);      // no kind decided
    CHECK(sink.log.empty());

    CHECK(buildMenu(keys, request("*"), sink, table) == 4);
    CHECK(sink.log == Log{"m1:3 One #100", "m1:4 separator", "m1:5 Two #102 draw2"});
    REQUIRE(table.size() == 3);
    CHECK(std::string(table[0].prompt) == "first");
    CHECK(table[0].id == 1);  // what a choice of it reads again
    CHECK(std::string(table[0].iconFile).empty());  // an empty icon is no icon
    CHECK(std::string(table[2].iconFile) == "lib.dll");
    CHECK(table[2].iconIndex == 1);
    CHECK(keys.openHandles() == 0);
}

TEST_CASE("menu walk: nesting, separators in submenus, parent 0 closing everything") {
    store::MemoryKeyStore keys;
    putItem(keys, 1, "Sub", true, "not kept", "sub prompt", "a.ico");
    putItem(keys, 2, "A", false, "a.exe", "", "b.dll,4");
    putItem(keys, 3, "B", false, "b.exe", "", "c.dll,-2");
    putItem(keys, 4, "C", false, "c.exe");
    putItem(keys, 5, "Deep1", true);
    putItem(keys, 6, "Deep2", true);
    putItem(keys, 7, "Deepest", false);
    putItem(keys, 8, "Top", false);

    RecordingSink sink;
    std::vector<ItemSlot> table;
    putIndex(keys, "*", {{1, 0}, {2, 1}, {0, 1}, {3, 1}, {4, 0}});
    CHECK(buildMenu(keys, request("*", 0), sink, table) == 6);
    CHECK(sink.log == Log{"m1:0 Sub #100 ->m2 draw0", "m2:0 A #101 draw1", "m2:1 separator",
                          "m2:2 B #103 draw3", "m1:1 C #104"});
    CHECK(std::string(table[0].prompt) == "sub prompt");
    CHECK(table[3].iconIndex == -2);

    sink.log.clear();
    putIndex(keys, "Directory", {{5, 0}, {6, 5}, {7, 6}, {8, 0}});
    CHECK(buildMenu(keys, request("Directory", 0), sink, table) == 5);
    CHECK(sink.log == Log{"m1:0 Deep1 #100 ->m3", "m3:0 Deep2 #101 ->m4", "m4:0 Deepest #102",
                          "m1:1 Top #103"});
    CHECK(table.size() == 4);  // a second construction rebuilds the table
}

TEST_CASE("menu walk: lists no save wrote are shown safely") {
    store::MemoryKeyStore keys;
    putItem(keys, 1, "Sub", true);
    putItem(keys, 2, "Cmd", false, "x.exe");
    // an item over 999, which no save writes
    keys.setString(testing_support::itemPath(1200), store::kCaptionValue, "Big");
    keys.setString(testing_support::itemPath(1200), store::kActionValue, "big.exe");
    keys.setString(testing_support::itemPath(3), store::kCaptionValue, "Bare");  // values missing

    RecordingSink sink;
    std::vector<ItemSlot> table;
    // parent 2 is a command, 77 is unknown, 9 has no item key; 1200 is over 999
    putIndex(keys, "*", {{1, 0}, {2, 1}, {3, 2}, {9, 1}, {1200, 77}, {0, 1}});
    CHECK(buildMenu(keys, request("*", 0), sink, table) == 7);
    CHECK(sink.log == Log{"m1:0 Sub #100 ->m2", "m2:0 Cmd #101", "m1:1 Bare #102",
                          "m1:2 Big #104", "m1:3 separator"});
    CHECK(table[2].id == 3);
    CHECK(table[4].id == 1200);

    // a submenu the menu refused takes its contents to the top level
    sink.log.clear();
    sink.refuse = "Sub";
    sink.log.clear();
    CHECK(buildMenu(keys, request("*", 0), sink, table) == 7);
    CHECK(sink.log == Log{"m1:0 Cmd #101", "m1:1 Bare #102", "m1:2 Big #104", "m1:3 separator"});
    sink.refuse = nullptr;

    // without an items key every item is left out, separators stay
    keys.removeKeyTree(store::kItemsKey);
    sink.log.clear();
    CHECK(buildMenu(keys, request("*", 0), sink, table) == 7);
    CHECK(sink.log == Log{"m1:0 separator"});
}

TEST_CASE("a chosen command: an action cut to its field is shown but starts nothing") {
    store::MemoryKeyStore keys;
    std::string fits = "tool.exe \"" + std::string(2047 - 11, 'a') + "\"";  // 2047 characters
    std::string tooLong = "tool.exe \"" + std::string(2040, 'a') + "\" $(C:\\Work) $:3";
    std::string unterminated(2048, 'b');  // fills the field with no terminator
    putItem(keys, 1, "Fits", false, "", "Runs as written", "");
    keys.setString(testing_support::itemPath(1), store::kActionValue, fits);
    putItem(keys, 2, "Too long", false, "", "Shown all the same", "shell32.dll,3");
    keys.setString(testing_support::itemPath(2), store::kActionValue, tooLong);
    putItem(keys, 3, "Unterminated", false);
    keys.setValue(testing_support::itemPath(3), store::kActionValue, store::kTypeString,
                  unterminated.data(), unterminated.size());
    putIndex(keys, "*", {{1, 0}, {2, 0}, {3, 0}});
    REQUIRE(fits.size() == 2047);
    REQUIRE(tooLong.size() == 2066);

    RecordingSink sink;
    std::vector<ItemSlot> table;
    CHECK(buildMenu(keys, request("*", 0), sink, table) == 4);
    CHECK(sink.log == Log{"m1:0 Fits #100", "m1:1 Too long #101 draw1", "m1:2 Unterminated #102"});
    CHECK(std::string(table[1].prompt) == "Shown all the same");
    CHECK(readChosenCommand(keys, table[0].id).action == fits);
    CHECK(readChosenCommand(keys, table[1].id).action.empty());
    CHECK(readChosenCommand(keys, table[1].id).caption == "Too long");  // still named in questions
    CHECK(readChosenCommand(keys, table[2].id).action.empty());

    // The store says so to every reader; the editor still gets the text.
    store::ScopedKey items(keys, keys.openForRead(nullptr, store::kItemsKey));
    store::StoredItem item{};
    store::readItem(keys, items.get(), 2, item, store::ActionRead::Always);
    CHECK(item.actionCut);
    CHECK(std::string(item.action) == tooLong.substr(0, 2047));
    store::readItem(keys, items.get(), 1, item, store::ActionRead::Always);
    CHECK_FALSE(item.actionCut);
}

TEST_CASE("a chosen command is read whole from the store when chosen") {
    store::MemoryKeyStore keys;
    putItem(keys, 1, "Resize", false, "resize.exe \"%1\"");
    keys.setNumber(testing_support::itemPath(1), store::kSelectionValue, store::kSelectionAllAtOnce);
    keys.setNumber(testing_support::itemPath(1), store::kRunAsValue, store::kRunAsElevated);
    putItem(keys, 2, "Tools", true, "kept for no one");
    keys.setNumber(testing_support::itemPath(2), store::kRunAsValue, store::kRunAsElevated);
    struct Row { const char* what; std::uint32_t id; const char* caption; const char* action;
                 std::uint32_t selection; bool runAs; };
    for (const Row& row : {Row{"a command with its settings", 1, "Resize", "resize.exe \"%1\"", 2, true},
                           Row{"a submenu starts nothing", 2, "Tools", "", 0, false},
                           Row{"an item gone since the menu was built", 3, "", "", 0, false}}) {
        CAPTURE(row.what);
        ChosenCommand chosen = readChosenCommand(keys, row.id);
        CHECK(chosen.caption == row.caption);
        CHECK(chosen.action == row.action);
        CHECK(chosen.selection == row.selection);
        CHECK(chosen.runAs == row.runAs);
    }
    CHECK(keys.openHandles() == 0);
}

TEST_CASE("menu walk: a command that runs elevated with no icon of its own shows the shield") {
    store::MemoryKeyStore keys;
    auto runAs = [&](std::uint32_t id, std::uint32_t value) {
        keys.setNumber(testing_support::itemPath(id), store::kRunAsValue, value);
    };
    putItem(keys, 1, "Admin", false, "a.exe");
    runAs(1, store::kRunAsElevated);
    putItem(keys, 2, "Own icon", false, "b.exe", "", "own.dll,4");
    runAs(2, store::kRunAsElevated);
    putItem(keys, 3, "Unknown number", false, "c.exe");
    runAs(3, 2);
    putItem(keys, 4, "Sub", true);
    runAs(4, store::kRunAsElevated);
    putItem(keys, 5, "As text", false, "e.exe");
    keys.setString(testing_support::itemPath(5), store::kRunAsValue, "1");
    putItem(keys, 6, "In the submenu", false, "f.exe");
    runAs(6, store::kRunAsElevated);
    putIndex(keys, "*", {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {6, 4}, {5, 0}});

    RecordingSink sink;
    std::vector<ItemSlot> table;
    CHECK(buildMenu(keys, request("*", 0), sink, table) == 7);
    CHECK(sink.log == Log{"m1:0 Admin #100 draw0", "m1:1 Own icon #101 draw1", "m1:2 Unknown number #102",
                          "m1:3 Sub #103 ->m2", "m2:0 In the submenu #104 draw4", "m1:4 As text #105"});
    std::vector<bool> shields;
    for (const ItemSlot& slot : table) shields.push_back(slot.shield);
    CHECK(shields == std::vector<bool>{true, false, false, false, true, false});
    CHECK(std::string(table[1].iconFile) == "own.dll");
    CHECK(table[1].iconIndex == 4);

    // The Windows 11 front gets the same slots, and no location of its own
    // for the shield: that one is the system's.
    CommandTree tree = readCommandTree(keys, "*");
    REQUIRE(tree.table.size() == table.size());
    CHECK(tree.table[0].shield);
    CHECK(iconLocation(tree.table[0]).empty());
    CHECK(iconLocation(tree.table[1]) == "own.dll,4");
}

TEST_CASE("a right click reads what the menu shows and nothing else") {
    // No action (a choice reads it again), no Selection; ShowFor only where
    // a filter applies; RunAs only for a command without an icon.
    store::MemoryKeyStore keys;
    putItem(keys, 1, "Tools", true);
    putItem(keys, 2, "With icon", false, "a.exe", "", "a.dll,1");
    putItem(keys, 3, "Without", false, "b.exe");
    putItem(keys, 4, "Also with icon", false, "c.exe", "", "c.dll,2");
    for (const char* kind : {"*", "Background"}) putIndex(keys, kind, {{1, 0}, {2, 1}, {0, 0}, {3, 0}, {4, 0}});
    const std::map<std::string, int> shown{{"Caption", 4}, {"Prompt", 4}, {"Icon", 4}, {"IsSubMenu", 4}, {"RunAs", 1}};
    std::map<std::string, int> filtered = shown;
    filtered["ShowFor"] = 4;

    struct Row { const char* kind; bool filter; std::map<std::string, int> reads; };
    for (const Row& row : {Row{"Background", false, shown}, Row{"*", true, filtered}}) {
        CAPTURE(row.kind);
        ReadCounting counting(keys);
        HidingFilter filter;
        RecordingSink sink;
        std::vector<ItemSlot> table;
        buildMenu(counting, request(row.kind, 0, 1, 0x7FFF, IconMode::OwnerDrawn, row.filter ? &filter : nullptr),
                  sink, table);
        counting.reads.erase(row.kind);  // the index list
        CHECK(counting.reads == row.reads);
        counting.reads.clear();
        readCommandTree(counting, row.kind, row.filter ? &filter : nullptr);
        counting.reads.erase(row.kind);
        CHECK(counting.reads == row.reads);
    }
}

TEST_CASE("menu walk: ids stop at the host's last id") {
    store::MemoryKeyStore keys;
    for (std::uint16_t id = 1; id <= 5; ++id) putItem(keys, id, "I" + std::to_string(id), false);
    putIndex(keys, "*", {{1, 0}, {2, 0}, {0, 0}, {3, 0}, {4, 0}, {5, 0}});
    RecordingSink sink;
    std::vector<ItemSlot> table;
    CHECK(buildMenu(keys, request("*", 0, 10, 13), sink, table) == 5);
    CHECK(sink.log == Log{"m1:0 I1 #10", "m1:1 I2 #11", "m1:2 separator", "m1:3 I3 #13"});
    CHECK(table.size() == 4);
    sink.log.clear();
    CHECK(buildMenu(keys, request("*", 0, 10, 9), sink, table) == 1);
    CHECK(sink.log.empty());
}

TEST_CASE("menu walk: the bitmap fallback") {
    CHECK(chooseIconMode(5, 0, "Background") == IconMode::Bitmaps);
    CHECK(chooseIconMode(5, 1, "Background") == IconMode::OwnerDrawn);
    CHECK(chooseIconMode(6, 0, "Background") == IconMode::OwnerDrawn);
    CHECK(chooseIconMode(5, 0, "Directory") == IconMode::OwnerDrawn);
    CHECK(chooseIconMode(5, 0, nullptr) == IconMode::OwnerDrawn);

    store::MemoryKeyStore keys;
    putItem(keys, 1, "Iconic", false, "a.exe", "", "x.dll,2");
    putItem(keys, 2, "Plain", false, "b.exe");
    putItem(keys, 3, "Elevated", false, "c.exe");
    keys.setNumber(testing_support::itemPath(3), store::kRunAsValue, store::kRunAsElevated);
    putIndex(keys, "Background", {{1, 0}, {2, 0}, {3, 0}});
    RecordingSink sink;
    std::vector<ItemSlot> table;
    CHECK(buildMenu(keys, request("Background", 4, 1, 0x7FFF, IconMode::Bitmaps), sink, table) ==
          4);
    CHECK(sink.log == Log{"bitmap x.dll,2", "m1:5 Iconic #1 bitmap", "m1:6 Plain #2",
                          "bitmap shield", "m1:7 Elevated #3 bitmap"});
    CHECK(sink.bitmaps == 2);
}

TEST_CASE("random index lists build without fault") {
    std::mt19937 random(99);
    for (int round = 0; round < 300; ++round) {
        store::MemoryKeyStore keys;
        std::vector<store::IndexEntry> entries(random() % 60);
        for (auto& entry : entries) {
            entry.id = static_cast<std::uint16_t>(random() % 12);
            entry.parent = static_cast<std::uint16_t>(random() % 3 ? random() % 12 : 0);
        }
        for (std::uint16_t id = 1; id < 12; ++id) {
            if (random() % 4 == 0) continue;
            // captions and actions of any length, also past what a save writes
            std::string caption(random() % 90, 'x');
            bool isSubmenu = random() % 2;
            std::string action(random() % 3000, 'y');
            putItem(keys, id, "", isSubmenu, "", "", "i.dll,1");
            keys.setString(testing_support::itemPath(id), store::kCaptionValue, caption);
            keys.setString(testing_support::itemPath(id), store::kActionValue, action);
        }
        std::vector<unsigned char> bytes = store::encodeIndex(entries);
        bytes.resize(bytes.size() + random() % 4, 0xAB);
        keys.setValue(store::kIndexKey, "*", store::kTypeBinary, bytes.data(), bytes.size());
        RecordingSink sink;
        std::vector<ItemSlot> table;
        unsigned first = random() % 50;
        unsigned last = first + random() % 80;
        unsigned result = buildMenu(keys, request("*", 0, first, last), sink, table);
        std::size_t expected = std::min<std::size_t>(entries.size(), last - first + 1);
        CHECK(result == expected + 1);
        CHECK(sink.log.size() <= expected);
        CHECK(keys.openHandles() == 0);
        if (first == 0 && last >= entries.size())  // the command tree walks the same list
            CHECK(readCommandTree(keys, "*").nodes.size() == sink.log.size());
    }
}

// The tree as "caption[entries]" with "-" for a separator.
std::string render(const CommandTree& tree, std::size_t menu = 0) {
    std::string text;
    for (std::size_t node : tree.menus[menu]) {
        const CommandNode& entry = tree.nodes[node];
        if (!text.empty()) text += ",";
        text += entry.type == CommandNode::Type::Separator ? "-" : entry.caption;
        if (entry.type == CommandNode::Type::Submenu) text += "[" + render(tree, entry.menu) + "]";
    }
    return text;
}

TEST_CASE("menu walk with a filter: what is left out takes no offset, separators and empty submenus go") {
    store::MemoryKeyStore keys;
    putItem(keys, 1, "A", false, "a.exe");
    putItem(keys, 2, "B", false, "b.exe");
    putItem(keys, 3, "Sub", true);
    putItem(keys, 4, "C", false, "c.exe");
    putItem(keys, 5, "D", false, "d.exe", "", "d.dll,5");
    putItem(keys, 6, "Inner", true);

    struct Row {
        const char* what;
        std::vector<store::IndexEntry> list;
        std::initializer_list<std::uint32_t> hidden;
        Log menu;
        unsigned result;
    };
    const Row rows[] = {
        {"nothing hidden in a tidy list: the whole walk's menu", {{1, 0}, {0, 0}, {2, 0}}, {},
         {"m1:3 A #100", "m1:4 separator", "m1:5 B #102"}, 4},
        {"a hidden item takes no id", {{1, 0}, {2, 0}, {4, 0}}, {2},
         {"m1:3 A #100", "m1:4 C #101"}, 3},
        {"separators first, last and in a row", {{0, 0}, {1, 0}, {0, 0}, {0, 0}, {2, 0}, {0, 0}}, {},
         {"m1:3 A #100", "m1:4 separator", "m1:5 B #102"}, 4},
        {"separators around a hidden item become one",
         {{1, 0}, {0, 0}, {2, 0}, {0, 0}, {4, 0}}, {2},
         {"m1:3 A #100", "m1:4 separator", "m1:5 C #102"}, 4},
        {"a submenu whose items are all hidden", {{3, 0}, {1, 3}, {0, 3}, {2, 3}, {4, 0}}, {1, 2},
         {"m1:3 C #100"}, 2},
        {"a hidden submenu takes its nested entries with it", {{3, 0}, {6, 3}, {1, 6}, {2, 0}}, {3},
         {"m1:3 B #100"}, 2},
        {"separators in a submenu", {{3, 0}, {0, 3}, {1, 3}, {0, 3}, {0, 3}, {2, 3}, {0, 3}, {4, 0}}, {},
         {"m1:3 Sub #100 ->m2", "m2:0 A #101", "m2:1 separator", "m2:2 B #103", "m1:4 C #104"}, 6},
        {"an icon is drawn by the offset shown", {{1, 0}, {5, 0}}, {1}, {"m1:3 D #100 draw0"}, 2},
        {"everything hidden", {{1, 0}, {0, 0}, {2, 0}}, {1, 2}, {}, 1},
    };
    for (const Row& row : rows) {
        std::string what = row.what;
        CAPTURE(what);
        hideOnly(keys, row.hidden);
        putIndex(keys, "*", row.list);
        HidingFilter filter;
        RecordingSink sink;
        std::vector<ItemSlot> table(7);
        CHECK(buildMenu(keys, request("*", 3, 100, 0x7FFF, IconMode::OwnerDrawn, &filter), sink,
                        table) == row.result);
        CHECK(sink.log == row.menu);
        CHECK(table.size() == (row.result > 1 ? row.result - 1 : 7));  // none shown: untouched
        CHECK(keys.openHandles() == 0);
    }

    // Slots follow the offsets shown: the command at offset 1 is C's.
    hideOnly(keys, {2});
    putIndex(keys, "Directory", {{1, 0}, {2, 0}, {4, 0}, {5, 0}});
    HidingFilter filter;
    RecordingSink sink;
    std::vector<ItemSlot> table;
    CHECK(buildMenu(keys, request("Directory", 0, 100, 0x7FFF, IconMode::OwnerDrawn, &filter), sink,
                    table) == 4);
    REQUIRE(table.size() == 3);
    CHECK(table[1].id == 4);
    CHECK(table[2].id == 5);
    CHECK(std::string(table[2].iconFile) == "d.dll");
    CHECK(filter.calls == 4);
}

TEST_CASE("menu walk with a filter over items without ShowFor: exactly the menu of no filter") {
    // Empty submenus, separators first, last and in a row, an item without a
    // key, an unknown parent, a refused submenu and the host's last id stay
    // as the unfiltered walk has them: a store without ShowFor texts shows
    // what it showed before filters existed.
    store::MemoryKeyStore keys;
    putItem(keys, 1, "Sub", true);
    putItem(keys, 2, "Cmd", false, "x.exe", "tip", "lib.dll,2");
    putItem(keys, 3, "Empty", true);
    putItem(keys, 4, "Last", false, "y.exe");
    putIndex(keys, "*", {{0, 0}, {1, 0}, {2, 1}, {0, 1}, {0, 1}, {3, 0}, {9, 0}, {0, 0}, {0, 0},
                         {4, 77}, {0, 0}});
    struct Row { const char* refuse; unsigned last; };
    for (const Row& row : {Row{nullptr, 0x7FFF}, Row{"Sub", 0x7FFF}, Row{nullptr, 105}}) {
        CAPTURE(row.last);
        RecordingSink plain, filtered;
        plain.refuse = filtered.refuse = row.refuse;
        std::vector<ItemSlot> plainTable, filteredTable;
        HidingFilter filter;
        const unsigned expected = buildMenu(keys, request("*", 3, 100, row.last), plain, plainTable);
        CHECK(buildMenu(keys, request("*", 3, 100, row.last, IconMode::OwnerDrawn, &filter), filtered,
                        filteredTable) == expected);
        CHECK(filtered.log == plain.log);
        REQUIRE(filteredTable.size() == plainTable.size());
        for (std::size_t i = 0; i < plainTable.size(); ++i) {
            CAPTURE(i);
            CHECK(filteredTable[i].id == plainTable[i].id);
        }
        CHECK(filter.calls == 4);
    }
}

TEST_CASE("menu walk with a filter: the host's last id, a refused submenu, other kinds") {
    store::MemoryKeyStore keys;
    putItem(keys, 1, "A", false, "a.exe", "", "a.dll,1");
    putItem(keys, 2, "B", false, "b.exe");
    putItem(keys, 3, "Sub", true);
    putItem(keys, 4, "C", false, "c.exe");
    hideOnly(keys, {});
    HidingFilter filter;
    RecordingSink sink;
    std::vector<ItemSlot> table;

    // Two ids: "A, separator" would end in a separator, so A stands alone.
    putIndex(keys, "*", {{1, 0}, {0, 0}, {2, 0}, {4, 0}});
    CHECK(buildMenu(keys, request("*", 0, 10, 11, IconMode::OwnerDrawn, &filter), sink, table) == 2);
    CHECK(sink.log == Log{"m1:0 A #10 draw0"});

    // A submenu the menu refuses keeps its offsets; its entries go with it.
    putIndex(keys, "*", {{3, 0}, {1, 3}, {2, 0}});
    sink.refuse = "Sub";
    sink.log.clear();
    CHECK(buildMenu(keys, request("*", 0, 10, 0x7FFF, IconMode::OwnerDrawn, &filter), sink, table) == 4);
    CHECK(sink.log == Log{"m1:0 B #12"});
    sink.refuse = nullptr;

    // The background's and the drives' menus, and a walk with no filter,
    // are the whole list as it stands, separators where they are.
    const std::vector<store::IndexEntry> untidy{{0, 0}, {2, 0}, {0, 0}, {0, 0}, {1, 0}, {0, 0}};
    const Log whole{"m1:0 separator", "m1:1 B #11", "m1:2 separator", "m1:3 separator",
                    "m1:4 A #14 draw4", "m1:5 separator"};
    for (const char* kind : {"Background", "Drive", "CDROM", "*"}) {
        CAPTURE(kind);
        putIndex(keys, kind, untidy);
        filter.calls = 0;
        sink.log.clear();
        bool filtered = std::string(kind) == "*";
        CHECK(filtersApplyTo(kind) == filtered);
        CHECK(buildMenu(keys, request(kind, 0, 10, 0x7FFF, IconMode::OwnerDrawn,
                                      filtered ? nullptr : &filter),
                        sink, table) == 7);
        CHECK(sink.log == whole);
        CHECK(filter.calls == 0);
    }
    CHECK(filtersApplyTo("Directory"));
    CHECK_FALSE(filtersApplyTo(nullptr));
}

TEST_CASE("name patterns: wildcards, case, blanks, exclusions, a selection of several") {
    const std::u16string smile = u"\U0001F600";
    struct Row {
        const char16_t* patterns;
        std::vector<std::u16string> names;
        bool shows;
    };
    const Row rows[] = {
        {u"*.txt", {u"a.txt"}, true},
        {u"*.txt", {u"a.txt.bak"}, false},
        {u"*.txt", {u"a.txt", u"b.jpg"}, false},  // every object must match
        {u"*.txt; *.jpg", {u"a.txt", u"b.JPG"}, true},
        {u"!*.exe", {u"a.txt", u"setup.EXE"}, false},
        {u"*.txt;!secret*", {u"secret.txt"}, false},
        {u" ! ~* ;*", {u"~lock"}, false},  // blanks after "!" are trimmed too
        {u" ; ;\t;", {u"a"}, true},
        {u"!", {u"a"}, true},  // excludes nothing
        {u"\t *.txt  ;", {u"a.txt"}, true},
        {u"a b.txt", {u"a b.txt"}, true},  // blanks inside a pattern are its own
        {u"?.txt", {smile + u".txt"}, true},  // a surrogate pair is one character
        {u"??.txt", {smile + u".txt"}, false},
        {u"a*b*c", {u"aXbYc", u"abc", u"a*b*c"}, true},
        {u"*a*a*a*a*a*a*a*a*b", {std::u16string(4000, u'a')}, false},  // no blow-up
        {u"ОТЧЁТ*", {u"отчёт за май.docx"}, true},  // Cyrillic, Ё included
        {u"*.ΛΟΓΟΣ", {u"α.λόγος"}, false},       // accents count
        {u"*.ΛΌΓΟΣ", {u"α.λόγος"}, true},        // final sigma is sigma
        {u"ÄÖÜ*ŸŁȘ", {u"äöü-ÿłș"}, true},
        {u"a.txt", {u"ā.txt"}, false},            // no look-alikes
        {u"i*", {u"İstanbul"}, false},            // dotted capital I stays itself
        {u"?:\\", {nameOf(u"D:\\")}, true},
    };
    for (const Row& row : rows) {
        std::u16string patterns = row.patterns;
        CAPTURE(patterns);
        CAPTURE(row.names);
        NameFilter filter(row.patterns);
        CHECK(filter.shows(row.names) == row.shows);
    }
    CHECK(NameFilter(u" ;\t; ").empty());
    CHECK(NameFilter(u"!").empty());
    CHECK_FALSE(NameFilter(u"!a").empty());

    struct Name { std::u16string path, name; };
    for (const Name& row : {Name{u"C:\\Docs\\", u"Docs"}, Name{u"c:", u"c:\\"},
                            Name{u"\\\\server\\share", u"share"}, Name{u"plain", u"plain"},
                            Name{u"C:\\Отчёт\\" + smile, smile}}) {
        CAPTURE(row.path);
        CHECK(nameOf(row.path) == row.name);
    }

    // Folding twice is folding once: no letter is folded to another capital.
    for (char32_t unit = 0; unit <= 0xFFFF; ++unit) {
        char16_t once = foldCase(static_cast<char16_t>(unit));
        if (foldCase(once) != once) {
            CAPTURE(static_cast<unsigned>(unit));
            CAPTURE(static_cast<unsigned>(once));
            CHECK(foldCase(once) == once);
        }
    }
}

// Whole-character wildcard matching by plain recursion over characters.
bool matchesByDefinition(const std::u32string& pattern, const std::u32string& name,
                         std::size_t at = 0, std::size_t in = 0) {
    auto fold = [](char32_t c) { return c > 0xFFFF ? c : char32_t(foldCase(char16_t(c))); };
    if (at == pattern.size()) return in == name.size();
    if (pattern[at] == U'*')
        return matchesByDefinition(pattern, name, at + 1, in) ||
               (in < name.size() && matchesByDefinition(pattern, name, at, in + 1));
    if (in == name.size()) return false;
    bool same = pattern[at] == U'?' || fold(pattern[at]) == fold(name[in]);
    return same && matchesByDefinition(pattern, name, at + 1, in + 1);
}

TEST_CASE("name patterns match as wildcards are defined, on random patterns and names") {
    std::mt19937 random(7);
    // Names draw on the first six; patterns also on wildcards and the lone
    // second half of a surrogate pair, which never matches half a character.
    const char32_t letters[] = {U'a', U'A', U'b', U'é', U'É', U'\U0001F600', U'*', U'?', 0xDE00};
    auto utf16 = [](const std::u32string& text) {
        std::u16string out;
        for (char32_t c : text) {
            if (c <= 0xFFFF) out += char16_t(c);
            else out += {char16_t(0xD800 + ((c - 0x10000) >> 10)), char16_t(0xDC00 + (c & 0x3FF))};
        }
        return out;
    };
    for (int round = 0; round < 20000; ++round) {
        std::u32string pattern, name;
        for (std::size_t i = random() % 7; i > 0; --i) pattern += letters[random() % 9];
        for (std::size_t i = random() % 9; i > 0; --i) name += letters[random() % 6];
        if (pattern.empty()) continue;  // an empty pattern is no pattern
        std::u16string pattern16 = utf16(pattern), name16 = utf16(name);
        CAPTURE(pattern16);
        CAPTURE(name16);
        CHECK(NameFilter(pattern16).shows({name16}) == matchesByDefinition(pattern, name));
    }
}

TEST_CASE("menu walk: items shown for the selection their ShowFor text names") {
    store::MemoryKeyStore keys;
    putItem(keys, 1, "Edit text", false, "edit.exe");
    putItem(keys, 2, "Images", true);
    putItem(keys, 3, "View image", false, "view.exe");
    putItem(keys, 4, "Not for programs", false, "np.exe");
    putItem(keys, 5, "Always", false, "always.exe");
    putItem(keys, 6, "Reports", false, "report.exe");
    keys.setString(testing_support::itemPath(1), kShowForValue, "*.txt");
    keys.setString(testing_support::itemPath(3), kShowForValue, "*.jpg; *.png");
    keys.setString(testing_support::itemPath(4), kShowForValue, "!*.exe");
    keys.setString(testing_support::itemPath(6), kShowForValue, "ОТЧЁТ*");  // UTF-8 here
    putIndex(keys, "*", {{1, 0}, {0, 0}, {2, 0}, {3, 2}, {0, 0}, {4, 0}, {6, 0}, {0, 0}, {5, 0}});

    struct Row {
        std::vector<std::u16string> paths;
        const char* menu;  // captions in order; "-" a separator, "[...]" a submenu's
    };
    const Row rows[] = {
        {{u"C:\\a.txt"}, "Edit text,-,Not for programs,-,Always"},
        {{u"C:\\a.JPG", u"D:\\b.png"}, "Images[View image],-,Not for programs,-,Always"},
        {{u"C:\\a.txt", u"C:\\b.jpg"}, "Not for programs,-,Always"},  // a mixed selection
        {{u"C:\\a.txt", u"C:\\setup.exe"}, "Always"},
        {{u"C:\\Docs\\отчёт.txt"}, "Edit text,-,Not for programs,Reports,-,Always"},
    };
    for (const Row& row : rows) {
        CAPTURE(row.paths);
        SelectionFilter filter(row.paths, [](const char* text) { return fromWtf8(text); });
        RecordingSink sink;
        std::vector<ItemSlot> table;
        buildMenu(keys, request("*", 0, 0, 0x7FFF, IconMode::OwnerDrawn, &filter), sink, table);
        CommandTree tree = readCommandTree(keys, "*", &filter);
        CHECK(render(tree) == row.menu);
        // Both fronts give the same offsets, and each offset starts its own item.
        CHECK(tree.table.size() == table.size());
        for (std::size_t offset = 0; offset < table.size() && offset < tree.table.size(); ++offset)
            CHECK(tree.table[offset].id == table[offset].id);
    }
}

TEST_CASE("command tree: the root shows the list, its single submenu, or nothing") {
    store::MemoryKeyStore keys;
    putItem(keys, 1, "Sub", true, "", "sub prompt", "s.dll,-7");
    putItem(keys, 2, "A", false, "a.exe");
    putItem(keys, 3, "Deep", true);
    putItem(keys, 4, "B", false, "b.exe");
    putItem(keys, 5, "Empty", true);
    putIndex(keys, "*", {{1, 0}, {2, 1}, {0, 1}, {3, 1}, {4, 3}, {5, 0}});
    putIndex(keys, "Directory", {{1, 0}, {2, 1}, {3, 1}, {4, 3}});
    putIndex(keys, "Background", {{2, 0}});
    putIndex(keys, "Drive", {{9, 0}, {0, 0}});  // an item nobody saved, and a separator

    struct Row { const char* kind; std::string tree; bool hidden; const char* root; };
    CommandTree tree;
    for (const Row& row : {Row{"Directory", "Sub[A,Deep[B]]", false, "Sub"},
                           Row{"Background", "A", false, kRootTitle},
                           Row{"Drive", "-", false, kRootTitle},
                           Row{nullptr, "", true, kRootTitle},
                           Row{"*", "Sub[A,-,Deep[B]],Empty[]", false, kRootTitle}}) {  // last: read below
        CAPTURE(row.kind ? row.kind : "no kind");
        tree = readCommandTree(keys, row.kind);
        RootShape shape = rootShape(tree);
        CHECK(render(tree) == row.tree);
        CHECK(shape.hidden == row.hidden);
        CHECK((shape.node == RootShape::kOwnTitle ? kRootTitle : tree.nodes[shape.node].caption) ==
              std::string(row.root));
        if (shape.node != RootShape::kOwnTitle)  // the submenu's entries are the root's
            CHECK(render(tree, shape.menu) == "A,Deep[B]");
    }

    const ItemSlot& sub = tree.table[tree.nodes[tree.menus[0][0]].offset];
    CHECK(iconLocation(sub) == "s.dll,-7");  // the shell's form of an icon location
    CHECK(iconLocation(tree.table[tree.nodes[tree.menus[0][1]].offset]).empty());
    CHECK(keys.openHandles() == 0);
}

TEST_CASE("command tree: drive menus stay with the classic handler") {
    for (const char* kind : {"*", "Directory", "Background"}) CHECK(packagedFrontShows(kind));
    for (const char* kind : {"Drive", "CDROM", "", static_cast<const char*>(nullptr)})
        CHECK_FALSE(packagedFrontShows(kind));
}

}  // TEST_SUITE
