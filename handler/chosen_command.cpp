#include "chosen_command.h"

#include "menu_store.h"
#include "stored_item.h"

namespace handler {

ChosenCommand readChosenCommand(store::KeyStore& keys, std::uint32_t id) {
    ChosenCommand chosen;
    store::ScopedKey items(keys, keys.openForRead(nullptr, store::kItemsKey));
    store::StoredItem item;
    if (!store::readItem(keys, items.get(), id, item, store::ActionRead::CommandsOnly))
        return chosen;
    chosen.caption = item.caption;
    if (!item.actionCut) chosen.action = item.action;
    chosen.selection = item.selection;
    chosen.runAs = item.runAs == store::kRunAsElevated;
    return chosen;
}

}  // namespace handler
