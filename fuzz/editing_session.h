// Editing over the in-memory tree, driven by the input: the store the pages
// load (empty, or any data for the first page's list), then a sequence of
// steps on one page or two of the same process: new of each kind, select,
// delete, the four moves, field and action edits, the optional settings,
// expand, apply, the reload check and closing the sheet with each answer.
//
// After every step the tree is checked (texts, records, buttons, the
// modified marker); after every save the store's invariants, that the lists
// of other kinds stayed as they were, that each item's key holds exactly the
// optional values its record uses (none left by an item that had the id
// before), and that a fresh load shows exactly the tree that was saved;
// after a save refused for size, that nothing was written. An apply step
// may have the store refuse its writes from a point on: the page must say
// so and keep its edits, the kind's list must be the old one with its items
// or the new one whole, and the page's next save must write its tree.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "action_edit.h"
#include "chosen_command.h"
#include "fuzz_support.h"
#include "icon_location.h"
#include "memory_key_store.h"
#include "menu_walk.h"
#include "memory_tree.h"
#include "menu_store.h"
#include "modified_marker.h"
#include "page_controller.h"
#include "page_fakes.h"
#include "save_bookkeeping.h"
#include "store_layout.h"
#include "store_save.h"
#include "store_writer.h"
#include "tree_model.h"
#include "tree_moves.h"

namespace fuzzing {

using editor::ItemRecord;
using editor::TreeNode;

// What a tree shows, node by node in pre-order, as one line each.
inline void describe(editor::TreePrimitives& tree, TreeNode parent, int depth, std::string& out) {
    for (TreeNode node = tree.firstChild(parent); node; node = tree.nextSibling(node)) {
        const ItemRecord* r = tree.value(node);
        out += std::string(static_cast<std::size_t>(depth) * 2, ' ');
        if (r) {
            // Raw texts, "|" between them: a failure prints the whole
            // description escaped.
            out += "#" + std::to_string(r->id) + (r->isNew ? " new" : "") + " sub " +
                   std::to_string(r->isSubmenu) + " " + r->caption + "|" + r->prompt + "|" + r->icon +
                   "|" + r->action + "|selection " + std::to_string(r->selection) + " show for " +
                   r->showFor + " run as " + std::to_string(r->runAs);
        } else {
            out += "-";
        }
        out += "\n";
        describe(tree, node, depth + 1, out);
    }
}

inline std::string describe(editor::TreePrimitives& tree) {
    std::string out;
    describe(tree, nullptr, 0, out);
    return out;
}

using page_fakes::FakeSheet;
using page_fakes::FakeToolbar;

// One editor page of a sheet: its state, tree and controller, with the
// sheet, toolbar, fields and message boxes faked. The answers to the
// questions come from the input.
// The user's choice in a picker: cancelled, a path the code page cannot
// spell, or a path of any length.
class FuzzedPickers final : public editor::Pickers {
public:
    explicit FuzzedPickers(Input& in) : in_(in) {}
    std::string picked;
    bool notStorable = false;
    editor::PickOutcome pick(editor::Pick, char* path, std::size_t size) override {
        if (!in_.flag()) {
            notStorable = in_.flag();
            return notStorable ? editor::PickOutcome::NotStorable : editor::PickOutcome::Cancelled;
        }
        picked = in_.text(in_.flag() ? 300 : 30).c_str();  // a C string ends at its first zero
        if (picked.size() >= size) picked.resize(size - 1);
        std::memcpy(path, picked.c_str(), picked.size() + 1);
        return editor::PickOutcome::Chosen;
    }

private:
    Input& in_;
};

class TestPage : public editor::FieldView, public editor::UserDialogs, public editor::TreeListener {
public:
    TestPage(store::MemoryKeyStore& keys, const char* kind, editor::WindowHandle window, Input& in)
        : in_(in), window_(window), controller_(page_, *this, *this, keys) {
        editor::setContextKind(state_, kind);
        tree_.setListener(this);
    }
    ~TestPage() override { controller_.destroy(); }

    editor::PageState& state() { return state_; }
    editor::MemoryTree& tree() { return tree_; }
    editor::PageController& controller() { return controller_; }
    editor::Page& page() { return page_; }
    FakeToolbar& toolbar() { return toolbar_; }
    FakeSheet& sheet() { return sheet_; }
    editor::WindowHandle window() const { return window_; }

    // What the last question was and how it was answered.
    int asked = 0;
    editor::Question lastQuestion = editor::Question::Delete;
    editor::Answer lastAnswer = editor::Answer::No;
    std::string refusal;
    std::string shownTexts;
    std::string shownAction;

