// A page over an in-memory tree and store, with fakes for the toolbar and the
// property sheet, and helpers that lay out stores and describe trees.
#pragma once

#include <doctest/doctest.h>

#include "container_printers.h"

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "memory_key_store.h"
#include "memory_tree.h"
#include "menu_store.h"
#include "modified_marker.h"
#include "page_controller.h"
#include "page_fakes.h"
#include "page_view.h"
#include "save_bookkeeping.h"
#include "store_writer.h"
#include "tree_model.h"

namespace editor_testing {

using editor::ItemRecord;
using editor::TreeNode;
using editor::TreePrimitives;

using page_fakes::FakeSheet;
using page_fakes::FakeToolbar;

// The item fields of a page: what they were last told to show.
struct RecordingFields : editor::FieldView {
    bool itemFields = false, actionFields = false;
    std::string texts;
    int focused = 0;
    void enableFields(bool item, bool action) override {
        itemFields = item;
        actionFields = action;
    }
    std::string showFor;
    void showTexts(const char* c, const char* p, const char* i, const char* a, const char* s) override {
        texts = std::string(c) + "|" + p + "|" + i + "|" + a;
        showFor = s;
    }
    void focusCaption() override { ++focused; }
    std::string action = "<not shown>";
    void showAction(const char* a) override { action = a; }
    std::string icon = "<not entered>";
    void enterIcon(const char* location) override { icon = location; }
};

// Answers the questions in order and writes down which were asked.
struct ScriptedDialogs : editor::UserDialogs {
    std::deque<editor::Answer> answers;
    std::vector<std::string> asked;
    std::string refusal;
    editor::Answer ask(editor::Question question) override {
        editor::QuestionText words = editor::questionText(question);
        asked.push_back(std::string(words.title) + ": " + words.text + (words.withCancel ? " [+Cancel]" : ""));
        REQUIRE_MESSAGE(!answers.empty(), "a question nobody expected: " << asked.back());
        editor::Answer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void explainRefusal(const char* reason) override { refusal = reason; }
    void describeError(std::uint32_t error, char* text, std::size_t size) override {
        store::copyField(text, size, ("Error text " + std::to_string(error) + ".").c_str());
    }
};

// Records what the page would show in its item fields.
struct FieldsListener : editor::PageTreeListener {
    using PageTreeListener::PageTreeListener;
    int shown = 0;
    const ItemRecord* lastShown = nullptr;
    TreeNode lastNode = nullptr;

protected:
    void showFields(TreeNode node, const ItemRecord* record) override {
        ++shown;
        lastNode = node;
        lastShown = record;
    }
};

struct PageFixture {
    store::MemoryKeyStore& keys;
    editor::PageState state;
    editor::MemoryTree tree;
    FakeToolbar toolbar;
    FakeSheet sheet;
    editor::Page page{state, tree, toolbar, sheet};
    FieldsListener fields{page};

    PageFixture(store::MemoryKeyStore& store, const char* kind) : keys(store) {
        editor::setContextKind(state, kind);
        tree.setListener(&fields);
    }
    ~PageFixture() { editor::clear(page); }

