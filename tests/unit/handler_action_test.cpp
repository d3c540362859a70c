#include <doctest/doctest.h>

#include <random>
#include <string>

#include "action.h"
#include "container_printers.h"
#include "wide_text.h"

using namespace handler;

TEST_SUITE("handler") {

TEST_CASE("actions split and expand as the table gives them") {
    const char* path = "D:\\Docs\\report.txt";
    struct Row {
        const char* action;
        const char* program;
        const char* arguments;  // expanded; null: none
        const char* directory;  // expanded; null: none
        int show;
    };
    const Row rows[] = {
        {"notepad.exe \"%1\"", "notepad.exe", " \"D:\\Docs\\report.txt\"", nullptr, kShowNormal},
        {"\"D:\\Tools\\view er.exe\" /p \"%1\" $(%0) $:2", "\"D:\\Tools\\view er.exe\"",
         " /p \"D:\\Docs\\report.txt\"", "D:\\Docs", kShowMaximize},
        {"\"D:\\Tools\\view.exe", "\"D:\\Tools\\view.exe\"", nullptr, nullptr, kShowNormal},
        {"tool.exe $(D:\\Work) tail", "tool.exe", nullptr, "D:\\Work", kShowNormal},
        {"tool.exe arg $:1 more", "tool.exe", " arg", nullptr, kShowMinimize},
        {"tool.exe $:3 $(D:\\Work)", "tool.exe", nullptr, nullptr, kShowHide},
        {"tool.exe 100%", "tool.exe", " 100", nullptr, kShowNormal},
        {"tool.exe %0\\sub %2x", "tool.exe", " D:\\Docs\\sub x", nullptr, kShowNormal},
        {"tool.exe    arg", "tool.exe", " arg", nullptr, kShowNormal},
        {"tool.exe $(D:\\A", "tool.exe", nullptr, "D:\\A", kShowNormal},
        // a later directory replaces an earlier one; "$:0" and a bare "$:" are normal
        {"t $(a) $(b) $:0", "t", nullptr, "b", kShowNormal},
        {"t x $:", "t", " x", nullptr, kShowNormal},
        // suffixes are found inside quoted arguments too
        {"t \"a $(b)\"", "t", " \"a", "b", kShowNormal},
        // text right after a closing quote belongs to nothing
        {"\"a b\"c d", "\"a b\"", " d", nullptr, kShowNormal},
        // the program is taken literally
        {"%1.exe", "%1.exe", nullptr, nullptr, kShowNormal},
        // a directory runs to the ")" that closes its "(", or to the end
        {"t $(C:\\Program Files (x86)\\App) $:1", "t", nullptr, "C:\\Program Files (x86)\\App",
         kShowMinimize},
        {"t $(a(b) c", "t", nullptr, "a(b) c", kShowNormal},
        {"t $(a)b) $:3", "t", nullptr, "a", kShowHide},
    };
    for (const Row& row : rows) {
        CAPTURE(row.action);
        ParsedAction parsed = parseAction(row.action);
        CHECK(parsed.program == row.program);
        CHECK(parsed.hasArguments == (row.arguments != nullptr));
        if (row.arguments) CHECK(expandPlaceholders(parsed.arguments, path) == row.arguments);
        CHECK(parsed.hasDirectory == (row.directory != nullptr));
        if (row.directory) CHECK(expandPlaceholders(parsed.directory, path) == row.directory);
        CHECK(parsed.showCommand == row.show);
    }
}

TEST_CASE("what runs nothing, and the parent path") {
    CHECK(actionRunsNothing(""));
    CHECK(actionRunsNothing(nullptr));
    CHECK(actionRunsNothing(" $:2"));  // only a window-state suffix
    CHECK(actionRunsNothing(" \"%1\""));
    CHECK_FALSE(actionRunsNothing("a"));

    // "C:" alone would be the drive's current folder: a root keeps its backslash.
    CHECK(parentPath("C:\\report.txt") == "C:\\");
    CHECK(parentPath("C:\\") == "C:\\");
    CHECK(parentPath("C:\\a\\b") == "C:\\a");
    CHECK(parentPath("\\\\server\\share\\a.txt") == "\\\\server\\share");
    CHECK(parentPath("nothing") == "");
    CHECK(expandPlaceholders("%0|%1|%%|%", "C:\\") == "C:\\|C:\\||");
    CHECK(expandPlaceholders("%1%1%1", "") == "");
}

TEST_CASE("a drive's root reads back exactly from a command line and as a directory") {
    struct Row {
        const char16_t* path;
        const char16_t* arguments;  // of p "%1" %1 "%0" %0\sub "%0\x"
        const char16_t* directory;  // of $(%0)
    };
    const Row rows[] = {
        {u"C:\\report.txt", u" \"C:\\report.txt\" C:\\report.txt \"C:\\\\\" C:\\sub \"C:\\x\"", u"C:\\"},
        {u"C:\\", u" \"C:\\\\\" C:\\ \"C:\\\\\" C:\\sub \"C:\\x\"", u"C:\\"},
        {u"D:\\Docs\\a.txt", u" \"D:\\Docs\\a.txt\" D:\\Docs\\a.txt \"D:\\Docs\" D:\\Docs\\sub \"D:\\Docs\\x\"",
         u"D:\\Docs"},
    };
    for (const Row& row : rows) {
        CAPTURE(toWtf8(row.path));
        Command command;
        REQUIRE(prepareCommand(u"p \"%1\" %1 \"%0\" %0\\sub \"%0\\x\" $(%0)", row.path, command));
        CHECK(toWtf8(command.arguments) == toWtf8(row.arguments));
        CHECK(toWtf8(command.directory) == toWtf8(row.directory));
    }
    // Outside a command line nothing is doubled.
    CHECK(expandPlaceholders("\"%1\"", "C:\\") == "\"C:\\\"");
}

TEST_CASE("random actions parse and expand without fault") {
    std::mt19937 random(1234);
    const char alphabet[] = " \"$():%01a\\";
    for (int round = 0; round < 20000; ++round) {
        std::string action;
        std::size_t length = random() % 40;
        for (std::size_t i = 0; i < length; ++i) action += alphabet[random() % (sizeof alphabet - 1)];
        ParsedAction parsed = parseAction(action.c_str());
        // Whatever the action, each part is drawn from it.
        CHECK(parsed.arguments.size() <= action.size());
        CHECK(parsed.directory.size() <= action.size());
        CHECK(parsed.program.size() <= action.size() + 1);
        std::string expanded = expandPlaceholders(parsed.arguments, "C:\\dir\\file");
        CHECK(expanded.size() <= parsed.arguments.size() * 12);
    }
}

TEST_CASE("commands get the exact path in UTF-16, whatever its characters") {
    // Cyrillic, a best-fit twin ("ā" is never "a"), and Japanese whose code-page
    // form ends in the byte of a backslash: the parent is cut at a real one.
    const std::u16string paths[] = {u"C:\\Docs\\Отчёт.txt", u"C:\\Docs\\bestfit\\ā.txt",
                                    u"C:\\Docs\\表\\ソ.txt"};
    const std::u16string parents[] = {u"C:\\Docs", u"C:\\Docs\\bestfit", u"C:\\Docs\\表"};
    for (int i = 0; i < 3; ++i) {
        CAPTURE(i);
        Command command;
        REQUIRE(prepareCommand(u"\"C:\\Программы\\p.exe\" \"%1\" %0 $(%1) $:1", paths[i], command));
        CHECK(command.program == u"\"C:\\Программы\\p.exe\"");  // taken as it stands
        CHECK(command.hasArguments);
        CHECK(command.arguments == u" \"" + paths[i] + u"\" " + parents[i]);
        CHECK(command.hasDirectory);
        CHECK(command.directory == paths[i]);
        CHECK(command.showCommand == kShowMinimize);
    }

    // An unpaired surrogate, which a file name may hold, reaches the program too.
    const std::u16string odd = u"C:\\x" + std::u16string(1, char16_t(0xD800)) + u"y\\z";
    Command command;
    REQUIRE(prepareCommand(u"p %1|%0", odd, command));
    CHECK(command.arguments == u" " + odd + u"|" + odd.substr(0, 6));

    // "%" with any other character drops the whole character, not a byte of it.
    REQUIRE(prepareCommand(u"p %é|%\U0001F600|%ソ.", odd, command));
    CHECK(command.arguments == u" ||.");

    CHECK_FALSE(prepareCommand(u"", odd, command));
    CHECK_FALSE(prepareCommand(u" \"%1\"", odd, command));
    REQUIRE(prepareCommand(u"%1.exe", odd, command));
    CHECK(command.program == u"%1.exe");
    CHECK_FALSE(command.hasArguments);
}

TEST_CASE("the working directory's limit counts characters, not bytes") {
    const std::u16string letters(259, u'Ж');  // 518 bytes in UTF-8, 259 characters
    Command command;
    CHECK(prepareCommand(u"p $(%1)", letters, command));
    CHECK(command.directory == letters);
    CHECK_FALSE(prepareCommand(u"p $(%1)", letters + u"Ж", command));
    CHECK_FALSE(prepareCommand(u"p $(%0\\%1)", u"C:\\" + letters, command));
    // Arguments have no such limit: they are sized to fit.
    CHECK(prepareCommand(u"p %1%1%1%1%1%1%1", letters, command));
    CHECK(command.arguments.size() == 1 + 7 * letters.size());
}

TEST_CASE("all at once: every path in its own argument, inside quotes and out") {
    const std::u16string a = u"D:\\Docs\\a.txt", spaced = u"D:\\My Docs\\b c.txt",
                         tabbed = u"D:\\x\ty", root = u"C:\\", share = u"\\\\srv\\my share\\",
                         cyrillic = u"C:\\Отчёт.txt", japanese = u"D:\\表 1.txt";
    struct Row {
        const char16_t* action;
        std::vector<std::u16string> paths;
        std::u16string arguments;  // as expanded
        std::u16string directory;  // of the action's $(...), if any
    };
    const Row rows[] = {
        {u"p \"%1\"", {a, spaced}, u" \"D:\\Docs\\a.txt\" \"D:\\My Docs\\b c.txt\"", u""},
        // a root's backslash is doubled before each closing quote, its own or the text's
        {u"p \"%1\"", {root, a, root}, u" \"C:\\\\\" \"D:\\Docs\\a.txt\" \"C:\\\\\"", u""},
        {u"p \"%1\"", {share, root}, u" \"\\\\srv\\my share\\\\\" \"C:\\\\\"", u""},
        // outside quotes: a space between, quotes for a space, a tab or nothing
        {u"p %1", {a, spaced, tabbed, u""},
         u" D:\\Docs\\a.txt \"D:\\My Docs\\b c.txt\" \"D:\\x\ty\" \"\"", u""},
        {u"p %1", {root, share}, u" C:\\ \"\\\\srv\\my share\\\\\"", u""},
        {u"p %1", {cyrillic, japanese}, u" C:\\Отчёт.txt \"D:\\表 1.txt\"", u""},
        // "%0" is the first path's parent; the directory takes the first path
        {u"p \"%0\" %1 $(%1) $:1", {a, root}, u" \"D:\\Docs\" D:\\Docs\\a.txt C:\\", a},
        {u"p \"%0\" $(%0)", {root, a}, u" \"C:\\\\\"", root},
        // text beside the placeholder goes with the first and the last path
        {u"p \"-in=%1.bak\" x", {root, root}, u" \"-in=C:\\\\\" \"C:\\.bak\" x", u""},
        // one path: as a single path has always gone, a space left unquoted
        {u"p %1 \"%1\"", {spaced}, u" D:\\My Docs\\b c.txt \"D:\\My Docs\\b c.txt\"", u""},
        {u"p \"%1\" %0\\x", {root}, u" \"C:\\\\\" C:\\x", u""},
        // none: the placeholders stand for nothing
        {u"p \"%1\" %0 $(%1)", {}, u" \"\" ", u""},
    };
    for (const Row& row : rows) {
        std::u16string action = row.action;
        CAPTURE(action);
        CAPTURE(row.paths);
        Command command;
        REQUIRE(prepareCommand(action, row.paths, command));
        CHECK(command.arguments == row.arguments);
        CHECK(command.directory == row.directory);
        if (row.paths.size() == 1) {  // the single-path form gives the same
            Command single;
            REQUIRE(prepareCommand(action, row.paths[0], single));
            CHECK(single.arguments == command.arguments);
        }
    }
}

TEST_CASE("all at once: the command line's limit") {
    // The program counts as a 259-unit path in quotes, its own quotes included.
    Command command;
    command.program = u"\"C:\\p.exe\"";
    command.hasArguments = true;
    command.arguments = std::u16string(kCommandLineLimit - 262 - 1, u'a');
    CHECK(commandLineLength(command) == kCommandLineLimit);
    CHECK_FALSE(exceedsCommandLineLimit(command));
    command.program = u"p";
    command.arguments += u'a';
    CHECK(exceedsCommandLineLimit(command));

    // 1,000 paths of 40 units in quotes: 43 units each, too many at once.
    std::vector<std::u16string> paths(1000, u"C:\\Users\\someone\\Documents\\" + std::u16string(13, u'ж'));
    REQUIRE(prepareCommand(u"p \"%1\"", paths, command));
    CHECK(command.arguments.size() == 1 + 1000 * 43 - 1);
    CHECK(exceedsCommandLineLimit(command));
    paths.resize(700);
    REQUIRE(prepareCommand(u"p \"%1\"", paths, command));
    CHECK_FALSE(exceedsCommandLineLimit(command));
}

TEST_CASE("UTF-16 text comes back from WTF-8 exactly") {
    std::mt19937 random(99);
    const char16_t units[] = {u'a', u'\\', u'%', u'é', u'表', 0xD800, 0xDBFF, 0xDC00, 0xDFFF, 0xFFFF};
    for (int round = 0; round < 5000; ++round) {
        std::u16string text;
        for (std::size_t i = random() % 12; i > 0; --i) text += units[random() % 10];
        CHECK(fromWtf8(toWtf8(text)) == text);
    }
    CHECK(toWtf8(u"\U0001F600") == "\xF0\x9F\x98\x80");
    CHECK(fromWtf8("a\xC0\x80\xFF") == u"a\uFFFD\uFFFD\uFFFD");  // overlong and stray bytes
}

}  // TEST_SUITE