    editor::Answer ask(editor::Question question) override {
        ++asked;
        lastQuestion = question;
        std::uint8_t b = in_.byte() % 3;
        lastAnswer = b == 0 ? editor::Answer::Yes : b == 1 ? editor::Answer::No : editor::Answer::Cancel;
        return lastAnswer;
    }
    void explainRefusal(const char* reason) override { refusal = reason ? reason : "<null>"; }
    void describeError(std::uint32_t error, char* text, std::size_t size) override {
        std::snprintf(text, size, "System words for %u.", static_cast<unsigned>(error));
    }
    void enableFields(bool, bool) override {}
    void showTexts(const char* caption, const char* prompt, const char* icon, const char* action,
                   const char* showFor) override {
        shownTexts = std::string(caption) + "|" + prompt + "|" + icon + "|" + action + "|" + showFor;
    }
    void focusCaption() override {}
    void showAction(const char* action) override { shownAction = action; }
    void enterIcon(const char* location) override {
        controller_.fieldEdited(editor::Field::Icon, location);
    }
    void nodeDeleted(TreeNode node, ItemRecord* value) override { controller_.nodeDeleted(node, value); }
    void selectionChanged(TreeNode node) override { controller_.selectionChanged(node); }

private:
    Input& in_;
    editor::WindowHandle window_;
    editor::PageState state_;
    editor::MemoryTree tree_;
    FakeToolbar toolbar_;
    FakeSheet sheet_;
    editor::Page page_{state_, tree_, toolbar_, sheet_};
    editor::PageController controller_;
};

inline std::vector<TreeNode> nodesOf(editor::TreePrimitives& tree) {
    std::vector<TreeNode> out;
    std::vector<TreeNode> stack;
    for (TreeNode node = tree.firstChild(nullptr); node;) {
        out.push_back(node);
        if (TreeNode child = tree.firstChild(node)) {
            node = child;
            continue;
        }
        while (node && !tree.nextSibling(node)) node = tree.parent(node);
        if (node) node = tree.nextSibling(node);
    }
    return out;
}

// The handler's menu as a tree of lines, each item with its caption, help
// text, icon (or the shield) and the action choosing it would start.
class MenuTree : public handler::MenuSink {
public:
    std::map<std::uintptr_t, std::vector<std::pair<std::string, std::uintptr_t>>> menus;
    std::vector<handler::ItemSlot>* table = nullptr;
    store::KeyStore* keys = nullptr;  // where a choice reads the command

    handler::MenuHandle createSubmenu() override {
        return reinterpret_cast<handler::MenuHandle>(++count_);
    }
    void insertSeparator(handler::MenuHandle menu, unsigned) override {
        menus[reinterpret_cast<std::uintptr_t>(menu)].push_back({"-", 0});
    }
    bool insertItem(handler::MenuHandle menu, unsigned, const handler::MenuItem& item) override {
        const handler::ItemSlot& slot = (*table)[item.id - 1];
        std::string line = std::string(item.caption) + "|" + slot.prompt + "|" + slot.iconFile + "," +
                           std::to_string(slot.iconIndex) + (slot.shield ? " shield" : "") + "|" +
                           handler::readChosenCommand(*keys, slot.id).action;
        menus[reinterpret_cast<std::uintptr_t>(menu)].push_back(
            {line, reinterpret_cast<std::uintptr_t>(item.submenu)});
        return true;
    }
    handler::BitmapHandle makeIconBitmap(const handler::ItemSlot&) override { return nullptr; }

    std::string describe(std::uintptr_t menu = 1, int depth = 0) {
        std::string out;
        for (const auto& [line, submenu] : menus[menu]) {
            out += std::string(static_cast<std::size_t>(depth) * 2, ' ') + line + "\n";
            if (submenu) out += describe(submenu, depth + 1);
        }
        return out;
    }

private:
    std::uintptr_t count_ = 1;
};

// The same lines from the editor's tree: what the handler must show for it.
inline void expectedMenu(editor::TreePrimitives& tree, TreeNode parent, int depth, std::string& out) {
    for (TreeNode node = tree.firstChild(parent); node; node = tree.nextSibling(node)) {
        out += std::string(static_cast<std::size_t>(depth) * 2, ' ');
        const ItemRecord* r = tree.value(node);
        if (!r) {
            out += "-\n";
            continue;
        }
        char file[store::kIconSize] = "";
        int index = r->icon[0] ? store::parseIconLocation(r->icon, file, sizeof file) : 0;
        const bool shield = !r->isSubmenu && !r->icon[0] && r->runAs == store::kRunAsElevated;
        out += std::string(r->caption) + "|" + r->prompt + "|" + file + "," + std::to_string(index) +
               (shield ? " shield" : "") + "|" + (r->isSubmenu ? "" : r->action) + "\n";
        if (r->isSubmenu) expectedMenu(tree, node, depth + 1, out);
    }
}

class Session {
public:
    Session(const std::uint8_t* data, std::size_t size, bool twoPages) : in_(data, size), twoPages_(twoPages) {
        // The process-wide save counts outlive one input; a page takes in its
        // kind's count when it opens, so whether it is offered a reload
        // depends on this input's saves alone.
    }

