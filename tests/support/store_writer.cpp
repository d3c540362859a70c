#include "store_writer.h"

#include "store_layout.h"

namespace store {

std::string itemKeyPath(std::uint32_t id) {
    char name[kItemKeyNameSize];
    itemKeyName(id, name);
    return std::string(kItemsKey) + "\\" + name;
}

bool putIndex(KeyStore& keys, const char* kind, const std::vector<IndexEntry>& entries) {
    ScopedKey index(keys, keys.createForWrite(nullptr, kIndexKey));
    return writeIndexList(keys, index.get(), kind, entries);
}

bool putItem(KeyStore& keys, std::uint32_t id, const std::string& caption, bool isSubmenu,
             const std::string& action, const std::string& prompt, const std::string& icon) {
    StoredItem item{};
    copyField(item.caption, sizeof item.caption, caption.c_str());
    copyField(item.prompt, sizeof item.prompt, prompt.c_str());
    copyField(item.icon, sizeof item.icon, icon.c_str());
    item.isSubmenu = isSubmenu ? 1 : 0;
    copyField(item.action, sizeof item.action, action.c_str());
    ScopedKey items(keys, keys.createForWrite(nullptr, kItemsKey));
    return writeItem(keys, items.get(), id, item);
}

bool putMaxId(KeyStore& keys, std::uint32_t maxId) {
    ScopedKey items(keys, keys.createForWrite(nullptr, kItemsKey));
    return writeMaxId(keys, items.get(), maxId);
}

bool putFreeIds(KeyStore& keys, const std::vector<std::uint32_t>& ids) {
    ScopedKey items(keys, keys.createForWrite(nullptr, kItemsKey));
    return writeFreeIds(keys, items.get(), ids);
}

}  // namespace store
