// The page's behaviour as a user meets it: the fields a selection shows,
// typing, the questions on delete, reload and cancel, and a save the store
// refuses. Two pages share one store as two Properties dialogs would.
#include <doctest/doctest.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "editor_test_support.h"
#include "icon_choice.h"
#include "menu_store.h"
#include "page_controller.h"

using namespace editor_testing;

namespace doctest {
template <>
struct StringMaker<editor::Pick> {
    static String convert(editor::Pick pick) {
        static const char* const names[] = {"Nothing", "Program", "File", "Folder", "WorkingFolder", "Icon"};
        return names[static_cast<int>(pick)];
    }
};
template <>
struct StringMaker<editor::IconChoice> {
    static String convert(editor::IconChoice choice) {
        static const char* const names[] = {"Completed", "NoIcon", "PositionTooHigh", "PathTooLong", "NotStorable"};
        return names[static_cast<int>(choice)];
    }
};
}  // namespace doctest
using editor::Answer;
using editor::Field;
using editor::Question;

namespace {

// The choice of a path that the system's code page cannot spell.
const std::string kNotStorable = "<not storable>";

// Hands out the scripted choices in order; an empty optional is Cancel.
struct ScriptedPickers : editor::Pickers {
    std::deque<std::optional<std::string>> choices;
    std::vector<editor::Pick> asked;
    editor::PickOutcome pick(editor::Pick what, char* path, std::size_t size) override {
        asked.push_back(what);
        REQUIRE_MESSAGE(!choices.empty(), "a picker nobody expected");
        std::optional<std::string> choice = choices.front();
        choices.pop_front();
        if (!choice) return editor::PickOutcome::Cancelled;
        if (*choice == kNotStorable) return editor::PickOutcome::NotStorable;
        store::copyField(path, size, choice->c_str());
        return editor::PickOutcome::Chosen;
    }
};

// One editor page over the in-memory tree: the controller and what it drives.
struct ControlledPage {
    editor::PageState state;
    editor::MemoryTree tree;
    FakeToolbar toolbar;
    FakeSheet sheet;
    editor::Page page{state, tree, toolbar, sheet};
    RecordingFields fields;
    ScriptedDialogs dialogs;
    // The store's lock, or another editor holding it past the wait.
    struct Lock : editor::SaveLock {
        bool busy = false;
        int held = 0;
        bool acquire() noexcept override { return !busy && ++held > 0; }
        void release() noexcept override { --held; }
    } lock;
    editor::PageController controller;
    struct Router : editor::TreeListener {
        editor::PageController& c;
        explicit Router(editor::PageController& controller) : c(controller) {}
        void nodeDeleted(TreeNode n, ItemRecord* r) override { c.nodeDeleted(n, r); }
        void selectionChanged(TreeNode n) override { c.selectionChanged(n); }
    } router{controller};

    ControlledPage(store::MemoryKeyStore& keys, const char* kind)
        : controller(page, fields, dialogs, keys, lock) {
        editor::setContextKind(state, kind);
        tree.setListener(&router);
        controller.initialize();
    }
    ~ControlledPage() { controller.destroy(); }
    void select(const char* caption) { tree.select(findCaption(tree, caption)); }
};

const char kSaveQuestion[] = "Comfirm: Do you want to save the changes?";

void storeSample(store::MemoryKeyStore& keys, const char* kind) {
    putItem(keys, 1, "Tools", true);
    putItem(keys, 2, "Edit", false, "notepad.exe \"%1\"", "Edits it", "shell32.dll,3");
    putIndex(keys, kind, {{1, 0}, {2, 1}, {0, 0}});
    putMaxId(keys, 2);
}

}  // namespace