    void run() {
        const char* const kinds[] = {store::kKindFile, store::kKindDirectory, store::kKindBackground,
                                     store::kKindDrive, store::kKindCdrom};
        std::uint8_t setup = in_.byte();
        kinds_[0] = kinds[setup % 5];
        kinds_[1] = setup & 0x80 ? kinds_[0] : kinds[(setup / 5) % 5];
        clean_ = (setup & 0x40) == 0;
        if (!clean_) fillStore();
        for (int i = 0; i < (twoPages_ ? 2 : 1); ++i) open(i);

        for (int step = 0; step < 400 && !in_.empty(); ++step) {
            int which = 0;
            std::uint8_t op = in_.byte();
            if (twoPages_ && op >= 0xC0) which = 1;
            step_ = step;
            refuseWrites_ = (op & 0xC0) == 0x40;  // in two_pages, 0xC0 and above is the second page
            Step action = stepOf(op);
            if (action == Step::RepeatNext) {  // the next step many times over: large trees from short inputs
                int times = in_.byte() % 64 + 2;
                action = stepOf(in_.byte(), /*repeatable=*/true);
                // Saves, reloads and closing once: each checks it all.
                if (action == Step::Apply || action == Step::ReloadCheck || action == Step::CloseSheet)
                    times = 1;
                for (int i = 0; i < times; ++i) doStep(which, action);
            } else {
                doStep(which, action);
            }
            checkPage(which);
        }
        refuseWrites_ = false;
        for (int i = 0; i < 2; ++i)
            if (pages_[i] && retryOwed_[i] && pages_[i]->state().modified) apply(i);
        for (auto& page : pages_) page.reset();
        check(keys_.openHandles() == 0, "every key a page opened is closed", "0 open",
              std::to_string(keys_.openHandles()) + " open");
    }

private:
    // Any data for the first page's list: entries of small or raw ids, the
    // items they name with values of any shape, "MaxID" and "FreeIDs".
    void fillStore() {
        std::vector<unsigned char> list;
        std::size_t entries = in_.u16() % 1100;
        std::uint8_t shape = in_.byte() % 3;
        auto add = [&](std::uint16_t id, std::uint16_t parent) {
            list.insert(list.end(), {static_cast<unsigned char>(id), static_cast<unsigned char>(id >> 8),
                                     static_cast<unsigned char>(parent),
                                     static_cast<unsigned char>(parent >> 8)});
        };
        if (shape == 2) {
            // A large menu from a few bytes: ids stepping through 1 to
            // `ids`, every `nest`-th entry starting a run inside the one
            // before it, every `sub`-th id a submenu.
            std::uint32_t ids = in_.u16() % 1100 + 1, step = in_.byte() | 1, nest = in_.byte() % 8 + 1,
                          sub = in_.byte() % 6 + 1;
            std::uint16_t previous = 0;
            for (std::size_t i = 0; i < entries; ++i) {
                std::uint16_t id = static_cast<std::uint16_t>(1 + (i * step) % ids);
                add(id, i % nest == 0 ? 0 : previous);
                previous = id % sub == 0 ? id : previous;
            }
            for (std::uint32_t id = 1; id <= ids; ++id)
                store::putItem(keys_, id, "G" + std::to_string(id), id % sub == 0, "g.exe \"%1\"");
        }
        for (std::size_t i = 0; shape < 2 && i < entries && !in_.empty(); ++i) {
            std::uint16_t id = shape ? in_.u16() : in_.byte() % 40;
            std::uint16_t parent = shape ? in_.u16() : in_.byte() % 40;
            add(id, parent);
        }
        std::vector<std::uint8_t> stray = in_.bytes(in_.byte() % 4);
        list.insert(list.end(), stray.begin(), stray.end());
        keys_.setValue(store::kIndexKey, kinds_[0], store::kTypeBinary, list.data(), list.size());

        for (std::size_t n = in_.byte() % 48; n > 0 && !in_.empty(); --n) {
            std::uint32_t id = in_.flag() ? in_.u16() : in_.byte() % 40;
            std::string path = store::itemKeyPath(id);
            keys_.setValue(path, "", store::kTypeString, "", 1);
            // The five values of every item, then the optional ones.
            const std::size_t longest[] = {80, 80, 300, 0, 2100, 0, 300, 0};
            const char* const names[] = {store::kCaptionValue, store::kPromptValue, store::kIconValue,
                                         store::kIsSubMenuValue, store::kActionValue, store::kSelectionValue,
                                         store::kShowForValue, store::kRunAsValue};
            for (int v = 0; v < 8; ++v) {
                std::uint8_t shape = in_.byte() % 4;
                if (shape == 0) continue;
                if (v == 3 || v == 5 || v == 7) {
                    std::uint32_t number = shape == 1 ? in_.byte() % 2 : in_.u32();
                    if (shape == 3) keys_.setString(path, names[v], "1");  // of the wrong type
                    else keys_.setNumber(path, names[v], number);
                    continue;
                }
                std::string text = in_.text(longest[v], shape != 3);
                if (shape == 2) keys_.setValue(path, names[v], store::kTypeString, text.data(), text.size());
                else keys_.setString(path, names[v], text);
            }
        }
        if (in_.flag()) store::putMaxId(keys_, in_.flag() ? in_.u32() : in_.u16() % 1100);
        if (in_.flag()) {
            std::vector<std::uint32_t> free;
            for (std::size_t n = in_.byte() % 16; n > 0; --n) free.push_back(in_.flag() ? in_.u32() : in_.u16() % 1100);
            store::putFreeIds(keys_, free);
        }
    }

    // A whole save is news to the other page of its kind, and to none else.
    void saved(int which) {
        questionOwed_[which] = false;
        int other = 1 - which;
        if (twoPages_ && pages_[other] && std::strcmp(kinds_[other], kinds_[which]) == 0)
            questionOwed_[other] = true;
    }

    void open(int which) {
        retryOwed_[which] = false;
        questionOwed_[which] = false;
        pages_[which] = std::make_unique<TestPage>(keys_, kinds_[which], windowFor(which), in_);
        pages_[which]->controller().initialize();
        checkLoadedAsStored(which, "a page that opens shows its stored list");
    }

    editor::WindowHandle windowFor(int which) {
        return reinterpret_cast<editor::WindowHandle>(static_cast<std::uintptr_t>(0x1000 + 16 * ++opened_ + which));
    }

