// Composing a command's action on the real page in Wine's Properties
// dialog: the action menu below its button, each of its edits on actions
// with suffixes, quotes and leading spaces, the program and file dialogs, the
// folder browser, an edit the field cannot hold, and paths named outside the
// system code page.
#include <doctest/doctest.h>

#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "check_printers.h"
#include "file_dialog_driver.h"
#include "foreign_names.h"
#include "import_patch.h"
#include "page_texts.h"
#include "resource_ids.h"
#include "shell_host.h"

using namespace sheet_driver;
using namespace file_dialog_driver;
using namespace foreign_names;

namespace {

struct Samples {
    shell_host::ComScope com;
    shell_host::SampleFolder folder;
    std::string file(const char* name = "a.txt") const { return folder.root + "\\" + name; }
};

// The menu's entries, nested: "Name=id", "-" for separators, "Name(...)";
// a checked item ends in " [x]", or in " [o]" where its mark is a radio dot.
std::string describe(HMENU menu) {
    std::string text;
    for (int i = 0, n = GetMenuItemCount(menu); i < n; ++i) {
        char name[128] = {};
        MENUITEMINFOA info = {};
        info.cbSize = sizeof info;
        info.fMask = MIIM_FTYPE | MIIM_ID | MIIM_STRING | MIIM_SUBMENU | MIIM_STATE;
        info.dwTypeData = name;
        info.cch = sizeof name;
        GetMenuItemInfoA(menu, i, TRUE, &info);
        if (i) text += ",";
        if (info.fType & MFT_SEPARATOR) text += "-";
        else if (info.hSubMenu) text += std::string(name) + "(" + describe(info.hSubMenu) + ")";
        else text += std::string(name) + "=" + std::to_string(info.wID);
        if (info.fState & MFS_CHECKED) text += info.fType & MFT_RADIOCHECK ? " [o]" : " [x]";
    }
    return text;
}

// The popup menu the page's thread shows, once it shows; null if none does.
HWND shownPopup(DialogThread& ui) {
    HWND popup = nullptr;
    waitUntil([&] {
        for (HWND w : threadWindows(ui.id()))
            if (className(w) == "#32768" && IsWindowVisible(w)) popup = w;
        return popup != nullptr;
    });
    return popup;
}

// The checked items of the action menu as its button opens it, e.g.
// "&First Only=59 [o]"; the menu is closed again with Escape.
std::string checkedSettings(DialogThread& ui, HWND page) {
    postCommand(page, IDC_ACTION_MENU, BN_CLICKED, GetDlgItem(page, IDC_ACTION_MENU));
    HWND popup = shownPopup(ui);
    if (!popup) return "<no menu>";
    const std::string menu = describe(reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0)));
    PostMessageA(popup, WM_KEYDOWN, VK_ESCAPE, 0);
    waitUntil([&] { return !IsWindowVisible(popup); });
    std::string checked;
    for (size_t start = 0, end = 0; start < menu.size(); start = end + 1) {
        end = std::min(menu.find_first_of(",()", start), menu.size());
        const std::string entry = menu.substr(start, end - start);
        if (entry.find(" [x]") != std::string::npos || entry.find(" [o]") != std::string::npos)
            checked += (checked.empty() ? "" : ",") + entry;
    }
    return checked;
}

// The page of a sheet on one stored command, selected.
struct CommandPage {
    Samples samples;
    DialogThread ui;
    Sheet sheet;
    Page page;
    explicit CommandPage(const std::string& action)
        : sheet((setUp(action), ui), samples.file()), page(sheet) {
        REQUIRE(page);
        REQUIRE(page.select("Run"));
    }
    static void setUp(const std::string& action) {
        shell_host::clearStore();
        shell_host::putItem(1, "Run", false, action, "", "");
        shell_host::putIndex("*", {{1, 0}});
        shell_host::putMaxId(1);
    }
    // A command of the action menu, chosen.
    void choose(int id) {
        ui.run([&] { SendMessageA(page.window(), WM_COMMAND, MAKEWPARAM(id, 0), 0); });
    }
    std::string storedAction() {
        sheet.apply();
        return sheet_driver::stored::value(sheet_driver::stored::itemKey(1), "Action");
    }
};

}  // namespace

