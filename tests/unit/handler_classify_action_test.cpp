#include <doctest/doctest.h>

#include <random>
#include <string>

#include "action.h"
#include "classify.h"

using namespace handler;

TEST_SUITE("handler") {

TEST_CASE("context classification") {
    struct Row {
        ContextFacts facts;
        const char* current;
        const char* expected;
    };
    const char* previous = "Directory";
    const Row rows[] = {
        {{true, true, kDriveFixed, true}, nullptr, "Drive"},
        {{true, true, kDriveCdrom, true}, nullptr, "CDROM"},
        {{true, true, 2, true}, nullptr, nullptr},     // removable: unset on a fresh object
        {{true, true, 4, true}, previous, previous},   // network: kept as it was
        {{true, true, 0, false}, previous, previous},  // a type the system cannot tell
        {{true, false, kDriveFixed, true}, nullptr, "Directory"},
        {{true, false, kDriveFixed, false}, "Drive", "*"},
        {{false, false, 0, false}, "*", "Background"},
    };
    for (const Row& row : rows) {
        const char* kind = classifyContext(row.facts, row.current);
        CAPTURE(row.facts.isDriveRoot);
        CAPTURE(row.facts.driveType);
        CAPTURE(row.facts.isDirectory);
        if (row.expected == nullptr)
            CHECK(kind == nullptr);
        else
            CHECK(std::string(kind ? kind : "(null)") == row.expected);
    }
}

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

    CHECK(parentPath("C:\\") == "C:");  // a drive root's parent is the drive
    CHECK(parentPath("C:\\a\\b") == "C:\\a");
    CHECK(parentPath("nothing") == "");
    CHECK(expandPlaceholders("%0|%1|%%|%", "C:\\") == "C:|C:\\||");
    CHECK(expandPlaceholders("%1%1%1", "") == "");
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

}  // TEST_SUITE