    std::string where(int which) const {
        return "step " + std::to_string(step_) + ", page " + std::to_string(which + 1) + " (kind " +
               kinds_[which] + ")";
    }

    // What one input byte does; the weights of the steps are their shares
    // of the 20 values a byte maps to.
    enum class Step {
        NewSubmenu, NewCommand, NewSeparator, Select, Delete, MoveUp, MoveDown, MoveOut, MoveIn,
        Type, ActionMenu, ToggleExpanded, Apply, ReloadCheck, CloseSheet, RepeatNext,
    };
    // `repeatable`: a step to repeat, which is never RepeatNext itself.
    static Step stepOf(std::uint8_t byte, bool repeatable = false) {
        static const Step kSteps[20] = {
            Step::NewSubmenu, Step::NewCommand, Step::NewSeparator, Step::Select,
            Step::Select,     Step::Delete,     Step::MoveUp,       Step::MoveDown,
            Step::MoveOut,    Step::MoveIn,     Step::Type,         Step::Type,
            Step::ActionMenu, Step::ToggleExpanded, Step::Apply,    Step::Apply,
            Step::Apply,      Step::ReloadCheck, Step::CloseSheet,  Step::RepeatNext,
        };
        return kSteps[byte % 0x40 % (repeatable ? 19 : 20)];
    }

    void doStep(int which, Step step) {
        TestPage& page = *pages_[which];
        editor::MemoryTree& tree = page.tree();
        switch (step) {
            case Step::NewSubmenu: case Step::NewCommand: case Step::NewSeparator: {
                const int made = static_cast<int>(step) - static_cast<int>(Step::NewSubmenu);
                std::size_t before = tree.count();
                page.controller().command(editor::kCommandNewSubmenu + made);
                if (tree.count() == before + 1) {
                    TreeNode node = tree.selected();
                    const ItemRecord* r = tree.value(node);
                    const bool separator = step == Step::NewSeparator;
                    check(node && (separator ? !r : r && r->isNew &&
                                                        (r->isSubmenu != 0) == (step == Step::NewSubmenu)),
                          "the new node is selected and of the kind asked for",
                          step == Step::NewSubmenu   ? "a new submenu"
                          : step == Step::NewCommand ? "a new command"
                                                     : "a separator",
                          describe(tree), where(which));
                }
                break;
            }
            case Step::Select: {  // select a node, as a click does
                std::vector<TreeNode> nodes = nodesOf(tree);
                if (nodes.empty()) break;
                TreeNode node = nodes[in_.below(static_cast<std::uint32_t>(nodes.size()))];
                bool changes = node != tree.selected();  // selecting it again reports nothing
                tree.select(node);
                const ItemRecord* r = tree.value(node);
                if (changes && r)
                    checkEqual(std::string(r->caption) + "|" + r->prompt + "|" + r->icon + "|" + r->action +
                                   "|" + r->showFor,
                               page.shownTexts, "the fields show the selected item", where(which));
                break;
            }
            case Step::Delete: {  // with the answer to "are you sure"
                TreeNode node = tree.selected();
                std::size_t subtree = node ? subtreeSize(tree, node) : 0;
                std::size_t before = tree.count();
                int asked = page.asked;
                page.controller().command(editor::kCommandDelete);
                bool yes = node && page.asked > asked && page.lastAnswer == editor::Answer::Yes;
                checkEqual(yes ? before - subtree : before, tree.count(),
                           "a confirmed delete takes the selected subtree, any other answer nothing",
                           where(which));
                break;
            }
            case Step::MoveUp: case Step::MoveDown: case Step::MoveOut: case Step::MoveIn: {
                int command = editor::kCommandMoveUp +
                              (static_cast<int>(step) - static_cast<int>(Step::MoveUp));
                TreeNode node = tree.selected();
                editor::MoveAvailability can = editor::moveAvailability(tree, node);
                bool possible = node && (command == editor::kCommandMoveUp     ? can.up
                                         : command == editor::kCommandMoveDown ? can.down
                                         : command == editor::kCommandMoveOut  ? can.out
                                                                               : can.in);
                std::string subtree = node ? describeSubtree(tree, node) : "";
                std::size_t before = tree.count();
                page.controller().command(command);
                checkEqual(before, tree.count(), "a move keeps every node", where(which));
                if (possible)
                    checkEqual(subtree, describeSubtree(tree, tree.selected()),
                               "the moved subtree arrives whole and stays selected", where(which));
                break;
            }
            case Step::Type: {  // into a field, or one of the optional settings
                std::uint8_t what = in_.byte() % 7;
                if (what >= 4) {
                    setOptional(page, what);
                    break;
                }
                editor::Field field = static_cast<editor::Field>(what);
                std::size_t longest = field == editor::Field::Action ? 2100 : field == editor::Field::Icon ? 300 : 80;
                std::string text = in_.text(longest);
                page.controller().fieldEdited(field, text.c_str());
                break;
            }
            case Step::ActionMenu: {  // its commands, and the icon picker
                ItemRecord* r = editor::recordOf(tree, tree.selected());
                FuzzedPickers pickers(in_);
                int id = editor::kActionNormal + in_.byte() % 12;  // one past the last: the icon button
                std::string before = r ? r->action : "";
                std::uint8_t modified = page.state().modified;
                page.refusal.clear();
                page.shownAction = "<not shown>";
                std::string iconBefore = r ? r->icon : "";
                auto checkNotStorableRefused = [&] {
                    if (!pickers.notStorable) return;
                    checkEqual(std::string(editor::kPathNotStorableText), page.refusal,
                               "a path the code page cannot spell is refused with its reason", where(which));
                    checkEqual(iconBefore, std::string(r ? r->icon : ""), "and the icon stays", where(which));
                };
                if (id > editor::kActionParentAsWorkingFolder) {
                    page.controller().pickIcon(pickers);
                    if (r && !pickers.picked.empty())
                        checkEqual(pickers.picked, r->icon, "a picked icon is the record's", where(which));
                    checkNotStorableRefused();
                    break;
                }
                page.controller().actionCommand(id, pickers);
                checkNotStorableRefused();
                if (!r || r->isSubmenu) {
                    checkEqual(std::string("<not shown>"), page.shownAction,
                               "only a command's action is edited", where(which));
                    break;
                }
                if (page.refusal.empty() && page.shownAction != "<not shown>") {
                    checkEqual(std::string(r->action), page.shownAction, "the field shows the new action", where(which));
                    check(page.state().modified != 0, "an action edit marks the page modified", "modified",
                          "unmodified", where(which));
                } else {
                    checkEqual(before, std::string(r->action), "a refused or cancelled edit changes nothing",
                               where(which));
                    checkEqual(modified, page.state().modified, "nor the modified marker", where(which));
                }
                break;
            }
            case Step::ToggleExpanded:
                if (TreeNode node = tree.selected()) tree.setExpanded(node, !tree.isExpanded(node));
                break;
            case Step::Apply:
                apply(which);
                break;
            case Step::ReloadCheck:
                reloadCheck(which);
                break;
            case Step::CloseSheet:
                closeSheet(which);
                break;
            case Step::RepeatNext:
                break;
        }
    }

