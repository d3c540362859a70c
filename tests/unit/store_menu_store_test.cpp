#include <doctest/doctest.h>

#include <cstring>
#include <functional>
#include <string>

#include "store_test_support.h"

using namespace store;
using testing_support::itemPath;
using testing_support::putIndex;
using testing_support::putItem;

TEST_SUITE("store") {

TEST_CASE("index lists count whole entries only") {
    const unsigned char bytes[] = {1, 0, 0, 0, 2, 0, 1, 0, 0xE8, 0x03, 2, 0, 9, 9, 9};
    for (std::size_t length = 0; length <= sizeof bytes; ++length) {
        CAPTURE(length);
        std::vector<IndexEntry> entries = decodeIndex(bytes, length);
        CHECK(entries.size() == length / 4);
    }
    std::vector<IndexEntry> all = decodeIndex(bytes, sizeof bytes);
    REQUIRE(all.size() == 3);
    CHECK(all[1].id == 2);
    CHECK(all[1].parent == 1);
    CHECK(all[2].id == 1000);  // ids over 999 read like any other
    CHECK(encodeIndex(all) == std::vector<unsigned char>(bytes, bytes + 12));

    MemoryKeyStore keys;
    CHECK(readIndexList(keys, "*").empty());  // no index key
    keys.setValue(kIndexKey, "*", kTypeBinary, bytes, 7);
    CHECK(readIndexList(keys, "*").size() == 1);
    CHECK(readIndexList(keys, "Directory").empty());  // no value for the kind
    CHECK(keys.openHandles() == 0);
}

TEST_CASE("item key names are plain decimal") {
    char name[kItemKeyNameSize];
    itemKeyName(7, name);
    CHECK(std::string(name) == "7");
    itemKeyName(42, name);
    CHECK(std::string(name) == "42");
    itemKeyName(999, name);
    CHECK(std::string(name) == "999");
    itemKeyName(65535, name);
    CHECK(std::string(name) == "65535");
}

TEST_CASE("items read with their field sizes, cut and defaulted safely") {
    MemoryKeyStore keys;
    putItem(keys, 42, "Open", false, "notepad.exe \"%1\"", "Opens it", "shell32.dll,3");
    putItem(keys, 7, "Sub", true, "ignored for a submenu");
    std::string longCaption(100, 'c');
    std::string longIcon(259, 'i');
    std::string tooLongIcon(300, 'j');
    keys.setString(itemPath(8), kCaptionValue, longCaption);
    keys.setString(itemPath(8), kIconValue, longIcon);
    keys.setString(itemPath(9), kIconValue, tooLongIcon);
    keys.setNumber(itemPath(9), kCaptionValue, 5);                          // wrong type
    keys.setValue(itemPath(9), kPromptValue, kTypeString, "abc", 3);         // no terminator
    keys.setValue(itemPath(9), kIsSubMenuValue, kTypeDword, "\x01\x00", 2);  // too short

    ScopedKey items(keys, keys.openForRead(nullptr, kItemsKey));
    StoredItem item;
    REQUIRE(readItem(keys, items.get(), 42, item, ActionRead::CommandsOnly));
    CHECK(std::string(item.caption) == "Open");
    CHECK(std::string(item.prompt) == "Opens it");
    CHECK(std::string(item.icon) == "shell32.dll,3");
    CHECK(item.isSubmenu == 0);
    CHECK(std::string(item.action) == "notepad.exe \"%1\"");

    REQUIRE(readItem(keys, items.get(), 7, item, ActionRead::CommandsOnly));
    CHECK(item.isSubmenu == 1);
    CHECK(std::string(item.action).empty());
    REQUIRE(readItem(keys, items.get(), 7, item, ActionRead::Always));
    CHECK(std::string(item.action) == "ignored for a submenu");

    REQUIRE(readItem(keys, items.get(), 8, item, ActionRead::Always));
    CHECK(std::string(item.caption) == std::string(63, 'c'));
    CHECK(std::string(item.icon) == longIcon);  // 259 characters fit whole
    CHECK(std::string(item.prompt).empty());     // absent value
    CHECK(item.isSubmenu == 0);

    REQUIRE(readItem(keys, items.get(), 9, item, ActionRead::Always));
    CHECK(std::string(item.icon) == std::string(259, 'j'));
    CHECK(std::string(item.caption).empty());
    CHECK(std::string(item.prompt) == "abc");
    CHECK(item.isSubmenu == 0);

    CHECK_FALSE(readItem(keys, items.get(), 5, item, ActionRead::Always));
    CHECK(std::string(item.caption).empty());
    CHECK_FALSE(readItem(keys, nullptr, 42, item, ActionRead::Always));

    // An action whose text ends early at a zero is whole, whether its value
    // is exactly the field's size or longer; without a zero it was cut.
    for (std::size_t length : {kActionSize, kActionSize + 1}) {
        CAPTURE(length);
        std::string data(length, 'x');
        data.replace(0, 6, std::string("run.e\0", 6));
        keys.setValue(itemPath(10), kActionValue, kTypeString, data.data(), data.size());
        REQUIRE(readItem(keys, items.get(), 10, item, ActionRead::Always));
        CHECK(std::string(item.action) == "run.e");
        CHECK_FALSE(item.actionCut);
    }
    std::string full(kActionSize, 'x');
    keys.setValue(itemPath(10), kActionValue, kTypeString, full.data(), full.size());
    REQUIRE(readItem(keys, items.get(), 10, item, ActionRead::Always));
    CHECK(item.actionCut);
}

// An item's optional values in words: what failures print.
std::string optionalValues(const StoredItem& item) {
    return "selection " + std::to_string(item.selection) + ", show for \"" + item.showFor +
           "\", run as " + std::to_string(item.runAs) + ", key holds" +
           (item.storedOptional & kOptionalSelection ? " Selection" : "") +
           (item.storedOptional & kOptionalShowFor ? " ShowFor" : "") +
           (item.storedOptional & kOptionalRunAs ? " RunAs" : "") +
           (item.storedOptional ? "" : " none");
}

TEST_CASE("optional values read as stored; absent, malformed or unknown ones as their defaults") {
    const std::string longest(kShowForSize - 1, 'p');
    const unsigned char eightBytes[8] = {1, 0, 0, 0, 0, 0, 0, 0};
    struct Row {
        std::string what;
        std::function<void(MemoryKeyStore&, const std::string&)> put;
        ActionRead read;
        std::string expected;
    };
    const Row rows[] = {
        {"an item of old stores none", [](MemoryKeyStore&, const std::string&) {}, ActionRead::Always,
         "selection 0, show for \"\", run as 0, key holds none"},
        {"each in turn, patterns, elevated",
         [](MemoryKeyStore& keys, const std::string& path) {
             keys.setNumber(path, kSelectionValue, kSelectionEachInTurn);
             keys.setString(path, kShowForValue, "*.txt;!~*.tmp;doc?.*");
             keys.setNumber(path, kRunAsValue, kRunAsElevated);
         },
         ActionRead::Always,
         "selection 1, show for \"*.txt;!~*.tmp;doc?.*\", run as 1, key holds Selection ShowFor RunAs"},
        {"all at once, stored as zeros",
         [](MemoryKeyStore& keys, const std::string& path) {
             keys.setNumber(path, kSelectionValue, kSelectionAllAtOnce);
             keys.setString(path, kShowForValue, "");
             keys.setNumber(path, kRunAsValue, 0);
         },
         ActionRead::Always, "selection 2, show for \"\", run as 0, key holds Selection ShowFor RunAs"},
        {"numbers no reader knows",
         [](MemoryKeyStore& keys, const std::string& path) {
             keys.setNumber(path, kSelectionValue, 3);
             keys.setNumber(path, kRunAsValue, 2);
         },
         ActionRead::Always, "selection 0, show for \"\", run as 0, key holds Selection RunAs"},
        {"values of the wrong type or length",
         [&](MemoryKeyStore& keys, const std::string& path) {
             keys.setString(path, kSelectionValue, "1");
             keys.setNumber(path, kShowForValue, 1);
             keys.setValue(path, kRunAsValue, kTypeDword, eightBytes, sizeof eightBytes);
         },
         ActionRead::Always, "selection 0, show for \"\", run as 0, key holds Selection ShowFor RunAs"},
        {"patterns longer than the field are cut to 259 characters",
         [&](MemoryKeyStore& keys, const std::string& path) {
             keys.setString(path, kShowForValue, longest + "*.txt");
         },
         ActionRead::Always,
         "selection 0, show for \"" + longest + "\", run as 0, key holds ShowFor"},
        {"patterns stored without their terminator",
         [](MemoryKeyStore& keys, const std::string& path) {
             keys.setValue(path, kShowForValue, kTypeString, "*.c", 3);
         },
         ActionRead::Always, "selection 0, show for \"*.c\", run as 0, key holds ShowFor"},
        {"a submenu for the handler: only its patterns",
         [](MemoryKeyStore& keys, const std::string& path) {
             keys.setNumber(path, kIsSubMenuValue, 1);
             keys.setNumber(path, kSelectionValue, kSelectionEachInTurn);
             keys.setString(path, kShowForValue, "*.log");
             keys.setNumber(path, kRunAsValue, kRunAsElevated);
         },
         ActionRead::CommandsOnly, "selection 0, show for \"*.log\", run as 0, key holds ShowFor"},
        {"a submenu for the editor: all three, to keep them",
         [](MemoryKeyStore& keys, const std::string& path) {
             keys.setNumber(path, kIsSubMenuValue, 1);
             keys.setNumber(path, kSelectionValue, kSelectionEachInTurn);
             keys.setString(path, kShowForValue, "*.log");
             keys.setNumber(path, kRunAsValue, kRunAsElevated);
         },
         ActionRead::Always, "selection 1, show for \"*.log\", run as 1, key holds Selection ShowFor RunAs"},
    };
    for (const Row& row : rows) {
        CAPTURE(row.what);
        MemoryKeyStore keys;
        putItem(keys, 3, "Item", false, "a.exe");
        row.put(keys, itemPath(3));
        ScopedKey items(keys, keys.openForRead(nullptr, kItemsKey));
        StoredItem item;
        std::memset(&item, 0x5A, sizeof item);  // whatever an earlier read left
        REQUIRE(readItem(keys, items.get(), 3, item, row.read));
        CHECK(optionalValues(item) == row.expected);
        CHECK(std::string(item.caption) == "Item");
    }
}

TEST_CASE("writing items, lists and id bookkeeping") {
    MemoryKeyStore keys;
    ScopedKey index(keys, keys.createForWrite(nullptr, kIndexKey));
    ScopedKey items(keys, keys.createForWrite(nullptr, kItemsKey));

    StoredItem item{};
    copyField(item.caption, sizeof item.caption, "Caption");
    copyField(item.action, sizeof item.action, "a.exe");
    CHECK(writeItem(keys, items.get(), 12, item));
    const MemoryKeyStore::Value* caption = keys.value(itemPath(12), kCaptionValue);
    REQUIRE(caption);
    CHECK(caption->type == kTypeString);
    CHECK(caption->data.size() == 8);  // the terminator is stored
    const MemoryKeyStore::Value* prompt = keys.value(itemPath(12), kPromptValue);
    REQUIRE(prompt);
    CHECK(prompt->data.size() == 1);  // an empty string is one byte
    CHECK(keys.value(itemPath(12), kIsSubMenuValue)->data.size() == 4);

    CHECK_FALSE(writeItem(keys, items.get(), 1000, item));
    CHECK_FALSE(keys.hasKey(itemPath(1000)));
    CHECK_FALSE(writeItem(keys, items.get(), 0, item));

    CHECK(writeIndexList(keys, index.get(), "*", {{12, 0}, {0, 12}}));
    CHECK(readIndexList(keys, "*").size() == 2);
    CHECK(writeIndexList(keys, index.get(), "Directory", {}));
    REQUIRE(keys.value(kIndexKey, "Directory"));
    CHECK(keys.value(kIndexKey, "Directory")->data.empty());
    CHECK_FALSE(writeIndexList(keys, index.get(), "*",
                               std::vector<IndexEntry>(kMaxIndexEntries + 1, IndexEntry{1, 0})));

    CHECK(readMaxId(keys, items.get()) == 0);
    CHECK(readFreeIds(keys, items.get()).empty());
    CHECK(writeMaxId(keys, items.get(), 12));
    CHECK(writeFreeIds(keys, items.get(), {11, 3}));
    CHECK(readMaxId(keys, items.get()) == 12);
    CHECK(readFreeIds(keys, items.get()) == std::vector<std::uint32_t>{11, 3});

    CHECK(deleteItem(keys, items.get(), 12));
    CHECK_FALSE(keys.hasKey(itemPath(12)));
    CHECK_FALSE(deleteItem(keys, items.get(), 12));
}

TEST_CASE("the background flag") {
    MemoryKeyStore keys;
    CHECK_FALSE(readBackgroundFlag(keys));
    writeBackgroundFlag(keys, true);
    CHECK(readBackgroundFlag(keys));
    const MemoryKeyStore::Value* flag = keys.value(kBackgroundKey, kIsBackgroundValue);
    REQUIRE(flag);
    CHECK(flag->type == kTypeDword);
    CHECK(flag->data.size() == 4);
    writeBackgroundFlag(keys, false);
    CHECK_FALSE(readBackgroundFlag(keys));
    CHECK(keys.openHandles() == 0);
}

}  // TEST_SUITE