TEST_CASE("the action menu opens below its button, and a choice edits the action") {
    CommandPage p("notepad.exe");
    HWND button = GetDlgItem(p.page.window(), IDC_ACTION_MENU);
    postCommand(p.page.window(), IDC_ACTION_MENU, BN_CLICKED, button);
    HWND popup = shownPopup(p.ui);
    REQUIRE(popup);
    HMENU menu = reinterpret_cast<HMENU>(SendMessageA(popup, MN_GETHMENU, 0, 0));
    CHECK(describe(menu) ==
          "&Seletc a Program...=52,"
          "Arguments(&Select a File...=53,Select a &Folder...=54,-,Path of &Context Object=55,"
          "&Parent Path of Context Object=56),"
          "Working Directory(&Select a Folder...=57,-,&Parent Path of Context Object=58),"
          "Window State(&Normal=48,&Minimized=49,Ma&ximized=50,&Hidden=51),-,"
          "Several Selected(&First Only=59 [o],&Each Separately=60,&All at Once=61),"
          "&Run as Administrator=62");
    RECT below = {}, shown = {};
    GetWindowRect(button, &below);
    GetWindowRect(popup, &shown);
    CHECK(shown.left == below.left);
    CHECK(shown.top == below.bottom);

    // Window State, then Hidden, by the keyboard.
    for (UINT key : {VK_DOWN, VK_DOWN, VK_DOWN, VK_DOWN, VK_RIGHT, VK_UP, VK_RETURN}) {
        PostMessageA(popup, WM_KEYDOWN, key, 0);
        Sleep(30);
    }
    CHECK(waitUntil([&] { return !IsWindowVisible(popup); }));
    CHECK(waitUntil([&] { return p.page.text(IDC_ACTION) == "notepad.exe $:3"; }));
    CHECK(p.page.text(IDC_ACTION) == "notepad.exe $:3");
    CHECK(p.page.tab() == "*Context Menu");
    CHECK(p.storedAction() == "notepad.exe $:3");
}

TEST_CASE("each edit of the action menu, on actions with suffixes, quotes and leading spaces") {
    struct Edit {
        const char* action;
        int command;
        const char* result;
    };
    const Edit edits[] = {
        {"\"C:\\Program Files\\a.exe\" x $(C:\\w) $:1", IDM_ACTION_CONTEXT_PATH, "\"C:\\Program Files\\a.exe\" x \"%1\" $(C:\\w) $:1"},
        {"a.exe $(C:\\w)", IDM_ACTION_PARENT_PATH, "a.exe \"%0\" $(C:\\w)"},
        {" \"%1\"", IDM_ACTION_PARENT_PATH, " \"%1\" \"%0\""},
        {"", IDM_ACTION_CONTEXT_PATH, " \"%1\""},
        {"a.exe $:2", IDM_ACTION_PARENT_AS_WORKING_FOLDER, "a.exe $(%0) $:2"},
        {"a.exe $(C:\\old) $:2", IDM_ACTION_PARENT_AS_WORKING_FOLDER, "a.exe $(%0) $:2"},
        {"a.exe $(C:\\open", IDM_ACTION_PARENT_AS_WORKING_FOLDER, "a.exe $(%0)"},
        {" x", IDM_ACTION_PARENT_AS_WORKING_FOLDER, " x $(%0)"},
        {"a.exe $(C:\\w)", IDM_ACTION_NORMAL, "a.exe $(C:\\w) $:0"},
        {"a.exe $:2 $(C:\\w)", IDM_ACTION_MINIMIZED, "a.exe $:1 $(C:\\w)"},
        {"a.exe $:", IDM_ACTION_MAXIMIZED, "a.exe $:2"},
        {"\"a b.exe\" \"%1\" $(%0) $:0", IDM_ACTION_HIDDEN, "\"a b.exe\" \"%1\" $(%0) $:3"},
    };
    for (const Edit& edit : edits) {
        CAPTURE(edit.action);
        CAPTURE(edit.command);
        CommandPage p(edit.action);
        CHECK(p.page.tab() == "Context Menu");
        p.choose(edit.command);
        CHECK(p.page.text(IDC_ACTION) == edit.result);
        CHECK(p.page.tab() == "*Context Menu");
        CHECK(p.sheet.applyEnabled());
        CHECK(p.storedAction() == edit.result);
        CHECK(p.page.tab() == "Context Menu");
    }
}