    // Patterns (4), a selection setting of any number (5) or elevation (6)
    // for the selected item, set directly or as the page sets them (typed
    // into "Show for", chosen in the action menu): taken where the setting
    // belongs, and then what the page gives back.
    void setOptional(TestPage& page, std::uint8_t what) {
        editor::PageController& controller = page.controller();
        const ItemRecord* r = editor::recordOf(page.tree(), page.tree().selected());
        const bool command = r && !r->isSubmenu;
        bool taken = false, belongs = false;
        std::string want, have;
        if (what == 4) {
            std::string text = in_.text(300);
            belongs = r != nullptr;
            if (in_.flag()) {
                controller.fieldEdited(editor::Field::ShowFor, text.c_str());
                taken = belongs;  // typing has no answer; the getter below tells
            } else {
                taken = controller.setShowFor(text.c_str());
            }
            want = belongs ? text.substr(0, store::kShowForSize - 1) : "";
            have = controller.showFor();
        } else if (what == 5) {
            std::uint32_t selection = in_.byte() % 4;
            belongs = command && selection <= store::kSelectionAllAtOnce;
            if (selection <= store::kSelectionAllAtOnce && in_.flag()) {
                controller.settingCommand(editor::kSettingFirstOnly + static_cast<int>(selection));
                taken = belongs;
            } else {
                taken = controller.setSelection(selection);
            }
            want = std::to_string(belongs ? selection : command ? r->selection : 0);
            have = std::to_string(controller.selection());
        } else {
            bool elevated = in_.flag();
            belongs = command;
            if (in_.flag()) {  // "Run as Administrator" turns it over
                elevated = !controller.runAs();
                controller.settingCommand(editor::kSettingRunAsAdministrator);
                taken = belongs;
            } else {
                taken = controller.setRunAs(elevated);
            }
            want = belongs ? (elevated ? "elevated" : "as the user") : "as the user";
            have = controller.runAs() ? "elevated" : "as the user";
        }
        check(taken == belongs, "an optional setting is taken exactly where it belongs",
              belongs ? "taken" : "refused", taken ? "taken" : "refused", where(pageIndex(page)));
        checkEqual(want, have, "the page gives back the setting", where(pageIndex(page)));
    }

    int pageIndex(const TestPage& page) const { return pages_[1].get() == &page ? 1 : 0; }

    // What the page's items must find in their keys after a save: each
    // optional value the record uses, and no other, whatever the id held
    // before.
    void checkItemValues(int which, const std::string& context) {
        TestPage& page = *pages_[which];
        for (TreeNode node : nodesOf(page.tree())) {
            const ItemRecord* r = page.tree().value(node);
            if (!r) continue;
            const std::string path = store::itemKeyPath(r->id);
            auto number = [&](const char* name) -> std::string {
                const store::MemoryKeyStore::Value* v = keys_.value(path, name);
                if (!v) return "absent";
                if (v->type != store::kTypeDword || v->data.size() != 4) return "malformed";
                return std::to_string(v->data[0] | v->data[1] << 8 | v->data[2] << 16 | v->data[3] << 24);
            };
            const store::MemoryKeyStore::Value* showFor = keys_.value(path, store::kShowForValue);
            // A stored text keeps its terminating zero.
            std::string want = std::string("selection ") + (r->selection ? std::to_string(r->selection) : "absent") +
                               ", show for " + (r->showFor[0] ? std::string(r->showFor) + '\0' : "absent") +
                               ", run as " + (r->runAs ? std::to_string(r->runAs) : "absent");
            std::string have = "selection " + number(store::kSelectionValue) + ", show for " +
                               (showFor ? std::string(showFor->data.begin(), showFor->data.end()) : "absent") +
                               ", run as " + number(store::kRunAsValue);
            checkEqual(want, have, "an item's key holds the optional values its record uses, no more",
                       context + ", item " + std::to_string(r->id));
        }
    }

