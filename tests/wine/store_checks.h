// The menu store as the editing runs check it: one kind's list read as a
// menu tree, the invariants every save must leave, and the whole store as
// one text to tell whether anything was written.
#pragma once

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "menu_text.h"
#include "sheet_driver.h"

namespace store_checks {

namespace stored = sheet_driver::stored;

// The list of `kind` as a tree, with every item's values. An entry whose
// parent is not open ends the reading (the invariants name it).
inline menu_text::Menu tree(const char* kind) {
    menu_text::Menu menu;
    std::vector<unsigned> open{0};
    for (const auto& [id, parent] : stored::entries(kind)) {
        auto at = std::find(open.begin(), open.end(), parent);
        if (at == open.end()) break;
        open.erase(at + 1, open.end());
        menu_text::Node node;
        node.depth = static_cast<int>(open.size()) - 1;
        if (id == 0) {
            node.separator = true;
        } else {
            const std::string key = stored::itemKey(id);
            node.caption = stored::value(key, "Caption");
            node.prompt = stored::value(key, "Prompt");
            node.icon = stored::value(key, "Icon");
            node.action = stored::value(key, "Action");
            node.submenu = stored::value(key, "IsSubMenu") != "0";
            if (node.submenu) open.push_back(id);
        }
        menu.push_back(node);
    }
    return menu;
}

// What breaks the rules of the lists and of the id bookkeeping, one line
// each; empty when the store is sound. Every list counts: ids are shared.
inline std::vector<std::string> violations() {
    std::vector<std::string> found;
    const std::string maxText = stored::maxId();
    const unsigned maxId = maxText == "<absent>" ? 0u : static_cast<unsigned>(std::stoul("0" + maxText));
    if (maxText != "<absent>" && maxText.find_first_not_of("0123456789") != std::string::npos)
        found.push_back("\"MaxID\" is not a DWORD: " + maxText);
    const std::vector<unsigned> keys = stored::itemKeys();
    std::set<unsigned> used;
    for (const char* kind : {"*", "Directory", "Background", "Drive", "CDROM"}) {
        const auto entries = stored::entries(kind);
        const std::string list = std::string("list \"") + kind + "\"";
        if (entries.size() > 1024)
            found.push_back(list + " holds " + std::to_string(entries.size()) +
                            " entries; at most 1024 are allowed");
        std::vector<unsigned> open{0};
        for (size_t i = 0; i < entries.size(); ++i) {
            const auto [id, parent] = entries[i];
            const std::string entry = list + " entry " + std::to_string(i) + " (" +
                                      std::to_string(id) + "/" + std::to_string(parent) + ")";
            auto at = std::find(open.begin(), open.end(), parent);
            if (at == open.end()) {
                found.push_back(entry + ": its parent is not a submenu open before it");
                break;
            }
            open.erase(at + 1, open.end());
            if (id == 0) continue;
            if (id > 999) found.push_back(entry + ": ids run from 1 to 999");
            if (id > maxId)
                found.push_back(entry + ": above \"MaxID\" " + std::to_string(maxId));
            if (!used.insert(id).second) found.push_back(entry + ": the id is in use twice");
            if (!std::binary_search(keys.begin(), keys.end(), id))
                found.push_back(entry + ": no item key \"" + std::to_string(id) + "\"");
            if (stored::value(stored::itemKey(id), "IsSubMenu") != "0") open.push_back(id);
        }
    }
    const std::vector<unsigned> free = stored::freeIds();
    for (size_t i = 0; i < free.size(); ++i) {
        const std::string at = "\"FreeIDs\" entry " + std::to_string(i) + " (" +
                               std::to_string(free[i]) + ")";
        if (free[i] == 0 || free[i] >= maxId)
            found.push_back(at + ": must lie between 0 and \"MaxID\" " + std::to_string(maxId) +
                            ", both excluded");
        if (i > 0 && free[i - 1] <= free[i])
            found.push_back(at + ": repeated or not descending after " + std::to_string(free[i - 1]));
        if (used.count(free[i])) found.push_back(at + ": the id is in use");
    }
    return found;
}

// Everything the store holds, as text: equal texts mean nothing was written.
inline std::string snapshot() {
    std::string text = "MaxID " + stored::maxId() + "\nFreeIDs";
    for (unsigned id : stored::freeIds()) text += " " + std::to_string(id);
    for (const char* kind : {"*", "Directory", "Background", "Drive", "CDROM"})
        text += std::string("\nlist ") + kind + ": " + stored::index(kind);
    for (unsigned id : stored::itemKeys())
        text += "\nitem " + std::to_string(id) + ": " + stored::item(id);
    return text + "\n";
}

}  // namespace store_checks
