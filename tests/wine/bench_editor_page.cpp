// Benchmark: the editor page on the largest menu the store holds (999 items
// in 1024 entries). Opening the page (loading the store into a real
// tree-view control) and applying it (writing the tree back), each next to
// its floor: the same registry reads, or writes, done bare in the same
// order. Prints medians and ratios. Then talvex.exe's export of the same
// store to a menus file, and its import of that file (backup included),
// each next to the page's own open and apply.
//
//   bench_editor_page [runs]
//
// Runs under Wine (scripts/bench); the store is written under
// HKEY_CURRENT_USER and removed at the end.
#include <windows.h>
#include <commctrl.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <fstream>

#include "bench_support.h"
#include "menus_reader.h"
#include "menus_writer.h"
#include "modified_marker.h"
#include "store_menus.h"
#include "store_lock.h"
#include "system_code_page.h"
#include "page_controller.h"
#include "registry_key_store.h"
#include "store_layout.h"
#include "tree_view_host.h"

namespace {

const char kKind[] = "*";

struct NoSheet : editor::SheetTab {
    void sendChanged() override {}
    void sendUnchanged() override {}
    void readTabText(char* text, std::size_t size) override { store::copyField(text, size, "Context Menu"); }
    void writeTabText(const char*) override {}
};
struct NoToolbar : editor::ToolbarButtons {
    void setButtonEnabled(int, bool) override {}
};
struct NoFields : editor::FieldView {
    void enableFields(bool, bool) override {}
    void showTexts(const char*, const char*, const char*, const char*, const char*) override {}
    void focusCaption() override {}
    void showAction(const char*) override {}
    void enterIcon(const char*) override {}
};
struct NoDialogs : editor::UserDialogs {
    editor::Answer ask(editor::Question) override { return editor::Answer::No; }
    void explainRefusal(const char* reason) override { std::printf("refused: %s\n", reason); }
    void describeError(std::uint32_t, char* text, std::size_t) override { text[0] = '\0'; }
};

// The page's code over a real tree-view control in a window of its own.
struct BenchPage : editor::TreeListener {
    editor::PageState state;
    tree_view_host::HostedTreeView tree;
    NoToolbar toolbar;
    NoSheet sheet;
    NoFields fields;
    NoDialogs dialogs;
    store::RegistryKeyStore keys;
    editor::Page page{state, tree, toolbar, sheet};
    editor::PageController controller{page, fields, dialogs, keys};

    BenchPage() {
        tree.setListener(this);
        editor::setContextKind(state, kKind);
    }
    ~BenchPage() { controller.destroy(); }
    void nodeDeleted(editor::TreeNode node, editor::ItemRecord* value) override {
        controller.nodeDeleted(node, value);
    }
    void selectionChanged(editor::TreeNode node) override { controller.selectionChanged(node); }
};

// The reads of opening the page, bare: "MaxID", the index list (size, then
// data), and each item's eight values, into fields of the record's sizes.
std::size_t readBare() {
    HKEY items = nullptr, index = nullptr;
    RegOpenKeyExA(HKEY_CURRENT_USER, store::kItemsKey, 0, KEY_READ, &items);
    DWORD maxId = 0, size = sizeof maxId;
    RegQueryValueExA(items, store::kMaxIdValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&maxId), &size);
    RegOpenKeyExA(HKEY_CURRENT_USER, store::kIndexKey, 0, KEY_READ, &index);
    DWORD listSize = 0;
    RegQueryValueExA(index, kKind, nullptr, nullptr, nullptr, &listSize);
    std::vector<BYTE> list(listSize + 4);
    RegQueryValueExA(index, kKind, nullptr, nullptr, list.data(), &listSize);
    RegCloseKey(index);
    static char caption[64], prompt[64], icon[260], action[2048], showFor[260];
    std::size_t count = listSize / 4;
    for (std::size_t i = 0; i < count; ++i) {
        unsigned id = list[4 * i] | (list[4 * i + 1] << 8);
        if (id == 0) continue;
        char name[8];
        std::snprintf(name, sizeof name, "%u", id);
        HKEY item = nullptr;
        RegOpenKeyExA(items, name, 0, KEY_READ, &item);
        DWORD isSub = 0, selection = 0, runAs = 0;
        struct { const char* name; void* data; DWORD size; } values[] = {
            {store::kCaptionValue, caption, sizeof caption}, {store::kPromptValue, prompt, sizeof prompt},
            {store::kIconValue, icon, sizeof icon}, {store::kIsSubMenuValue, &isSub, sizeof isSub},
            {store::kActionValue, action, sizeof action}, {store::kSelectionValue, &selection, sizeof selection},
            {store::kShowForValue, showFor, sizeof showFor}, {store::kRunAsValue, &runAs, sizeof runAs}};
        for (auto& v : values)
            RegQueryValueExA(item, v.name, nullptr, nullptr, static_cast<BYTE*>(v.data), &v.size);
        RegCloseKey(item);
    }
    RegCloseKey(items);
    return count;
}