    static std::size_t subtreeSize(editor::TreePrimitives& tree, TreeNode node) {
        std::size_t n = 1;
        for (TreeNode child = tree.firstChild(node); child; child = tree.nextSibling(child))
            n += subtreeSize(tree, child);
        return n;
    }

    static std::string describeSubtree(editor::TreePrimitives& tree, TreeNode node) {
        if (!node) return "<nothing selected>";
        const ItemRecord* r = tree.value(node);
        std::string out = r ? "#" + std::to_string(r->id) + " " + r->caption : "-";
        std::string below;
        describe(tree, node, 1, below);
        return out + "\n" + below;
    }

    // What the page holds must hold after every step.
    void checkPage(int which) {
        TestPage& page = *pages_[which];
        editor::MemoryTree& tree = page.tree();
        std::vector<TreeNode> nodes = nodesOf(tree);
        std::string context = where(which);
        checkEqual(nodes.size(), tree.count(), "the tree counts the nodes it holds", context);
        std::set<const ItemRecord*> records;
        for (TreeNode node : nodes) {
            const ItemRecord* r = tree.value(node);
            char text[300];
            tree.getText(node, text, sizeof text);
            checkEqual(r ? r->caption : editor::kSeparatorText, text, "a node shows its caption", context);
            if (!r) {
                check(!tree.firstChild(node), "a separator holds nothing", "no children", "children",
                      context);
                continue;
            }
            check(records.insert(r).second, "no record is shown by two nodes", "one node per record",
                  "a record shown twice", context);
            check(terminated(r->caption, sizeof r->caption) && terminated(r->prompt, sizeof r->prompt) &&
                      terminated(r->icon, sizeof r->icon) && terminated(r->action, sizeof r->action),
                  "every field of a record is terminated", "terminated", "a field without terminator",
                  context);
            if (!r->isSubmenu)
                check(!tree.firstChild(node), "only submenus hold other items", "a command without children",
                      describeSubtree(tree, node), context);
        }
        TreeNode selected = tree.selected();
        check(!selected || std::find(nodes.begin(), nodes.end(), selected) != nodes.end(),
              "the selection is a node of the tree", "a node of the tree or nothing", "a stray node",
              context);
        editor::MoveAvailability can = editor::moveAvailability(tree, selected);
        std::string want = std::string(selected ? "delete " : "") + (can.up ? "up " : "") +
                           (can.down ? "down " : "") + (can.out ? "out " : "") + (can.in ? "in " : "");
        const FakeToolbar& bar = page.toolbar();
        std::string have = std::string(bar.isEnabled(editor::kCommandDelete) ? "delete " : "") +
                           (bar.isEnabled(editor::kCommandMoveUp) ? "up " : "") +
                           (bar.isEnabled(editor::kCommandMoveDown) ? "down " : "") +
                           (bar.isEnabled(editor::kCommandMoveOut) ? "out " : "") +
                           (bar.isEnabled(editor::kCommandMoveIn) ? "in " : "");
        checkEqual(want, have, "the enabled buttons fit the selected node", context);
        bool starred = !page.sheet().tab.empty() && page.sheet().tab[0] == '*';
        check(starred == (page.state().modified != 0), "the tab has a \"*\" exactly while the page is modified",
              page.state().modified ? "a star" : "no star", page.sheet().tab, context);
    }

