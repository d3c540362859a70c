// Helpers that write menus into an in-memory store the way a save lays them out.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "memory_key_store.h"
#include "menu_store.h"

namespace testing_support {

inline void putIndex(store::MemoryKeyStore& keys, const char* kind,
                     const std::vector<store::IndexEntry>& entries) {
    std::vector<unsigned char> bytes = store::encodeIndex(entries);
    keys.setValue(store::kIndexKey, kind, store::kTypeBinary, bytes.data(), bytes.size());
}

inline std::string itemPath(std::uint32_t id) {
    return std::string(store::kItemsKey) + "\\" + std::to_string(id);
}

inline void putItem(store::MemoryKeyStore& keys, std::uint32_t id, const std::string& caption,
                    bool isSubMenu, const std::string& action = "",
                    const std::string& prompt = "", const std::string& icon = "") {
    std::string path = itemPath(id);
    keys.setString(path, store::kCaptionValue, caption);
    keys.setString(path, store::kPromptValue, prompt);
    keys.setString(path, store::kIconValue, icon);
    keys.setNumber(path, store::kIsSubMenuValue, isSubMenu ? 1 : 0);
    keys.setString(path, store::kActionValue, action);
}

}  // namespace testing_support