TEST_SUITE("editor page behaviour") {

TEST_CASE("selecting, typing and deleting") {
    store::MemoryKeyStore keys;
    storeSample(keys, "*");
    ControlledPage p(keys, "*");
    CHECK(shape(p.tree) == "Tools(Edit),-");
    CHECK(p.state.modified == 0);

    p.select("Edit");
    CHECK(p.fields.itemFields);
    CHECK(p.fields.actionFields);
    CHECK(p.fields.texts == "Edit|Edits it|shell32.dll,3|notepad.exe \"%1\"");
    CHECK(p.toolbar.isEnabled(editor::kCommandDelete));
    p.select("Tools");
    CHECK(p.fields.itemFields);
    CHECK_FALSE(p.fields.actionFields);  // a submenu has no action
    CHECK(p.state.modified == 0);        // showing a record is no edit
    p.tree.select(p.tree.nextSibling(p.tree.firstChild(nullptr)));
    CHECK_FALSE(p.fields.itemFields);
    CHECK(p.fields.texts == "|||");

    p.select("Edit");
    std::string longCaption(100, 'c');
    p.controller.fieldEdited(Field::Caption, longCaption.c_str());
    p.controller.fieldEdited(Field::Prompt, "Opens it");
    const ItemRecord* edit = p.tree.selected() ? p.tree.value(p.tree.selected()) : nullptr;
    REQUIRE(edit);
    CHECK(std::string(edit->caption) == std::string(63, 'c'));
    CHECK(shape(p.tree) == "Tools(" + std::string(63, 'c') + "),-");
    CHECK(std::string(edit->prompt) == "Opens it");
    CHECK(p.sheet.tab == "*Context Menu");
    CHECK(p.sheet.changedSent == 1);

    p.dialogs.answers = {Answer::No, Answer::Yes};
    p.controller.command(editor::kCommandDelete);
    CHECK(shape(p.tree) == "Tools(" + std::string(63, 'c') + "),-");
    p.select("Tools");
    p.controller.command(editor::kCommandDelete);
    CHECK(shape(p.tree) == "-");
    CHECK(p.state.deletedIds == std::vector<std::uint32_t>{2, 1});
    CHECK(p.dialogs.asked ==
          std::vector<std::string>(2, "Confirm - Quillon: Are you sure you want to delete the item?"));

    p.controller.command(editor::kCommandNewCommand);
    CHECK(p.fields.focused == 1);
    p.controller.command(editor::kCommandNewSeparator);
    CHECK(p.fields.focused == 1);  // a separator has no caption to type
}

TEST_CASE("another page's save offers a reload, once, to pages of its kind") {
    store::MemoryKeyStore keys;
    storeSample(keys, "*");
    ControlledPage a(keys, "*");
    ControlledPage b(keys, "*");
    ControlledPage folders(keys, "Directory");

    a.controller.command(editor::kCommandNewSeparator);
    REQUIRE(a.controller.apply());
    CHECK(storedList(keys, "*") == "(0,0) (1,0) (2,1) (0,0)");
    CHECK_FALSE(a.controller.reloadCheck());        // its own save
    CHECK_FALSE(folders.controller.reloadCheck());  // no page saved its kind

    SUBCASE("Yes shows the other page's tree, unmodified") {
        b.dialogs.answers = {Answer::Yes};
        CHECK(b.controller.reloadCheck());
        CHECK(shape(b.tree) == "-,Tools(Edit),-");
        CHECK(b.state.modified == 0);
    }
    SUBCASE("No keeps this page's tree and marks it modified") {
        b.dialogs.answers = {Answer::No};
        CHECK(b.controller.reloadCheck());
        CHECK(shape(b.tree) == "Tools(Edit),-");
        CHECK(b.sheet.tab == "*Context Menu");
    }
    CHECK_FALSE(b.controller.reloadCheck());  // only once per save
    CHECK(b.dialogs.asked.size() == 1);

    // A save of another kind is no news to this page, nor is its own save;
    // another page's is.
    b.controller.command(editor::kCommandNewSeparator);
    folders.controller.command(editor::kCommandNewSeparator);
    REQUIRE(folders.controller.apply());
    CHECK_FALSE(b.controller.reloadCheck());
    CHECK(b.state.modified == 1);
    REQUIRE(b.controller.apply());
    CHECK_FALSE(b.controller.reloadCheck());
    a.dialogs.answers = {Answer::No};
    CHECK(a.controller.reloadCheck());
}

TEST_CASE("the selected item's optional settings: where they belong, set once, the page modified") {
    using Controller = editor::PageController;
    const std::string tooLong(300, 'p');
    struct Row {
        std::string what;
        std::string select;  // a caption, or "-" for the separator
        std::function<bool(Controller&)> set;
        bool taken;
        std::string after;  // what the controller's getters then give, in words
    };
    const Row rows[] = {
        {"patterns on a command", "Edit", [](Controller& c) { return c.setShowFor("*.txt;!~*"); }, true,
         "ShowFor \"*.txt;!~*\""},
        {"patterns on a submenu", "Tools", [](Controller& c) { return c.setShowFor("*.log"); }, true,
         "ShowFor \"*.log\""},
        {"patterns cut to the field", "Edit", [&](Controller& c) { return c.setShowFor(tooLong.c_str()); },
         true, "ShowFor \"" + std::string(259, 'p') + "\""},
        {"each in turn", "Edit", [](Controller& c) { return c.setSelection(store::kSelectionEachInTurn); },
         true, "Selection 1"},
        {"elevated", "Edit", [](Controller& c) { return c.setRunAs(true); }, true, "RunAs 1"},
        {"a selection setting no reader knows", "Edit", [](Controller& c) { return c.setSelection(3); },
         false, "none"},
        {"a submenu runs nothing", "Tools",
         [](Controller& c) { return c.setSelection(store::kSelectionEachInTurn) || c.setRunAs(true); },
         false, "none"},
        {"a separator has no settings", "-",
         [](Controller& c) { return c.setShowFor("*.txt") || c.setSelection(1) || c.setRunAs(true); },
         false, "none"},
        {"typed into Show for", "Tools",
         [](Controller& c) { c.fieldEdited(editor::Field::ShowFor, "*.txt;*.log"); return true; }, true,
         "ShowFor \"*.txt;*.log\""},
        {"All at Once in the action menu", "Edit",
         [](Controller& c) {
             c.settingCommand(editor::kSettingAllAtOnce);
             return c.selectionCommand() == editor::kSettingAllAtOnce;
         },
         true, "Selection 2"},
        {"Run as Administrator in the action menu", "Edit",
         [](Controller& c) {
             c.settingCommand(editor::kSettingRunAsAdministrator);
             return c.runAs();
         },
         true, "RunAs 1"},
        {"the action menu's settings on a submenu", "Tools",
         [](Controller& c) {
             c.settingCommand(editor::kSettingEachSeparately);
             c.settingCommand(editor::kSettingRunAsAdministrator);
             return c.selectionCommand() != editor::kSettingFirstOnly || c.runAs();
         },
         false, "none"},
        {"the value the item has already", "Edit",
         [](Controller& c) { return c.setShowFor("") && c.setSelection(0) && c.setRunAs(false); }, true,
         "none"},
    };
    for (const Row& row : rows) {
        CAPTURE(row.what);
        store::MemoryKeyStore keys;
        storeSample(keys, "*");
        ControlledPage p(keys, "*");
        if (row.select == "-") p.tree.select(p.tree.nextSibling(p.tree.firstChild(nullptr)));
        else p.select(row.select.c_str());
        CHECK(row.set(p.controller) == row.taken);
        const bool changed = row.after != "none";
        CHECK_MESSAGE(p.state.modified == (changed ? 1 : 0),
                      (changed ? "a new setting must mark the page modified" : "nothing new: the page stays as it was"));
        CHECK(p.sheet.tab == (changed ? "*Context Menu" : "Context Menu"));
        CHECK(optionalWords(p.controller.selection(), p.controller.showFor(), p.controller.runAs() ? 1 : 0) ==
              row.after);
    }
}

TEST_CASE("another page's optional values come with a reload; kept over, they are removed") {
    store::MemoryKeyStore keys;
    storeSample(keys, "*");
    ControlledPage a(keys, "*");
    ControlledPage b(keys, "*");
    a.select("Edit");
    a.controller.setShowFor("*.txt");
    a.controller.setRunAs(true);
    REQUIRE(a.controller.apply());
    b.select("Edit");

    SUBCASE("Yes gives them to this page") {
        b.dialogs.answers = {Answer::Yes};
        CHECK(b.controller.reloadCheck());
        b.select("Edit");
        CHECK(optionalWords(b.controller.selection(), b.controller.showFor(), b.controller.runAs()) ==
              "ShowFor \"*.txt\", RunAs 1");
    }
    SUBCASE("No, then Apply, writes this page's item without them") {
        b.dialogs.answers = {Answer::No};
        CHECK(b.controller.reloadCheck());
        REQUIRE(b.controller.apply());
        CHECK(storedOptional(keys, 2) == "none");
        CHECK(storedCaption(keys, 2) == "Edit");
    }
}

TEST_CASE("cancelling asks once, and Cancel keeps every edit") {
    store::MemoryKeyStore keys;
    storeSample(keys, "*");
    ControlledPage p(keys, "*");

    CHECK_FALSE(p.controller.queryCancel());  // nothing changed: nothing asked
    p.controller.reset();
    CHECK(p.dialogs.asked.empty());

    p.controller.command(editor::kCommandNewSeparator);
    p.dialogs.answers = {Answer::Cancel, Answer::No};
    CHECK(p.controller.queryCancel());  // stays open
    CHECK(shape(p.tree) == "-,Tools(Edit),-");
    CHECK(p.controller.queryCancel() == false);
    p.controller.reset();  // the answer No was given already
    CHECK(p.dialogs.asked == std::vector<std::string>{kSaveQuestion + std::string(" [+Cancel]"),
                                                      kSaveQuestion + std::string(" [+Cancel]")});
    CHECK(storedList(keys, "*") == "(1,0) (2,1) (0,0)");

    SUBCASE("Yes saves as Apply does") {
        p.dialogs.answers = {Answer::Yes};
        CHECK_FALSE(p.controller.queryCancel());
        CHECK(storedList(keys, "*") == "(0,0) (1,0) (2,1) (0,0)");
    }
    SUBCASE("cancelled from another tab: asked with Yes and No at the reset") {
        p.dialogs.answers = {Answer::Yes};
        p.controller.reset();
        CHECK(p.dialogs.asked.back() == kSaveQuestion);
        CHECK(storedList(keys, "*") == "(0,0) (1,0) (2,1) (0,0)");
    }
}

TEST_CASE("a tree the store cannot hold is refused, kept and still modified") {
    store::MemoryKeyStore keys;
    storeSample(keys, "*");
    ControlledPage p(keys, "*");
    for (int i = 0; i < 1024; ++i) p.controller.command(editor::kCommandNewSeparator);

    CHECK_FALSE(p.controller.apply());
    CHECK(p.dialogs.refusal.find("at most 1024 entries") != std::string::npos);
    CHECK(storedList(keys, "*") == "(1,0) (2,1) (0,0)");
    CHECK(p.state.modified == 1);
    CHECK(p.tree.count() == 1027);

    p.dialogs.answers = {Answer::Yes};
    CHECK(p.controller.queryCancel());  // Yes could not save: the sheet stays open
}

TEST_CASE("a save without the store's lock is refused; refused as the sheet closes, the edits are lost") {
    store::MemoryKeyStore keys;
    storeSample(keys, "*");
    ControlledPage p(keys, "*");
    p.controller.command(editor::kCommandNewSeparator);
    const std::string before = keys.dump();
    p.lock.busy = true;
    CHECK_FALSE(p.controller.apply());
    CHECK(p.dialogs.refusal.find("busy for too long") != std::string::npos);
    CHECK(p.dialogs.refusal.find("nothing you built has been lost") != std::string::npos);
    CHECK(keys.dump() == before);
    CHECK(p.state.modified == 1);

    // Cancelled from another tab, the sheet closes whatever the answer.
    p.dialogs.answers = {Answer::Yes};
    p.controller.reset();
    CHECK(p.dialogs.refusal.find("changes made on this page are lost") != std::string::npos);
    CHECK(p.dialogs.refusal.find("nothing you built") == std::string::npos);
    p.lock.busy = false;
    CHECK(p.controller.apply());
    CHECK(p.lock.held == 0);
}

TEST_CASE("a write the registry refuses is told in the system's words, or by its code without them") {
    char text[editor::kStoreRefusalSize];
    editor::storeRefusalText(1021, "Subkey must be volatile.\r\n", false, text, sizeof text);
    CHECK(std::string(text).rfind("The menu could not be saved: Subkey must be volatile.\n\n", 0) == 0);
    editor::storeRefusalText(1021, "", false, text, sizeof text);
    CHECK(std::string(text).rfind("The menu could not be saved: error 1021.\n\n", 0) == 0);
    editor::storeRefusalText(1021, "", true, text, sizeof text);
    CHECK(std::string(text) == "The menu could not be saved: error 1021.\n\nThe dialog is closing, so "
                               "the changes made on this page are lost.");
}

}  // TEST_SUITE