    void apply(int which) {
        TestPage& page = *pages_[which];
        std::string context = where(which);
        std::string storeBefore = keys_.dump();
        std::string treeBefore = describe(page.tree());
        bool modified = page.state().modified != 0;
        std::vector<std::uint32_t> deleted = page.state().deletedIds;
        std::map<std::string, std::vector<unsigned char>> otherLists = lists(kinds_[which]);
        std::vector<unsigned char> ownList = listOf(kinds_[which]);
        std::set<std::uint32_t> keyed;  // the ids the kind's list names that have their keys
        for (const store::IndexEntry& e : store::readIndexList(keys_, kinds_[which]))
            if (keys_.hasKey(store::itemKeyPath(e.id))) keyed.insert(e.id);
        std::uint32_t generation = editor::saveCount(kinds_[which]);
        page.refusal.clear();
        if (refuseWrites_)
            keys_.refuseWritesAfter(in_.below(static_cast<std::uint32_t>(page.tree().count() * 9 + 8)),
                                    kRefusalCode);
        bool ok = page.controller().apply();
        keys_.acceptWrites();
        checkEqual(describeLists(otherLists), describeLists(lists(kinds_[which])),
                   "a save leaves the lists of other kinds alone", context);
        if (!modified) {
            check(ok && keys_.dump() == storeBefore, "an unmodified page writes nothing", "nothing written",
                  ok ? "the store changed" : "refused", context);
            return;
        }
        if (!ok) {
            checkEqual(treeBefore, describe(page.tree()), "a refused save keeps the tree", context);
            check(page.state().modified && page.state().deletedIds == deleted,
                  "a refused save keeps the edits", "still modified, deleted ids kept", "lost", context);
            check(editor::saveCount(kinds_[which]) == generation, "no page hears of a refused save",
                  "save count " + std::to_string(generation), std::to_string(editor::saveCount(kinds_[which])),
                  context);
            bool tooMany = page.tree().count() > store::kMaxIndexEntries;
            char forSize[editor::kStoreRefusalSize];
            editor::saveRefusalText(tooMany ? editor::SaveResult::TooManyEntries : editor::SaveResult::NoIdLeft,
                                    false, forSize, sizeof forSize);
            if (!refuseWrites_ || page.refusal == forSize) {
                checkEqual(forSize, page.refusal, "the user is told why", context);
                checkEqual(storeBefore, keys_.dump(), "a save refused for size writes nothing", context);
                return;
            }
            char words[editor::kStoreRefusalSize], text[editor::kStoreRefusalSize];
            page.describeError(kRefusalCode, words, sizeof words);
            editor::storeRefusalText(kRefusalCode, words, false, text, sizeof text);
            checkEqual(text, page.refusal, "a refused write is told with the system's words", context);
            retryOwed_[which] = true;
            if (listOf(kinds_[which]) != ownList) {
                checkHandlerShows(which, "the new list, once written, shows the page's whole tree");
                return;
            }
            for (std::uint32_t id : keyed)
                check(keys_.hasKey(store::itemKeyPath(id)), "the old list keeps every item it names",
                      "item key " + std::to_string(id), "none", context);
            return;
        }
        retryOwed_[which] = false;
        saved(which);
        check(page.tree().count() <= store::kMaxIndexEntries, "a save of more than 1024 entries is refused",
              "refused", "saved " + std::to_string(page.tree().count()) + " entries", context);
        check(!page.state().modified && page.state().deletedIds.empty(),
              "a save leaves the page unmodified with no deleted ids", "unmodified", "still modified", context);
        checkStore(context, kinds_[which]);
        checkItemValues(which, context);
        checkLoadedAsStored(which, "a reload shows exactly the tree that was saved");
        checkHandlerShows(which, "the handler's menu shows the saved tree");
    }

    // What the handler shows for the kind is the page's tree.
    void checkHandlerShows(int which, const char* what) {
        TestPage& page = *pages_[which];
        std::vector<handler::ItemSlot> table;
        MenuTree menu;
        menu.table = &table;
        menu.keys = &keys_;
        handler::MenuRequest request{kinds_[which], reinterpret_cast<handler::MenuHandle>(1), 0, 1,
                                     0x7FFF, handler::IconMode::OwnerDrawn};
        handler::buildMenu(keys_, request, menu, table);
        std::string want;
        expectedMenu(page.tree(), nullptr, 0, want);
        checkEqual(want, menu.describe(), what, where(which));
    }

    void reloadCheck(int which) {
        TestPage& page = *pages_[which];
        std::string treeBefore = describe(page.tree());
        bool wasModified = page.state().modified != 0;
        bool asked = page.controller().reloadCheck();
        check(asked == questionOwed_[which],
              "a page is asked to reload exactly when another page saved its kind since it last "
              "loaded, saved or was asked",
              questionOwed_[which] ? "asked" : "not asked", asked ? "asked" : "not asked", where(which));
        questionOwed_[which] = false;
        if (!asked) {
            checkEqual(treeBefore, describe(page.tree()), "no reload, no change", where(which));
            check((page.state().modified != 0) == wasModified, "no reload, no change", "as it was",
                  "the modified flag changed", where(which));
        } else if (page.lastAnswer == editor::Answer::Yes) {
            check(!page.state().modified, "a reload leaves the page unmodified", "unmodified", "modified",
                  where(which));
            checkLoadedAsStored(which, "a page reloaded shows the stored list");
        } else {
            checkEqual(treeBefore, describe(page.tree()), "a declined reload keeps the tree", where(which));
            check(page.state().modified, "a declined reload leaves the page modified", "modified",
                  "unmodified", where(which));
        }
    }

    // Cancel (asking whether to save) or the sheet closing unapplied; when it
    // closes, the page is opened again on a new sheet.
    void closeSheet(int which) {
        TestPage& page = *pages_[which];
        bool viaCancel = in_.flag();
        bool modified = page.state().modified != 0;
        std::string storeBefore = keys_.dump();
        int asked = page.asked;
        if (viaCancel && page.controller().queryCancel()) {
            check(modified, "cancel keeps the sheet open only for a modified page", "closed", "kept open",
                  where(which));
            return;
        }
        page.controller().reset();
        bool savedOnClose = page.asked > asked && page.lastAnswer == editor::Answer::Yes;
        check(page.asked <= asked + 1, "closing asks at most once", "one question",
              std::to_string(page.asked - asked) + " questions", where(which));
        check(modified || page.asked == asked, "closing an unmodified page asks nothing", "no question",
              "a question", where(which));
        std::string treeBefore = describe(page.tree());
        if (savedOnClose && !page.state().modified) {
            checkStore(where(which), kinds_[which]);
            checkItemValues(which, where(which));
        } else {
            checkEqual(storeBefore, keys_.dump(), "closing without saving writes nothing", where(which));
        }
        bool saved = savedOnClose && !page.state().modified;
        if (saved) this->saved(which);
        open(which);
        if (saved)
            checkEqual(treeBefore, describe(pages_[which]->tree()),
                       "the sheet opened again shows the tree saved on closing", where(which));
    }