TEST_CASE("programs and files come from the Open dialog; Cancel, and a cancelled folder browser, change nothing") {
    CommandPage p("old.exe \"%1\" $:1");
    const std::string program = p.samples.file("b.txt");  // any existing file: "All Files"

    postCommand(p.page.window(), IDM_ACTION_PICK_PROGRAM);
    {
        OpenDialog open(p.ui);
        REQUIRE(open);
        CHECK(open.filters() ==
              "Executable Files (*.exe; *.com);Batch Files (*.bat; *.cmd);"
              "Windows Script Files (*.vbs; *.js);All Files (*.*)");
        CHECK(open.close(IDCANCEL));
    }
    CHECK(p.page.text(IDC_ACTION) == "old.exe \"%1\" $:1");
    CHECK(p.page.tab() == "Context Menu");

    postCommand(p.page.window(), IDM_ACTION_PICK_PROGRAM);
    {
        OpenDialog open(p.ui);
        REQUIRE(open);
        open.typeName(program);
        CHECK(open.close(IDOK));
    }
    CHECK(waitUntil([&] { return p.page.text(IDC_ACTION) != "old.exe \"%1\" $:1"; }));
    CHECK(p.page.text(IDC_ACTION) == "\"" + program + "\" \"%1\" $:1");
    CHECK(p.page.tab() == "*Context Menu");

    postCommand(p.page.window(), IDM_ACTION_PICK_FILE);
    {
        OpenDialog open(p.ui);
        REQUIRE(open);
        CHECK(open.filters() == "All Files (*.*)");
        open.typeName(p.samples.file("a.txt"));
        CHECK(open.close(IDOK));
    }
    const std::string expected = "\"" + program + "\" \"%1\" \"" + p.samples.file("a.txt") + "\" $:1";
    CHECK(waitUntil([&] { return p.page.text(IDC_ACTION) == expected; }));
    CHECK(p.page.text(IDC_ACTION) == expected);

    for (int command : {IDM_ACTION_PICK_FOLDER, IDM_ACTION_PICK_WORKING_FOLDER}) {
        CAPTURE(command);
        postCommand(p.page.window(), command);
        ModalDialog browser(p.ui, "Browse for Folder");
        REQUIRE(browser);
        CHECK(browser.statics().find(command == IDM_ACTION_PICK_FOLDER ? "Select a folder.\n"
                                                   : "Select a folder as working directory.\n") !=
              std::string::npos);
        CHECK(browser.close(IDCANCEL));
    }
    CHECK(p.page.text(IDC_ACTION) == expected);
    CHECK(p.storedAction() == expected);
}

TEST_CASE("a program picked for an action without one, and over a quoted one") {
    const struct {
        const char* action;
        const char* rest;
    } actions[] = {{" \"%1\" $:2", " \"%1\" $:2"},
                   {"\"C:\\A Much Longer Program Name\\x.exe\" a $(C:\\w)", " a $(C:\\w)"},
                   {"x a", " a"}};
    for (const auto& a : actions) {
        CAPTURE(a.action);
        CommandPage p(a.action);
        const std::string program = p.samples.file("b.txt");
        postCommand(p.page.window(), IDM_ACTION_PICK_PROGRAM);
        {
            OpenDialog open(p.ui);
            REQUIRE(open);
            open.typeName(program);
            CHECK(open.close(IDOK));
        }
        const std::string expected = "\"" + program + "\"" + a.rest;
        CHECK(waitUntil([&] { return p.page.text(IDC_ACTION) == expected; }));
        CHECK(p.page.text(IDC_ACTION) == expected);
        CHECK(p.storedAction() == expected);
    }
}