TEST_SUITE("editor page: composing actions and picking icons") {

// The sample's "*" list on a page, with its command "Edit" selected.
struct EditSelected {
    store::MemoryKeyStore keys;
    ControlledPage p;
    ScriptedPickers pickers;
    const ItemRecord* edit;
    EditSelected() : p((storeSample(keys, "*"), keys), "*") {
        p.select("Edit");
        edit = p.tree.value(p.tree.selected());
        REQUIRE(edit);
    }
};

TEST_CASE("cancelled or pathless picks change nothing; a submenu has no action to edit") {
    EditSelected page;
    ControlledPage& p = page.p;
    ScriptedPickers& pickers = page.pickers;
    const ItemRecord* edit = page.edit;

    // Cancelled, or a folder without a path: nothing at all.
    pickers.choices = {std::nullopt, std::string(), std::nullopt, std::nullopt};
    for (int id : {editor::kActionPickProgram, editor::kActionPickFolder, editor::kActionPickFile,
                   editor::kActionPickWorkingFolder})
        p.controller.actionCommand(id, pickers);
    CHECK(pickers.asked == std::vector<editor::Pick>{editor::Pick::Program, editor::Pick::Folder,
                                                     editor::Pick::File, editor::Pick::WorkingFolder});
    CHECK(std::string(edit->action) == "notepad.exe \"%1\"");
    CHECK(p.fields.action == "<not shown>");
    CHECK(p.state.modified == 0);

    // A submenu has no action; a separator has no record.
    p.select("Tools");
    p.controller.actionCommand(editor::kActionContextPath, pickers);
    p.controller.actionCommand(editor::kActionPickProgram, pickers);
    CHECK(pickers.choices.empty());
    CHECK(std::string(p.tree.value(p.tree.selected())->action).empty());
}

TEST_CASE("a picked path the code page cannot spell is refused with the page's message") {
    EditSelected page;
    ControlledPage& p = page.p;
    ScriptedPickers& pickers = page.pickers;
    const ItemRecord* edit = page.edit;

    const int kIconButton = 0;
    for (int id : std::vector<int>{editor::kActionPickProgram, editor::kActionPickFile, editor::kActionPickFolder,
                                   editor::kActionPickWorkingFolder, kIconButton}) {
        CAPTURE(id);
        p.dialogs.refusal.clear();
        pickers.choices = {kNotStorable};
        if (id == kIconButton) p.controller.pickIcon(pickers);
        else p.controller.actionCommand(id, pickers);
        CHECK(p.dialogs.refusal == editor::kPathNotStorableText);
    }
    CHECK(pickers.choices.empty());
    CHECK(std::string(edit->action) == "notepad.exe \"%1\"");
    CHECK(std::string(edit->icon) == "shell32.dll,3");
    CHECK(p.fields.action == "<not shown>");
    CHECK(p.fields.icon == "<not entered>");
    CHECK(p.state.modified == 0);
    CHECK(p.sheet.tab == "Context Menu");
}

TEST_CASE("a working folder whose parentheses do not pair is refused; one that pairs is taken") {
    EditSelected page;
    ControlledPage& p = page.p;
    page.pickers.choices = {"C:\\Tools (old", "C:\\Program Files (x86)\\App"};
    p.controller.actionCommand(editor::kActionPickWorkingFolder, page.pickers);
    CHECK(p.dialogs.refusal == editor::kFolderNotReadableText);
    CHECK(std::string(page.edit->action) == "notepad.exe \"%1\"");
    CHECK(p.state.modified == 0);
    p.controller.actionCommand(editor::kActionPickWorkingFolder, page.pickers);
    CHECK(std::string(page.edit->action) == "notepad.exe \"%1\" $(C:\\Program Files (x86)\\App)");
    CHECK(p.state.modified == 1);
}

TEST_CASE("an action edit past 2047 characters is refused and changes nothing") {
    store::MemoryKeyStore keys;
    const std::string nearlyFull = "run.exe " + std::string(2035, 'a');  // 2043 characters
    putItem(keys, 1, "Long", false, nearlyFull.c_str());
    putIndex(keys, "*", {{1, 0}});
    putMaxId(keys, 1);
    ControlledPage p(keys, "*");
    ScriptedPickers pickers;
    p.select("Long");
    const ItemRecord* record = p.tree.value(p.tree.selected());

    p.controller.actionCommand(editor::kActionContextPath, pickers);  // ` "%1"` is 5 more: 2048
    CHECK(p.dialogs.refusal == editor::kActionTooLongText);
    pickers.choices = {std::string(250, 'p')};
    p.controller.actionCommand(editor::kActionPickProgram, pickers);
    CHECK(std::string(record->action) == nearlyFull);
    CHECK(p.fields.action == "<not shown>");
    CHECK(p.state.modified == 0);
    CHECK(p.sheet.tab == "Context Menu");

    p.dialogs.refusal.clear();
    p.controller.actionCommand(editor::kActionNormal, pickers);  // ` $:0` fits: 2047
    CHECK(p.dialogs.refusal.empty());
    CHECK(std::string(record->action) == nearlyFull + " $:0");
}

TEST_CASE("confirming an icon: the position joins the path, or the choice is refused") {
    using editor::IconChoice;
    auto complete = [](std::string path, int selection, IconChoice expected) {
        char file[260] = {};
        store::copyField(file, sizeof file, path.c_str());
        CAPTURE(path.size());
        CAPTURE(selection);
        CHECK(editor::completeIconChoice(file, sizeof file, selection) == expected);
        return std::string(file);
    };
    CHECK(complete("C:\\a.ico", 0, IconChoice::Completed) == "C:\\a.ico,0");
    CHECK(complete("C:\\b.dll", 999, IconChoice::Completed) == "C:\\b.dll,999");
    CHECK(complete("C:\\b.dll", -1, IconChoice::NoIcon) == "C:\\b.dll");
    CHECK(complete("C:\\b.dll", 1000, IconChoice::PositionTooHigh) == "C:\\b.dll");
    const std::string longest(257, 'x');  // with ",3": 259 characters, the most an Icon holds
    CHECK(complete(longest, 3, IconChoice::Completed) == longest + ",3");
    CHECK(complete(longest, 10, IconChoice::PathTooLong) == longest);
    CHECK(complete(longest + "y", 3, IconChoice::PathTooLong) == longest + "y");
    // A path the store cannot spell: the selection's own refusal comes first.
    CHECK(editor::selectionOr(-1, IconChoice::NotStorable) == IconChoice::NoIcon);
    CHECK(editor::selectionOr(1000, IconChoice::NotStorable) == IconChoice::PositionTooHigh);
    CHECK(editor::selectionOr(999, IconChoice::NotStorable) == IconChoice::NotStorable);
    CHECK(std::string(editor::iconChoiceText(IconChoice::NoIcon)) ==
          "There is no icon in the selected file. Continue selecting?");
}

}  // TEST_SUITE

