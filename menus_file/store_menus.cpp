#include "store_menus.h"

#include <algorithm>
#include <new>

#include "list_tree.h"
#include "menu_store.h"
#include "save_bookkeeping.h"
#include "tree_model.h"

namespace menus_file {

namespace {

// A page with no window around it: nothing to enable, no tab to mark.
struct NoToolbar final : editor::ToolbarButtons {
    void setButtonEnabled(int, bool) override {}
};
struct NoSheet final : editor::SheetTab {
    void sendChanged() override {}
    void sendUnchanged() override {}
    void readTabText(char* text, std::size_t size) override {
        if (size) text[0] = '\0';
    }
    void writeTabText(const char*) override {}
};

struct HeadlessPage {
    editor::PageState state;
    ListTree tree;
    NoToolbar toolbar;
    NoSheet sheet;
    editor::Page page{state, tree, toolbar, sheet};

    explicit HeadlessPage(int kind) { editor::setContextKind(state, store::kContextKinds[kind]); }
};

MenuList entriesBelow(ListTree& tree, editor::TreeNode parent, int kind, StoreContents& out) {
    MenuList list;
    for (editor::TreeNode node = tree.firstChild(parent); node; node = tree.nextSibling(node)) {
        MenuEntry entry;
        const editor::ItemRecord* record = tree.value(node);
        if (!record) {
            entry.separator = true;
        } else {
            entry.submenu = record->isSubmenu != 0;
            entry.caption = record->caption;
            entry.prompt = record->prompt;
            entry.icon = record->icon;
            entry.showFor = record->showFor;
            if (!entry.submenu) {
                entry.action = record->action;
                entry.selection = record->selection;
                entry.runAs = record->runAs == store::kRunAsElevated;
                if (record->actionCut)
                    out.cutActions.push_back(std::string(kindTitle(kind)) + ": " + record->caption);
            } else {
                entry.items = entriesBelow(tree, node, kind, out);
            }
        }
        list.push_back(std::move(entry));
    }
    return list;
}

// Ids (1 to 999) that the lists of the given kinds name, each once.
std::vector<bool> idsNamed(store::KeyStore& keys, const std::vector<int>& kinds) {
    std::vector<bool> named(store::kMaxStoredId + 1, false);
    for (int kind : kinds)
        for (const store::IndexEntry& entry : store::readIndexList(keys, store::kContextKinds[kind]))
            if (entry.id != 0 && entry.id <= store::kMaxStoredId) named[entry.id] = true;
    return named;
}

std::size_t countOf(const std::vector<bool>& ids) {
    return static_cast<std::size_t>(std::count(ids.begin(), ids.end(), true));
}

bool itemKeyThere(store::KeyStore& keys, store::KeyHandle items, std::uint32_t id) {
    char name[store::kItemKeyNameSize];
    store::itemKeyName(id, name);
    store::ScopedKey key(keys, keys.openForRead(items, name));
    return static_cast<bool>(key);
}

// The store's item keys that no list names.
std::vector<std::uint32_t> unreachedIds(store::KeyStore& keys, const std::vector<bool>& named) {
    std::vector<std::uint32_t> ids;
    store::ScopedKey items(keys, keys.openForRead(nullptr, store::kItemsKey));
    if (!items) return ids;
    for (std::uint32_t id = 1; id <= store::kMaxStoredId; ++id)
        if (!named[id] && itemKeyThere(keys, items.get(), id)) ids.push_back(id);
    return ids;
}

void fillRecord(const MenuEntry& entry, editor::ItemRecord& record) {
    store::copyField(record.caption, sizeof record.caption, entry.caption.c_str());
    store::copyField(record.prompt, sizeof record.prompt, entry.prompt.c_str());
    store::copyField(record.icon, sizeof record.icon, entry.icon.c_str());
    store::copyField(record.action, sizeof record.action, entry.action.c_str());
    store::copyField(record.showFor, sizeof record.showFor, entry.showFor.c_str());
    record.isSubmenu = entry.submenu ? 1 : 0;
    record.selection = entry.selection;
    record.runAs = entry.runAs ? store::kRunAsElevated : 0;
    record.isNew = 1;  // the save gives it an id
}

bool addEntries(ListTree& tree, editor::TreeNode parent, const MenuList& list, std::uint32_t& next) {
    for (const MenuEntry& entry : list) {
        editor::ItemRecord* record = nullptr;
        if (!entry.separator) {
            record = new editor::ItemRecord{};
            fillRecord(entry, *record);
            record->id = ++next;  // provisional: only needs to differ from the others
        }
        editor::TreeNode node = tree.insert(parent, editor::InsertPlace::last(), nullptr, record);
        if (!node) {
            delete record;
            return false;
        }
        if (entry.submenu && !addEntries(tree, node, entry.items, next)) return false;
    }
    return true;
}

std::vector<int> allKinds() {
    std::vector<int> kinds;
    for (int i = 0; i < store::kContextKindCount; ++i) kinds.push_back(i);
    return kinds;
}

}  // namespace

bool readStore(store::KeyStore& keys, StoreContents& out) {
    out = StoreContents();
    try {
        for (int kind = 0; kind < store::kContextKindCount; ++kind) {
            HeadlessPage page(kind);
            if (!editor::load(page.page, keys)) return false;
            out.menus.kinds[static_cast<std::size_t>(kind)] = entriesBelow(page.tree, nullptr, kind, out);
        }
        out.unreached = unreachedIds(keys, idsNamed(keys, allKinds()));
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

ImportResult importMenus(const Menus& menus, store::KeyStore& keys, editor::SaveLock& lock,
                         const std::function<bool(const StoreContents&)>& keepBackup) {
    ImportResult outcome;
    // One hold for the whole import: no other editor's save comes between
    // the check and the last kind written.
    editor::HeldLock held(lock);
    if (!held.held()) {
        outcome.result = editor::SaveResult::StoreBusy;
        return outcome;
    }
    StoreContents current;
    if (!readStore(keys, current)) {
        outcome.result = editor::SaveResult::OutOfMemory;
        return outcome;
    }

    std::vector<int> replaced, kept;
    for (int kind = 0; kind < store::kContextKindCount; ++kind)
        (menus.kinds[static_cast<std::size_t>(kind)] ? replaced : kept).push_back(kind);
    std::size_t wanted = 0;
    for (int kind : replaced) wanted += itemCount(*menus.kinds[static_cast<std::size_t>(kind)]);
    const std::size_t keptItems = countOf(idsNamed(keys, kept));
    if (wanted + keptItems > store::kMaxStoredId) {
        outcome.result = editor::SaveResult::NoIdLeft;
        outcome.refusal = "the file's " + std::to_string(wanted) + " items and the " +
                          std::to_string(keptItems) +
                          " items of the menus it leaves as they are come to " +
                          std::to_string(wanted + keptItems) +
                          ", and the store numbers at most 999 items";
        return outcome;
    }
    if (!keepBackup(current)) {
        outcome.result = editor::SaveResult::StoreRefused;
        outcome.refusal = "the store's menus could not be kept in a backup first";
        return outcome;
    }

    // Shrinking kinds first; see the header.
    std::vector<std::pair<long, int>> order;
    for (int kind : replaced) {
        const long before = static_cast<long>(countOf(idsNamed(keys, {kind})));
        const long after = static_cast<long>(itemCount(*menus.kinds[static_cast<std::size_t>(kind)]));
        order.push_back({after - before, kind});
    }
    std::stable_sort(order.begin(), order.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });

    // Ids that no list names and "FreeIDs" does not hold are lost to every
    // save; the first save frees them, removing the keys no menu shows, so
    // that the check above is all the room there is.
    std::vector<std::uint32_t> lost;
    {
        const std::vector<bool> named = idsNamed(keys, allKinds());
        store::ScopedKey items(keys, keys.openForRead(nullptr, store::kItemsKey));
        std::vector<bool> free(store::kMaxStoredId + 1, false);
        for (std::uint32_t id : store::readFreeIds(keys, items.get()))
            if (id <= store::kMaxStoredId) free[id] = true;
        const std::uint32_t maxId = std::min(store::readMaxId(keys, items.get()), store::kMaxStoredId);
        for (std::uint32_t id = 1; id <= store::kMaxStoredId; ++id) {
            const bool unreached = std::binary_search(current.unreached.begin(), current.unreached.end(), id);
            if (unreached || (id <= maxId && !named[id] && !free[id])) lost.push_back(id);
        }
    }

    try {
        for (const auto& [growth, kind] : order) {
            (void)growth;
            HeadlessPage page(kind);
            for (const store::IndexEntry& entry : store::readIndexList(keys, store::kContextKinds[kind]))
                if (entry.id != 0) page.state.deletedIds.push_back(entry.id);
            page.state.deletedIds.insert(page.state.deletedIds.end(), lost.begin(), lost.end());
            lost.clear();
            page.state.generationSeen = editor::saveCount(store::kContextKinds[kind]);
            std::uint32_t next = 0;
            if (!addEntries(page.tree, nullptr, *menus.kinds[static_cast<std::size_t>(kind)], next)) {
                outcome.result = editor::SaveResult::OutOfMemory;
                outcome.failedKind = kind;
                return outcome;
            }
            editor::SaveResult saved = editor::saveTree(page.page, keys, editor::unsharedStore());
            if (saved != editor::SaveResult::Saved) {
                outcome.result = saved;
                outcome.failedKind = kind;
                return outcome;
            }
            if (outcome.writtenKinds.empty()) outcome.removedUnreached = current.unreached.size();
            outcome.writtenKinds.push_back(kind);
        }
    } catch (const std::bad_alloc&) {
        outcome.result = editor::SaveResult::OutOfMemory;
        return outcome;
    }
    return outcome;
}

}  // namespace menus_file
