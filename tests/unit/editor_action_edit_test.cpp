// The action menu's edits of a command's action string.
#include <doctest/doctest.h>

#include <cstring>
#include <string>

#include "action_edit.h"
#include "menu_store.h"

namespace {

struct Action {
    editor::ActionField field = {};
    explicit Action(const std::string& text) { store::copyField(field, sizeof field, text.c_str()); }
    std::string text() const { return field; }
};

}  // namespace

TEST_SUITE("editor action edit") {

TEST_CASE("the suffix marker ends the command part") {
    CHECK(editor::suffixMarker("") == 0);
    CHECK(editor::suffixMarker("prog arg") == 8);
    CHECK(editor::suffixMarker("prog $(dir) $:1") == 4);
    CHECK(editor::suffixMarker("prog $:1 $(dir)") == 4);
    CHECK(editor::suffixMarker("prog $x $") == 9);
    CHECK(editor::suffixMarker(" $:2") == 0);
}

TEST_CASE("replace program keeps what follows the old program") {
    auto replaced = [](const std::string& before, const char* program) {
        Action action(before);
        CHECK(editor::replaceProgram(action.field, program));
        return action.text();
    };
    CHECK(replaced("", "C:\\Tools\\edit.exe") == "\"C:\\Tools\\edit.exe\"");
    CHECK(replaced("notepad.exe file.txt", "C:\\a b\\vi.exe") == "\"C:\\a b\\vi.exe\" file.txt");
    CHECK(replaced("x \"%1\"", "cmd.exe") == "\"cmd.exe\" \"%1\"");
    CHECK(replaced("notepad", "calc.exe") == "\"calc.exe\"");
    CHECK(replaced("\"C:\\Program Files\\Long Name\\app.exe\" -n \"%1\" $:1", "C:\\s.exe") ==
          "\"C:\\s.exe\" -n \"%1\" $:1");
    CHECK(replaced("\"s.exe\" -n $(%0)", "C:\\Program Files\\app.exe") ==
          "\"C:\\Program Files\\app.exe\" -n $(%0)");
    CHECK(replaced(" \"%1\" $:2", "prog.exe") == "\"prog.exe\" \"%1\" $:2");
    CHECK(replaced("\"unclosed program -x", "p.exe") == "\"p.exe\"");
}

TEST_CASE("insert argument goes before any suffix, quoted") {
    auto inserted = [](const std::string& before, const char* argument) {
        Action action(before);
        CHECK(editor::insertArgument(action.field, argument));
        return action.text();
    };
    CHECK(inserted("", "%1") == " \"%1\"");
    CHECK(inserted("prog", "%0") == "prog \"%0\"");
    CHECK(inserted("prog -a $(C:\\Work) $:2", "%1") == "prog -a \"%1\" $(C:\\Work) $:2");
    CHECK(inserted("prog $:3", "C:\\My File.txt") == "prog \"C:\\My File.txt\" $:3");
    // A drive's root keeps its backslash from escaping the closing quote.
    CHECK(inserted("prog", "D:\\") == "prog \"D:\\\\\"");
}

TEST_CASE("set working directory replaces the first suffix's directory or adds one") {
    Action action("prog \"%1\"");
    CHECK(editor::setWorkingDirectory(action.field, "C:\\Work"));
    CHECK(action.text() == "prog \"%1\" $(C:\\Work)");
    CHECK(editor::setWorkingDirectory(action.field, "%0"));
    CHECK(action.text() == "prog \"%1\" $(%0)");

    Action stateOnly("prog $:1");
    CHECK(editor::setWorkingDirectory(stateOnly.field, "%0"));
    CHECK(stateOnly.text() == "prog $(%0) $:1");

    Action both("prog $(C:\\Old Dir) $:2");
    CHECK(editor::setWorkingDirectory(both.field, "D:\\"));
    CHECK(both.text() == "prog $(D:\\) $:2");

    Action unclosed("prog $(C:\\Old");
    CHECK(editor::setWorkingDirectory(unclosed.field, "%0"));
    CHECK(unclosed.text() == "prog $(%0)");

    // Only the first marker counts: a directory after the window state is not found.
    Action late("prog $:1 $(x)");
    CHECK(editor::setWorkingDirectory(late.field, "y"));
    CHECK(late.text() == "prog $(y) $:1 $(x)");

    Action empty("");
    CHECK(editor::setWorkingDirectory(empty.field, "%0"));
    CHECK(empty.text() == " $(%0)");

    // The old directory runs to the ")" that closes its "(".
    Action nested("prog $(C:\\Program Files (x86)\\App) $:1");
    CHECK(editor::setWorkingDirectory(nested.field, "%0"));
    CHECK(nested.text() == "prog $(%0) $:1");
    CHECK(editor::setWorkingDirectory(nested.field, "C:\\Program Files (x86)"));
    CHECK(nested.text() == "prog $(C:\\Program Files (x86)) $:1");
}

TEST_CASE("a directory reads back only with its parentheses paired") {
    for (const char* good : {"", "C:\\Work", "C:\\Program Files (x86)\\App", "a(b(c)d)e", "()"})
        CHECK_MESSAGE(editor::readsBackAsDirectory(good), good);
    for (const char* bad : {"C:\\a)", "C:\\(a", "a)b(", "((a)", ")("})
        CHECK_FALSE_MESSAGE(editor::readsBackAsDirectory(bad), bad);
}

TEST_CASE("set window state keeps one suffix") {
    Action action("prog");
    CHECK(editor::setWindowState(action.field, '2'));
    CHECK(editor::setWindowState(action.field, '3'));
    CHECK(action.text() == "prog $:3");

    Action directory("prog $(%0)");
    CHECK(editor::setWindowState(directory.field, '1'));
    CHECK(directory.text() == "prog $(%0) $:1");

    Action bare("prog $:");
    CHECK(editor::setWindowState(bare.field, '0'));
    CHECK(bare.text() == "prog $:0");

    Action middle("prog $:1 $(d)");
    CHECK(editor::setWindowState(middle.field, '2'));
    CHECK(middle.text() == "prog $:2 $(d)");

    CHECK_FALSE(editor::setWindowState(action.field, '4'));
    CHECK(action.text() == "prog $:3");
}

TEST_CASE("an edit past 2047 characters is refused and changes nothing") {
    const std::string longAction = "prog " + std::string(2035, 'a');  // 2040 characters
    Action action(longAction);

    CHECK_FALSE(editor::insertArgument(action.field, "1234567"));  // would be 2050
    CHECK_FALSE(editor::setWorkingDirectory(action.field, "12345"));  // 2049
    CHECK_FALSE(editor::replaceProgram(action.field, std::string(300, 'p').c_str()));
    CHECK(action.text() == longAction);

    CHECK(editor::insertArgument(action.field, "1234"));  // exactly 2047
    CHECK(action.text().size() == 2047);
    CHECK_FALSE(editor::setWindowState(action.field, '1'));
    CHECK(action.text().size() == 2047);

    Action nearlyFull(std::string(2043, 'b'));
    CHECK(editor::setWindowState(nearlyFull.field, '1'));
    CHECK(nearlyFull.text() == std::string(2043, 'b') + " $:1");
    CHECK(editor::setWindowState(nearlyFull.field, '2'));  // replaces in place
}

}  // TEST_SUITE