TEST_CASE("an edit that would pass 2047 characters is refused with the page's message") {
    const std::string nearlyFull = "run.exe " + std::string(2037, 'a');  // 2045 characters
    CommandPage p(nearlyFull);
    CHECK(p.page.text(IDC_ACTION) == nearlyFull);
    Answer box(p.ui.id(), "Quillon", IDOK);
    postCommand(p.page.window(), IDM_ACTION_CONTEXT_PATH);
    CHECK(box.asked());
    CHECK(box.text().find("2047 characters") != std::string::npos);
    CHECK(box.owner() == p.sheet.window());  // a child window's box belongs to its sheet
    CHECK(p.page.text(IDC_ACTION) == nearlyFull);
    CHECK(p.page.tab() == "Context Menu");
    CHECK_FALSE(p.sheet.applyEnabled());
}

TEST_CASE("a program and a file named outside ASCII: stored as spelled, by short name, or refused") {
    requireCodePage1252();
    const std::string action = "old.exe \"%1\"";
    CommandPage p(action);
    const std::wstring root = wide(p.samples.folder.root);
    const std::wstring cafe = root + L"\\Caf\u00e9";  // in code page 1252
    const std::wstring programs = root + L"\\\u041f\u0440\u043e\u0433\u0440\u0430\u043c\u043c\u044b";
    const std::wstring program = programs + L"\\run.exe";
    const std::wstring notes = programs + L"\\\u0437\u0430\u043c\u0435\u0442\u043a\u0438.txt";
    for (const std::wstring& folder : {cafe, programs}) createFolder(folder);
    for (const std::wstring& file : {cafe + L"\\run.exe", program, notes}) createFile(file);
    // Picks the path in the Open dialog of an action-menu command; the
    // action field then shows another text, or the page refuses it.
    auto pick = [&](int command, const std::wstring& path) {
        const std::string before = p.page.text(IDC_ACTION);
        postCommand(p.page.window(), command);
        {
            OpenDialog open(p.ui);
            REQUIRE(open);
            open.typeName(utf8(path.c_str()));
            CHECK(open.close(IDOK));
        }
        waitUntil([&] { return p.page.text(IDC_ACTION) != before; }, 1000);
    };

    SUBCASE("a name the code page spells is stored as it is") {
        pick(IDM_ACTION_PICK_PROGRAM, cafe + L"\\run.exe");
        CHECK(p.storedAction() == "\"" + p.samples.file("Caf\xE9\\run.exe") + "\" \"%1\"");
    }
    SUBCASE("a name it does not spell is stored by its short name, as program and as argument") {
        pick(IDM_ACTION_PICK_PROGRAM, program);
        pick(IDM_ACTION_PICK_FILE, notes);
        const std::string stored = p.storedAction();
        // "program" "%1" "file": the pieces between quotes, every second one quoted.
        std::vector<std::string> pieces;
        for (size_t from = 0, at; (at = stored.find('"', from)) != std::string::npos; from = at + 1)
            pieces.push_back(stored.substr(from, at - from));
        REQUIRE_MESSAGE(pieces.size() == 6, stored);
        CHECK(longPathOf(pieces[1]) == utf8(program.c_str()));
        CHECK(pieces[3] == "%1");
        CHECK(longPathOf(pieces[5]) == utf8(notes.c_str()));
    }
    SUBCASE("without short names (a Windows volume without 8.3 names) it is refused by the page") {
        import_patch::NoShortNames noShortNames;
        REQUIRE_MESSAGE(noShortNames.patched(), "quillon.dll imports no GetShortPathNameW");
        Answer box(p.ui.id(), page_texts::kRefused, IDOK);
        pick(IDM_ACTION_PICK_PROGRAM, program);
        CHECK(box.asked());
        CHECK(box.text().find("code page lacks") != std::string::npos);
        CHECK(box.owner() == p.sheet.window());  // a child window's box belongs to its sheet
        CHECK(p.page.text(IDC_ACTION) == action);
        CHECK(p.page.tab() == "Context Menu");
        CHECK(p.storedAction() == action);
    }
}