    // A fresh page of the kind loads exactly what `which` shows, once the
    // page holds no new items (after a save or a load).
    void checkLoadedAsStored(int which, const char* what) {
        TestPage& page = *pages_[which];
        TestPage fresh(keys_, kinds_[which], nullptr, in_);
        editor::load(fresh.page(), keys_);
        // A loaded list that no save wrote may hold repeated or too large
        // ids: those come in as new items with ids of their own.
        for (TreeNode node : nodesOf(page.tree()))
            if (const ItemRecord* r = page.tree().value(node); r && r->isNew) return;
        checkEqual(describe(fresh.tree()), describe(page.tree()), what, where(which));
    }

    std::vector<unsigned char> listOf(const char* kind) {
        const store::MemoryKeyStore::Value* v = keys_.value(store::kIndexKey, kind);
        return v ? v->data : std::vector<unsigned char>{1, 2, 3, 4, 5};  // absent
    }

    std::map<std::string, std::vector<unsigned char>> lists(const char* except) {
        std::map<std::string, std::vector<unsigned char>> out;
        for (const char* kind : store::kContextKinds)
            if (std::strcmp(kind, except) != 0) out[kind] = listOf(kind);
        return out;
    }

    static std::string describeLists(const std::map<std::string, std::vector<unsigned char>>& all) {
        std::string out;
        for (const auto& [kind, bytes] : all) {
            out += kind + ":";
            for (unsigned char b : bytes) out += " " + std::to_string(b);
            out += "\n";
        }
        return out;
    }

    // The invariants of the lists and of the id bookkeeping. When the store
    // began empty they hold for all lists together; when it began with data
    // no save wrote, other lists may share ids with this one, so only the
    // list just saved is held to them.
    void checkStore(const std::string& context, const char* justSaved) {
        store::ScopedKey items(keys_, keys_.openForRead(nullptr, store::kItemsKey));
        std::uint32_t maxId = store::readMaxId(keys_, items.get());
        std::vector<std::uint32_t> free = store::readFreeIds(keys_, items.get());
        std::map<std::uint32_t, std::string> used;  // id -> the list naming it
        for (const char* kind : store::kContextKinds) {
            if (!clean_ && std::strcmp(kind, justSaved) != 0) continue;
            std::vector<store::IndexEntry> entries = store::readIndexList(keys_, kind);
            std::string at = context + ", list " + kind;
            check(entries.size() <= store::kMaxIndexEntries, "a list holds at most 1024 entries",
                  "at most 1024", std::to_string(entries.size()), at);
            std::vector<std::uint32_t> open{0};
            for (std::size_t i = 0; i < entries.size(); ++i) {
                const store::IndexEntry& e = entries[i];
                std::string entry = at + ", entry " + std::to_string(i) + " (" + std::to_string(e.id) + "," +
                                    std::to_string(e.parent) + ")";
                auto parent = std::find(open.begin(), open.end(), e.parent);
                check(parent != open.end(), "a parent opens before its children", "an open submenu",
                      "parent " + std::to_string(e.parent) + " not open", entry);
                open.erase(parent + 1, open.end());
                if (e.id == 0) continue;
                check(e.id <= store::kMaxStoredId, "ids run from 1 to 999", "at most 999",
                      std::to_string(e.id), entry);
                check(e.id <= maxId, "\"MaxID\" is at least every id in use",
                      "MaxID >= " + std::to_string(e.id), "MaxID " + std::to_string(maxId), entry);
                auto [first, fresh] = used.emplace(e.id, kind);
                check(fresh, "every id is used by one item of one list", "one entry",
                      "also named in list " + first->second, entry);
                check(keys_.hasKey(store::itemKeyPath(e.id)), "every id in use has its item key", "a key",
                      "none", entry);
                store::ScopedKey key(keys_, keys_.openForRead(items.get(), std::to_string(e.id).c_str()));
                if (store::readNumber(keys_, key.get(), store::kIsSubMenuValue) != 0) open.push_back(e.id);
            }
        }
        for (std::size_t i = 0; i < free.size(); ++i) {
            std::string at = context + ", FreeIDs " + std::to_string(free[i]);
            check(free[i] != 0 && free[i] < maxId, "\"FreeIDs\" are neither 0 nor at or above \"MaxID\"",
                  "below MaxID " + std::to_string(maxId), std::to_string(free[i]), at);
            if (i > 0)
                check(free[i - 1] > free[i], "\"FreeIDs\" descend, none repeated", "descending",
                      std::to_string(free[i - 1]) + " then " + std::to_string(free[i]), at);
            check(!used.count(free[i]), "a free id is not in use", "not in use",
                  "named in list " + (used.count(free[i]) ? used[free[i]] : std::string()), at);
        }
    }

    static constexpr std::uint32_t kRefusalCode = 1021;

    Input in_;
    bool twoPages_;
    bool refuseWrites_ = false;  // the step's apply has the store refuse from some point on
    bool retryOwed_[2] = {false, false};  // a save was refused; the next one must write the tree
    // Another page saved this page's kind since it last loaded, saved or was asked.
    bool questionOwed_[2] = {false, false};
    bool clean_ = true;
    const char* kinds_[2] = {nullptr, nullptr};
    store::MemoryKeyStore keys_;
    std::unique_ptr<TestPage> pages_[2];
    int step_ = -1;
    int opened_ = 0;
};

}  // namespace fuzzing
