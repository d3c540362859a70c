#include <doctest/doctest.h>

#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "command_tree.h"
#include "menu_walk.h"
#include "store_test_support.h"

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
    BitmapHandle makeIconBitmap(const char*, int) override {
        ++bitmaps;
        return reinterpret_cast<BitmapHandle>(0x1000 + bitmaps);
    }

private:
    static std::string name(MenuHandle menu) {
        return "m" + std::to_string(reinterpret_cast<std::uintptr_t>(menu));
    }
};

MenuRequest request(const char* kind, unsigned index = 3, unsigned first = 100,
                    unsigned last = 0x7FFF, IconMode mode = IconMode::OwnerDrawn) {
    return MenuRequest{kind, reinterpret_cast<MenuHandle>(1), index, first, last, mode};
}

using Log = std::vector<std::string>;

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
    CHECK(std::string(table[0].action) == "one.exe");
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
    CHECK(std::string(table[0].action).empty());  // a submenu keeps no action
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
    CHECK(std::string(table[2].action).empty());
    CHECK(std::string(table[4].action) == "big.exe");

    // a submenu the menu refused takes its contents to the top level
    sink.log.clear();
    sink.refuse = "Sub";
    CHECK(buildMenu(keys, request("*", 0), sink, table) == 7);
    CHECK(sink.log == Log{"m1:0 Cmd #101", "m1:1 Bare #102", "m1:2 Big #104", "m1:3 separator"});
    sink.refuse = nullptr;

    // without an items key every item is left out, separators stay
    keys.removeKeyTree(store::kItemsKey);
    sink.log.clear();
    CHECK(buildMenu(keys, request("*", 0), sink, table) == 7);
    CHECK(sink.log == Log{"m1:0 separator"});
}

TEST_CASE("menu walk: an action cut to its field is shown but starts nothing") {
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
    CHECK(std::string(table[0].action) == fits);
    CHECK(std::string(table[1].action).empty());
    CHECK(std::string(table[1].prompt) == "Shown all the same");
    CHECK(std::string(table[2].action).empty());

    // The store says so to every reader; the editor still gets the text.
    store::ScopedKey items(keys, keys.openForRead(nullptr, store::kItemsKey));
    store::StoredItem item{};
    store::readItem(keys, items.get(), 2, item, store::ActionRead::Always);
    CHECK(item.actionCut);
    CHECK(std::string(item.action) == tooLong.substr(0, 2047));
    store::readItem(keys, items.get(), 1, item, store::ActionRead::Always);
    CHECK_FALSE(item.actionCut);
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
    putIndex(keys, "Background", {{1, 0}, {2, 0}});
    RecordingSink sink;
    std::vector<ItemSlot> table;
    CHECK(buildMenu(keys, request("Background", 4, 1, 0x7FFF, IconMode::Bitmaps), sink, table) ==
          3);
    CHECK(sink.log == Log{"m1:5 Iconic #1 bitmap", "m1:6 Plain #2"});
    CHECK(sink.bitmaps == 1);
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
