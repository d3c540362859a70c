#include <doctest/doctest.h>

#include <cstring>
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