TEST_CASE("a command's settings: Show for and the action menu's marks round-trip through Apply and a new sheet") {
    requireCodePage1252();
    Samples samples;
    shell_host::clearStore();
    shell_host::putItem(1, "Run", false, "run.exe \"%1\"");
    shell_host::putItemValue(1, "Selection", 2);
    shell_host::putItemValue(1, "RunAs", 1);
    shell_host::putItemValue(1, "ShowFor", "*.txt");
    shell_host::putItem(2, "Photos", true);
    shell_host::putItemValue(2, "ShowFor", "*.jpg");
    shell_host::putItem(3, "Plain", false, "plain.exe", "", "");
    shell_host::putIndex("*", {{1, 0}, {2, 0}, {3, 2}});
    shell_host::putMaxId(3);
    {
        DialogThread ui;
        Sheet sheet(ui, samples.file());
        Page page(sheet);
        REQUIRE(page);
        REQUIRE(page.select("Run"));
        CHECK(page.text(IDC_SHOW_FOR) == "*.txt");
        CHECK(checkedSettings(ui, page.window()) == "&All at Once=61 [o],&Run as Administrator=62 [x]");
        CHECK(page.tab() == "Context Menu");  // showing the menu is no edit

        auto choose = [&](int id) {
            ui.run([&] { SendMessageA(page.window(), WM_COMMAND, MAKEWPARAM(id, 0), 0); });
        };
        choose(IDM_ACTION_EACH_SEPARATELY);
        CHECK(page.tab() == "*Context Menu");
        choose(IDM_ACTION_RUN_AS_ADMINISTRATOR);
        CHECK(checkedSettings(ui, page.window()) == "&Each Separately=60 [o]");
        page.type(IDC_SHOW_FOR, "*.log;!~*");
        CHECK(page.text(IDC_ACTION) == "run.exe \"%1\"");  // the settings are not in the action

        // A submenu has "Show for" but no action; the plain command gets all three.
        REQUIRE(page.select("Photos"));
        CHECK(page.text(IDC_SHOW_FOR) == "*.jpg");
        page.type(IDC_SHOW_FOR, "");
        REQUIRE(page.select("Photos/Plain"));
        CHECK(page.text(IDC_SHOW_FOR) == "");
        CHECK(checkedSettings(ui, page.window()) == "&First Only=59 [o]");
        choose(IDM_ACTION_RUN_AS_ADMINISTRATOR);
        page.type(IDC_SHOW_FOR, "\xc9t\xe9*.doc");  // "Été" in code page 1252

        sheet.apply();
        CHECK(page.tab() == "Context Menu");
        CHECK(stored::optional(1) == "1|*.log;!~*|<absent>");
        CHECK(stored::optional(2) == "<absent>|<absent>|<absent>");
        CHECK(stored::optional(3) == "<absent>|\xc9t\xe9*.doc|1");
        CHECK(stored::item(1) == "Run|||0|run.exe \"%1\"");
        sheet.press(PSBTN_OK);
        CHECK(sheet.waitClosed());
    }
    DialogThread ui;
    Sheet sheet(ui, samples.file());
    Page page(sheet);
    REQUIRE(page);
    REQUIRE(page.select("Run"));
    CHECK(page.text(IDC_SHOW_FOR) == "*.log;!~*");
    CHECK(checkedSettings(ui, page.window()) == "&Each Separately=60 [o]");
    REQUIRE(page.select("Photos/Plain"));
    CHECK(page.text(IDC_SHOW_FOR) == "\xc9t\xe9*.doc");
    CHECK(checkedSettings(ui, page.window()) == "&First Only=59 [o],&Run as Administrator=62 [x]");
    sheet.press(PSBTN_CANCEL);
    CHECK(sheet.waitClosed());
}