struct BareItem {
    std::string caption, prompt, icon, action;
    DWORD isSubmenu;
};

void setString(HKEY key, const char* name, const std::string& text) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>(text.size() + 1));
}

// The writes of applying the page, bare, in the save's order: open both
// keys, read "MaxID" and "FreeIDs", every item's five values, the index
// list, "FreeIDs" and "MaxID".
void writeBare(const std::vector<bench::Entry>& entries, const std::vector<BareItem>& items) {
    HKEY index = nullptr, itemsKey = nullptr;
    RegCreateKeyExA(HKEY_CURRENT_USER, store::kIndexKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &index, nullptr);
    RegCreateKeyExA(HKEY_CURRENT_USER, store::kItemsKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE,
                    nullptr, &itemsKey, nullptr);
    DWORD maxId = 0, size = sizeof maxId;
    RegQueryValueExA(itemsKey, store::kMaxIdValue, nullptr, nullptr, reinterpret_cast<BYTE*>(&maxId), &size);
    DWORD freeSize = 0;
    RegQueryValueExA(itemsKey, store::kFreeIdsValue, nullptr, nullptr, nullptr, &freeSize);
    std::size_t next = 0;
    for (const bench::Entry& entry : entries) {
        if (entry.id == 0) continue;
        const BareItem& item = items[next++];
        char name[8];
        std::snprintf(name, sizeof name, "%u", entry.id);
        HKEY key = nullptr;
        RegCreateKeyExA(itemsKey, name, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
        setString(key, store::kCaptionValue, item.caption);
        setString(key, store::kPromptValue, item.prompt);
        setString(key, store::kIconValue, item.icon);
        RegSetValueExA(key, store::kIsSubMenuValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&item.isSubmenu), 4);
        setString(key, store::kActionValue, item.action);
        RegCloseKey(key);
    }
    RegSetValueExA(index, kKind, 0, REG_BINARY, reinterpret_cast<const BYTE*>(entries.data()),
                   static_cast<DWORD>(entries.size() * 4));
    RegSetValueExA(itemsKey, store::kFreeIdsValue, 0, REG_BINARY, nullptr, 0);
    RegSetValueExA(itemsKey, store::kMaxIdValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&maxId), 4);
    RegCloseKey(itemsKey);
    RegCloseKey(index);
}

std::vector<BareItem> itemsAsStored(const std::vector<bench::Entry>& entries) {
    store::RegistryKeyStore keys;
    store::ScopedKey itemsKey(keys, keys.openForRead(nullptr, store::kItemsKey));
    std::vector<BareItem> items;
    for (const bench::Entry& entry : entries) {
        if (entry.id == 0) continue;
        store::StoredItem stored{};
        store::readItem(keys, itemsKey.get(), entry.id, stored, store::ActionRead::Always);
        items.push_back({stored.caption, stored.prompt, stored.icon, stored.action, stored.isSubmenu});
    }
    return items;
}