TEST_CASE("an action longer than the field stays whole in the store until the user changes it") {
    store::MemoryKeyStore keys;
    const std::string whole = "run.exe " + std::string(2992, 'a');  // 3000 characters
    putItem(keys, 1, "Long", false);
    keys.setString(itemPath(1), store::kActionValue, whole);  // longer than any field
    putItem(keys, 2, "Other", false, "other.exe");
    putIndex(keys, "*", {{1, 0}, {2, 0}});
    putMaxId(keys, 2);
    // The stored action, or what it is instead ("3000 characters, not the
    // whole one"), so that a failure does not print pages of text.
    auto storedAction = [&](std::uint32_t id) {
        const store::MemoryKeyStore::Value* value = keys.value(itemPath(id), store::kActionValue);
        if (!value || value->data.empty()) return std::string("<none>");
        std::string text(value->data.begin(), value->data.end() - 1);
        if (text == whole) return std::string("<the whole action>");
        return text.size() > 100 ? std::to_string(text.size()) + " characters, not the whole action"
                                 : text;
    };
    ScriptedPickers pickers;

    ControlledPage p(keys, "*");
    p.select("Long");
    CHECK(p.fields.texts.substr(p.fields.texts.rfind('|') + 1) == whole.substr(0, 2047));
    p.controller.fieldEdited(Field::Caption, "Long one");  // other fields change, the action not
    REQUIRE(p.controller.apply());
    CHECK(storedCaption(keys, 1) == "Long one");
    CHECK(storedAction(1) == "<the whole action>");

    SUBCASE("typing a new action replaces it") {
        p.controller.fieldEdited(Field::Action, "short.exe");
        REQUIRE(p.controller.apply());
        CHECK(storedAction(1) == "short.exe");
    }
    SUBCASE("an action-menu edit works on the part shown, and that is stored") {
        const std::string shown = whole.substr(0, 2040);
        p.controller.fieldEdited(Field::Action, shown.c_str());
        p.controller.actionCommand(editor::kActionHidden, pickers);
        REQUIRE(p.controller.apply());
        CHECK(storedAction(1) == std::to_string(shown.size() + 4) + " characters, not the whole action");
    }
    SUBCASE("moved and saved again by a second page, it is still kept") {
        ControlledPage second(keys, "*");
        second.select("Other");
        second.controller.command(editor::kCommandMoveUp);
        REQUIRE(second.controller.apply());
        CHECK(storedList(keys, "*") == "(2,0) (1,0)");
        CHECK(storedAction(1) == "<the whole action>");
    }
}
