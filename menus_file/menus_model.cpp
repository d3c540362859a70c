#include "menus_model.h"

namespace menus_file {

bool MenuEntry::operator==(const MenuEntry& other) const {
    // The line is where an entry was read, not what it is.
    return separator == other.separator && submenu == other.submenu && caption == other.caption &&
           prompt == other.prompt && icon == other.icon && action == other.action &&
           showFor == other.showFor && selection == other.selection && runAs == other.runAs &&
           items == other.items;
}

int kindIndex(const std::string& name) {
    for (int i = 0; i < store::kContextKindCount; ++i)
        if (name == store::kContextKinds[i]) return i;
    return -1;
}

const char* kindTitle(int index) {
    static const char* const titles[store::kContextKindCount] = {
        "Files", "Folders", "Folder backgrounds", "Fixed drives", "CD drives"};
    return index >= 0 && index < store::kContextKindCount ? titles[index] : "";
}

std::size_t itemCount(const MenuList& list) {
    std::size_t count = 0;
    for (const MenuEntry& entry : list)
        if (!entry.separator) count += 1 + itemCount(entry.items);
    return count;
}

}  // namespace menus_file
