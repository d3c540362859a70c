// A chosen command as the store holds it when it is chosen. The menu keeps
// only the item's id, so that building it reads no action and no setting
// but what it shows; both fronts start what this reads.
#pragma once

#include <cstdint>
#include <string>

#include "key_store.h"

namespace handler {

// What a command start is given; the texts are the store's, in the code page.
struct CommandToStart {
    const char* caption;      // names it in questions
    const char* action;
    std::uint32_t selection;  // how several selected objects are taken (store::kSelection...)
    bool runAs;               // started elevated: the verb "runas"
};

struct ChosenCommand {
    std::string caption;
    // Empty, which starts nothing, for an item gone from the store, a
    // submenu, and an action cut to its field: what is left of that would
    // run with arguments, directory and window state nobody wrote.
    std::string action;
    std::uint32_t selection = 0;
    bool runAs = false;
    CommandToStart toStart() const { return {caption.c_str(), action.c_str(), selection, runAs}; }
};

ChosenCommand readChosenCommand(store::KeyStore& keys, std::uint32_t id);

}  // namespace handler