    // Loads as the page does when it opens, taking in its kind's save count.
    void load() {
        REQUIRE(editor::load(page, keys));
        state.generationSeen = editor::saveCount(state.contextKind);
    }
    // The user accepts a reload: another page's save of this kind is
    // announced, and the page's own reload check is answered Yes.
    void reload() {
        editor::announceSave(state.contextKind);
        RecordingFields shown;
        ScriptedDialogs dialogs;
        dialogs.answers = {editor::Answer::Yes};
        editor::PageController controller(page, shown, dialogs, keys);
        REQUIRE(controller.reloadCheck());
        REQUIRE(dialogs.answers.empty());
    }
};

// Store layout: the store writer, and reading back what a save wrote.
using store::putFreeIds;
using store::putIndex;
using store::putItem;
using store::putMaxId;

inline std::string itemPath(std::uint32_t id) { return store::itemKeyPath(id); }

inline std::uint32_t storedMaxId(store::MemoryKeyStore& keys) {
    store::ScopedKey items(keys, keys.openForRead(nullptr, store::kItemsKey));
    return store::readMaxId(keys, items.get());
}

inline std::vector<std::uint32_t> storedFreeIds(store::MemoryKeyStore& keys) {
    store::ScopedKey items(keys, keys.openForRead(nullptr, store::kItemsKey));
    return store::readFreeIds(keys, items.get());
}

// "(5,0) (6,5)" for an index list.
inline std::string storedList(store::MemoryKeyStore& keys, const char* kind) {
    std::string out;
    for (const store::IndexEntry& entry : store::readIndexList(keys, kind))
        out += (out.empty() ? "(" : " (") + std::to_string(entry.id) + "," +
               std::to_string(entry.parent) + ")";
    return out;
}

inline std::string storedCaption(store::MemoryKeyStore& keys, std::uint32_t id) {
    const store::MemoryKeyStore::Value* value = keys.value(itemPath(id), store::kCaptionValue);
    if (!value || value->data.empty()) return "<none>";
    return std::string(value->data.begin(), value->data.end() - 1);
}

// An item's optional values in words, "Selection 1, ShowFor \"*.txt\",
// RunAs 1", leaving out those at their defaults; "none" without any.
inline std::string optionalWords(std::uint32_t selection, const std::string& showFor,
                                 std::uint32_t runAs) {
    std::string out;
    auto add = [&](const std::string& words) { out += (out.empty() ? "" : ", ") + words; };
    if (selection) add("Selection " + std::to_string(selection));
    if (!showFor.empty()) add("ShowFor \"" + showFor + "\"");
    if (runAs) add("RunAs " + std::to_string(runAs));
    return out.empty() ? "none" : out;
}

inline std::string optionalWords(const store::StoredItem& item) {
    return optionalWords(item.selection, item.showFor, item.runAs);
}

// The same for what an item key holds; a value it holds at its default
// shows as such ("Selection 0"), one of another shape as "malformed".
inline std::string storedOptional(store::MemoryKeyStore& keys, std::uint32_t id) {
    std::string out;
    auto add = [&](const std::string& words) { out += (out.empty() ? "" : ", ") + words; };
    for (const char* name : {store::kSelectionValue, store::kShowForValue, store::kRunAsValue}) {
        const store::MemoryKeyStore::Value* value = keys.value(itemPath(id), name);
        if (!value) continue;
        const std::vector<unsigned char>& data = value->data;
        if (name == store::kShowForValue && value->type == store::kTypeString && !data.empty())
            add(std::string(name) + " \"" + std::string(data.begin(), data.end() - 1) + "\"");
        else if (name != store::kShowForValue && value->type == store::kTypeDword && data.size() == 4)
            add(std::string(name) + " " + std::to_string(data[0] | data[1] << 8 | data[2] << 16 | data[3] << 24));
        else
            add(std::string(name) + " malformed");
    }
    return out.empty() ? "none" : out;
}

// The store's changes since recordChanges(), one a line, with the keys
// below "Software\Talvex\Korvane\" named from there.
inline std::string storeChanges(const store::MemoryKeyStore& keys) {
    const std::string prefix = "Software\\Talvex\\Korvane\\";
    std::string out;
    for (std::string line : keys.changes()) {
        std::size_t at = line.find(prefix);
        if (at != std::string::npos) line.erase(at, prefix.size());
        out += line + "\n";
    }
    return out;
}

// Tree descriptions: captions in order, separators as "-", children in
// parentheses, "+" after an expanded node.
inline std::string shape(TreePrimitives& tree, bool withExpanded = false, TreeNode parent = nullptr) {
    std::string out;
    for (TreeNode node = tree.firstChild(parent); node; node = tree.nextSibling(node)) {
        if (!out.empty()) out += ",";
        const ItemRecord* record = tree.value(node);
        out += record ? record->caption : "-";
        if (withExpanded && tree.isExpanded(node)) out += "+";
        if (tree.firstChild(node)) out += "(" + shape(tree, withExpanded, node) + ")";
    }
    return out;
}

inline TreeNode findCaption(TreePrimitives& tree, const std::string& caption,
                            TreeNode parent = nullptr) {
    for (TreeNode node = tree.firstChild(parent); node; node = tree.nextSibling(node)) {
        const ItemRecord* record = tree.value(node);
        if (record && caption == record->caption) return node;
        if (TreeNode found = findCaption(tree, caption, node)) return found;
    }
    return nullptr;
}

inline void collectNodes(TreePrimitives& tree, TreeNode parent, std::vector<TreeNode>& out) {
    for (TreeNode node = tree.firstChild(parent); node; node = tree.nextSibling(node)) {
        out.push_back(node);
        collectNodes(tree, node, out);
    }
}

}  // namespace editor_testing