void report(const char* what, const std::vector<double>& page, const std::vector<double>& floor) {
    double p = bench::median(page), f = bench::median(floor);
    std::printf("%-44s %9.2f ms  floor %9.2f ms  ratio %.2f\n", what, p / 1000, f / 1000, f > 0 ? p / f : 0.0);
}

}  // namespace

int main(int argc, char** argv) {
    int runs = argc > 1 ? std::atoi(argv[1]) : 15;
    if (runs < 1) runs = 1;
    std::vector<bench::Entry> entries;
    std::vector<bench::Item> items;
    bench::largeMenu(entries, items);
    bench::writeStore(kKind, entries, items);
    const std::vector<BareItem> stored = itemsAsStored(entries);

    BenchPage page;
    std::vector<double> openTimes, openFloor, applyTimes, applyFloor;
    bool ok = true;
    for (int run = 0; run < runs; ++run) {
        page.controller.destroy();
        double t0 = bench::nowMicroseconds();
        page.controller.initialize();
        double t1 = bench::nowMicroseconds();
        std::size_t read = readBare();
        double t2 = bench::nowMicroseconds();
        openTimes.push_back(t1 - t0);
        openFloor.push_back(t2 - t1);
        ok = ok && page.tree.count() == entries.size() && read == entries.size();

        editor::markModified(page.page);
        double t3 = bench::nowMicroseconds();
        ok = page.controller.apply() && ok;
        double t4 = bench::nowMicroseconds();
        writeBare(entries, stored);
        double t5 = bench::nowMicroseconds();
        applyTimes.push_back(t4 - t3);
        applyFloor.push_back(t5 - t4);
    }
    std::printf("Editor page on %zu entries (%zu items), median of %d runs:\n", entries.size(),
                stored.size(), runs);
    report("open: load the store into the tree-view", openTimes, openFloor);
    report("apply: write the tree back", applyTimes, applyFloor);

    // The menus file, as talvex.exe writes and reads it (the file's own
    // write and read aside), on the same store.
    page.controller.destroy();
    talvex_app::SystemCodePage codePage;
    std::vector<double> exportTimes, importTimes;
    std::string text;
    for (int run = 0; run < runs; ++run) {
        double t0 = bench::nowMicroseconds();
        menus_file::StoreContents contents;
        std::string problem;
        ok = menus_file::readStore(page.keys, contents) &&
             menus_file::writeMenus(contents.menus, codePage, text, problem) && ok;
        double t1 = bench::nowMicroseconds();
        menus_file::Menus menus;
        menus_file::ReadProblem bad;
        editor::StoreLock lock;
        ok = menus_file::readMenus(text, codePage, menus, bad) && ok;
        menus_file::ImportResult result = menus_file::importMenus(
            menus, page.keys, lock, [&](const menus_file::StoreContents& before) {
                std::string backup, unwritten;
                return menus_file::writeMenus(before.menus, codePage, backup, unwritten) &&
                       static_cast<bool>(std::ofstream("bench-backup.json", std::ios::binary) << backup);
            });
        double t2 = bench::nowMicroseconds();
        ok = result.result == editor::SaveResult::Saved && ok;
        exportTimes.push_back(t1 - t0);
        importTimes.push_back(t2 - t1);
    }
    std::remove("bench-backup.json");
    std::printf("Menus file of the same store (%zu bytes), against the page:\n", text.size());
    report("export: the store to a file (vs. open)", exportTimes, openTimes);
    report("import: file, backup, five saves (vs. apply)", importTimes, applyTimes);
    SHDeleteKeyA(HKEY_CURRENT_USER, "Software\\Talvex");
    if (!ok) std::printf("the page or the menus file did not load or save the whole menu\n");
    return ok ? 0 : 1;
}
