// Reading and writing the menu store: index lists, items, id bookkeeping and
// the background flag. All functions work over a KeyStore.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "key_store.h"
#include "store_layout.h"
#include "stored_item.h"

namespace store {

struct IndexEntry {
    std::uint16_t id;      // 0 marks a separator
    std::uint16_t parent;  // 0 is the top level
};

// Which values readItem fetches. The handler skips those only a command uses
// (Action, Selection, RunAs) for a submenu; the editor reads them all.
enum class ActionRead { CommandsOnly, Always };

// Decimal key name of an item id, no leading zeros. Ids up to 65535 fit.
constexpr std::size_t kItemKeyNameSize = 6;
void itemKeyName(std::uint32_t id, char (&name)[kItemKeyNameSize]);

// Copies text into a field of `size` bytes, cutting it to size - 1.
void copyField(char* field, std::size_t size, const char* text);

// Reads a string value into a field of `size` bytes: a longer value is cut to
// size - 1 characters, an absent value or one of another type reads as empty.
// The field is always terminated. Returns false when the value was cut.
bool readText(KeyStore& keys, KeyHandle key, const char* name, char* field, std::size_t size);

// Reads a 32-bit number; absent or malformed reads as 0.
std::uint32_t readNumber(KeyStore& keys, KeyHandle key, const char* name);

// Splits an index value into whole 4-byte entries (little-endian); trailing
// bytes are ignored.
std::vector<IndexEntry> decodeIndex(const unsigned char* bytes, std::size_t length);
std::vector<unsigned char> encodeIndex(const std::vector<IndexEntry>& entries);

// The index list of a context kind in stored order; empty when the key or
// value is absent.
std::vector<IndexEntry> readIndexList(KeyStore& keys, const char* kind);

// Reads an item from the open items key. Returns false when the item key is
// absent (the item is then all empty). Absent values read as empty or 0, as
// do a Selection or RunAs of a type or number no reader knows; texts too
// long are cut as readText cuts them. storedOptional tells which of the
// optional values read the key has, well-formed or not. `optional` says
// which of the optional values to read (OptionalValue bits): a right click
// reads only what it uses, so that a menu without them costs what it did.
bool readItem(KeyStore& keys, KeyHandle itemsKey, std::uint32_t id, StoredItem& item,
              ActionRead actionRead, std::uint8_t optional = kOptionalAll);

// Writing, for the editor. Each returns false when the store refused.
bool writeIndexList(KeyStore& keys, KeyHandle indexKey, const char* kind,
                    const std::vector<IndexEntry>& entries);
// Writes the five values in their order: Caption, Prompt, Icon, IsSubMenu,
// Action; an action marked cut is not written, so the stored one stays
// whole. Then Selection, ShowFor and RunAs, each only where it differs from
// its default; at the default, one marked in storedOptional is removed
// unless the key is new. So an item that uses none of them is written as
// items always were. Ids above kMaxStoredId are refused.
bool writeItem(KeyStore& keys, KeyHandle itemsKey, std::uint32_t id, const StoredItem& item);
bool deleteItem(KeyStore& keys, KeyHandle itemsKey, std::uint32_t id);

std::uint32_t readMaxId(KeyStore& keys, KeyHandle itemsKey);
bool writeMaxId(KeyStore& keys, KeyHandle itemsKey, std::uint32_t maxId);
// "FreeIDs" as stored (descending); absent reads as empty.
std::vector<std::uint32_t> readFreeIds(KeyStore& keys, KeyHandle itemsKey);
bool writeFreeIds(KeyStore& keys, KeyHandle itemsKey, const std::vector<std::uint32_t>& ids);

// The background flag under kBackgroundKey.
void writeBackgroundFlag(KeyStore& keys, bool isBackground);
bool readBackgroundFlag(KeyStore& keys);

}  // namespace store
