// Whole stores laid out the way a save writes them, for the programs that need
// a store to read: the native tests (over an in-memory key tree), the Wine
// tests, the benchmark and the demo (over the registry). Built on the save's
// own write functions, so what they write is what the editor writes: texts cut
// to their fields, ids above kMaxStoredId and lists longer than
// kMaxIndexEntries refused. A test that needs a shape no save writes writes
// those values itself.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "key_store.h"
#include "menu_store.h"

namespace store {

// An item's key path below the user's hive: "<kItemsKey>\<id>".
std::string itemKeyPath(std::uint32_t id);

// Each returns false when the store refused.
bool putIndex(KeyStore& keys, const char* kind, const std::vector<IndexEntry>& entries);
// The item's five values in save order: Caption, Prompt, Icon, IsSubMenu, Action.
bool putItem(KeyStore& keys, std::uint32_t id, const std::string& caption,
             bool isSubmenu = false, const std::string& action = "",
             const std::string& prompt = "", const std::string& icon = "");
bool putMaxId(KeyStore& keys, std::uint32_t maxId);
bool putFreeIds(KeyStore& keys, const std::vector<std::uint32_t>& ids);

}  // namespace store
