// talvex.exe export and import under Wine: the menus a file carries come
// back as korvane shows them, a bad file or a refused write changes only
// what the save path allows, the backup imports back, and the "Talvex
// Menus" window opens the pages and the dialogs.
#include <doctest/doctest.h>

#include <windows.h>
#include <commctrl.h>
#include <dlgs.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <fstream>
#include <sstream>
#include <string>

#include "handler_readback.h"
#include "page_texts.h"
#include "sheet_driver.h"
#include "shell_host.h"
#include "store_checks.h"
#include "store_paths.h"
#include "test_paths.h"

using sheet_driver::className;
using sheet_driver::waitUntil;
using sheet_driver::windowText;
using shell_host::utf8;
using shell_host::wide;

namespace {

// A folder whose name the system's code page (1252) cannot spell: the
// program must name its files in UTF-16.
std::wstring workFolder() {
    wchar_t temp[MAX_PATH] = L"";
    GetTempPathW(MAX_PATH, temp);
    std::wstring folder = std::wstring(temp) + L"Menüs \x0436";
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

struct Run {
    long code = -1;
    std::string said;  // its output, UTF-8
};

// talvex.exe with its output sent to a file, as from a console.
Run talvex(const std::wstring& arguments) {
    Run run;
    const std::wstring outputPath = workFolder() + L"\\output.txt";
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
    HANDLE output = CreateFileW(outputPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                                CREATE_ALWAYS, 0, nullptr);
    REQUIRE(output != INVALID_HANDLE_VALUE);
    std::wstring line = L"\"" + wide(test_paths::path("TALVEX")) + L"\" " + arguments;
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = si.hStdError = output;
    PROCESS_INFORMATION pi = {};
    REQUIRE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi));
    if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(pi.hProcess, &code);
        run.code = static_cast<long>(code);
    } else {
        TerminateProcess(pi.hProcess, 124);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    CloseHandle(output);
    std::ifstream in(outputPath.c_str(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    run.said = text.str();
    return run;
}

std::wstring quotedArgument(const std::wstring& path) { return L"\"" + path + L"\""; }

// A store with every shape of entry, written as the editor writes it, with
// the three optional values set by hand as the README tells users to.
void putSampleStore() {
    shell_host::clearStore();
    shell_host::putItem(1, "Tools", true, "", "Tool help", "shell32.dll,3");
    shell_host::putItem(2, "Caf\xe9 edit", false, "notepad.exe \"%1\"", "Edit it");  // 1252
    shell_host::putItem(3, "Inner", true);
    shell_host::putItem(4, "Zip", false, "zip.exe \"%1\"");
    shell_host::putItem(5, "Console", false, "cmd.exe /k cd \"%1\"");
    shell_host::putIndex("*", {{1, 0}, {2, 1}, {0, 1}, {3, 1}, {4, 3}, {0, 0}});
    shell_host::putIndex("Background", {{5, 0}});
    shell_host::putMaxId(5);
    const DWORD each = 1, elevated = 1;
    SHSetValueA(HKEY_CURRENT_USER, sheet_driver::stored::itemKey(2).c_str(), "Selection", REG_DWORD, &each, 4);
    SHSetValueA(HKEY_CURRENT_USER, sheet_driver::stored::itemKey(2).c_str(), "RunAs", REG_DWORD, &elevated, 4);
    SHSetValueA(HKEY_CURRENT_USER, sheet_driver::stored::itemKey(1).c_str(), "ShowFor", REG_SZ, "*.txt", 6);
}

std::string korvaneMenu(const std::string& file) {
    std::string problem;
    const std::string outline = menu_text::outline(handler_readback::menuFor(file, problem));
    CHECK_MESSAGE(problem.empty(), "korvane's menu could not be read: " << problem);
    return outline;
}

std::string readFile(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The backup an import names: the path between the quotes after "kept in ".
std::wstring backupNamed(const std::string& said) {
    const std::string marker = "kept in \"";
    const std::size_t at = said.find(marker);
    if (at == std::string::npos) return std::wstring();
    const std::size_t end = said.find('"', at + marker.size());
    return wide(said.substr(at + marker.size(), end - at - marker.size()));
}

// Deletes the key with everything below it and creates it again, empty.
void recreate(const char* key, DWORD options) {
    SHDeleteKeyA(HKEY_CURRENT_USER, key);
    HKEY handle = nullptr;
    REQUIRE(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, options, KEY_WRITE, nullptr, &handle,
                            nullptr) == ERROR_SUCCESS);
    RegCloseKey(handle);
}

}  // namespace

TEST_CASE("export, then import into a fresh store, gives korvane's menus back; the backup undoes it") {
    shell_host::ComScope com;
    shell_host::SampleFolder folder;
    const std::string sample = folder.root + "\\a.txt";
    const std::wstring file = workFolder() + L"\\talvex-menus.json";
    putSampleStore();
    const std::string menu = korvaneMenu(sample);
    REQUIRE(menu.find("Caf\xe9 edit") != std::string::npos);

    Run exported = talvex(L"export " + quotedArgument(file));
    CHECK_MESSAGE(exported.code == 0, "export: " << exported.said);
    CHECK(exported.said.find("Files 4 items") != std::string::npos);
    const std::string text = readFile(file);
    CHECK(text.find("\"caption\": \"Café edit\"") != std::string::npos);
    CHECK(text.find("\"selection\": \"each\"") != std::string::npos);

    // Another store in its place: the import replaces it and keeps it first.
    shell_host::clearStore();
    shell_host::putItem(1, "Before", false, "before.exe");
    shell_host::putIndex("*", {{1, 0}});
    shell_host::putMaxId(1);
    const std::string before = korvaneMenu(sample);
    Run imported = talvex(L"import " + quotedArgument(file));
    CHECK_MESSAGE(imported.code == 0, "import: " << imported.said);
    CHECK_MESSAGE(korvaneMenu(sample) == menu, "the menu after the import differs from the one exported");
    CHECK(store_checks::violations().empty());
    CHECK(talvex(L"export " + quotedArgument(file + L".again")).code == 0);
    // Selection, ShowFor and RunAs included: the file holds them all.
    CHECK_MESSAGE(readFile(file + L".again") == text, "a second export differs from the first");

    // The backup named in the message imports back the menus as they were.
    const std::wstring backup = backupNamed(imported.said);
    REQUIRE_MESSAGE(!backup.empty(), "the import named no backup: " << imported.said);
    wchar_t local[MAX_PATH] = L"";
    SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local);
    CHECK_MESSAGE(backup.rfind(std::wstring(local) + L"\\Talvex\\menus-before-import-", 0) == 0,
                  "the backup is at " << utf8(backup.c_str()));
    CHECK(talvex(L"import " + quotedArgument(backup)).code == 0);
    CHECK(korvaneMenu(sample) == before);
}

TEST_CASE("a page open in another process during an import offers to reload the imported menu") {
    shell_host::ComScope com;
    shell_host::SampleFolder folder;
    const std::wstring file = workFolder() + L"\\open-page.json";
    putSampleStore();
    REQUIRE(talvex(L"export " + quotedArgument(file)).code == 0);
    shell_host::clearStore();
    shell_host::putItem(1, "Before", false, "before.exe");
    shell_host::putIndex("*", {{1, 0}});
    shell_host::putMaxId(1);

    sheet_driver::DialogThread ui;
    sheet_driver::Sheet sheet(ui, folder.root + "\\a.txt");
    REQUIRE(sheet);
    sheet_driver::Page page(sheet);
    REQUIRE(page);
    CHECK(page.tree() == "Before");
    CHECK(talvex(L"import " + quotedArgument(file)).code == 0);
    {
        sheet_driver::Answer box(ui.id(), page_texts::kConfirm, IDYES);
        page.activate();
        CHECK_MESSAGE(box.asked(), "the page was not offered the menu another process saved");
        CHECK(box.text() == page_texts::kReloadQuestion);
    }
    CHECK(page.tree() == "Tools(Caf\xe9 edit,---,Inner(Zip)),---");
    sheet.press(PSBTN_CANCEL);
    CHECK(sheet.waitClosed());
}

TEST_CASE("a bad file or bad words change nothing and say what is wrong") {
    putSampleStore();
    const std::string store = store_checks::snapshot();
    const std::wstring file = workFolder() + L"\\bad.json";
    // The checks of the file are the native tests'; here: the exit code, the
    // words on the output, and the registry as it was. (A name the code page
    // cannot hold: the Japanese name's test, under 1252.)
    std::ofstream(file.c_str(), std::ios::binary)
        << "{\"format\": \"talvex-menus\",\n\"version\": 1, \"menus\": {]}";
    Run run = talvex(L"import " + quotedArgument(file));
    CHECK(run.code == 1);
    CHECK_MESSAGE(run.said.find("bad.json\", line 2, column 25: syntax error") != std::string::npos, run.said);
    CHECK(store_checks::snapshot() == store);
    Run missing = talvex(L"import " + quotedArgument(file + L".none"));
    CHECK(missing.code == 1);
    CHECK(missing.said.find("could not be read") != std::string::npos);
    Run words = talvex(L"export a.json b.json");
    CHECK(words.code == 2);
    CHECK(words.said.find("talvex.exe export takes one file, not 2.") != std::string::npos);
    CHECK(store_checks::snapshot() == store);
}

TEST_CASE("a write the registry refuses part way leaves what the save path promises") {
    shell_host::ComScope com;
    shell_host::SampleFolder folder;
    const std::string sample = folder.root + "\\a.txt";
    // No item key can be made below a volatile key: the emptied Drive menu
    // (saved first, it shrinks) needs none, the Files menu does.
    shell_host::clearStore();
    shell_host::putItem(1, "Disk tool", false, "disk.exe");
    shell_host::putIndex("Drive", {{1, 0}});
    shell_host::putMaxId(1);
    const std::string before = korvaneMenu(sample);
    recreate(store_paths::kItemsKey, REG_OPTION_VOLATILE);
    const std::wstring file = workFolder() + L"\\two.json";
    std::ofstream(file.c_str(), std::ios::binary)
        << "{\"format\": \"talvex-menus\", \"version\": 1, \"menus\": {\"Drive\": [],"
           " \"*\": [{\"caption\": \"New\", \"action\": \"new.exe\"}]}}";
    Run run = talvex(L"import " + quotedArgument(file));
    CHECK(run.code == 1);
    CHECK_MESSAGE(run.said.find("The Files menu from") != std::string::npos, run.said);
    CHECK(run.said.find("was not imported whole: the registry refused to save it") != std::string::npos);
    CHECK(run.said.find("Imported before that: Fixed drives empty.") != std::string::npos);
    CHECK(sheet_driver::stored::index("Drive") == "");
    CHECK(sheet_driver::stored::index("*") == "<absent>");
    CHECK(korvaneMenu(sample) == before);
    CHECK(store_checks::violations().empty());

    recreate(store_paths::kItemsKey, REG_OPTION_NON_VOLATILE);
    CHECK(talvex(L"import " + quotedArgument(file)).code == 0);
    CHECK(korvaneMenu(sample) == "New");
}

TEST_CASE("a Japanese name is kept exactly under code page 932 and refused by name under 1252") {
    shell_host::ComScope com;
    shell_host::SampleFolder folder;
    const std::string sample = folder.root + "\\a.txt";
    shell_host::clearStore();
    const std::wstring file = workFolder() + L"\\japanese.json";
    std::ofstream(file.c_str(), std::ios::binary)
        << "{\"format\": \"talvex-menus\", \"version\": 1,\n\"menus\": {\"*\": [\n"
           "{\"caption\": \"\xe7\xb7\xa8\xe9\x9b\x86\", \"action\": \"notepad.exe\"}]}}";  // 編集
    Run run = talvex(L"import " + quotedArgument(file));
    const bool japanese = std::wstring(GetCommandLineW()).find(L"--code-page=932") != std::wstring::npos;
    REQUIRE(GetACP() == (japanese ? 932u : 1252u));
    if (japanese) {
        CHECK_MESSAGE(run.code == 0, run.said);
        CHECK(sheet_driver::stored::value(sheet_driver::stored::itemKey(1), "Caption") == "\x95\xd2\x8f\x57");
        CHECK(korvaneMenu(sample) == "\x95\xd2\x8f\x57");
        CHECK(talvex(L"export " + quotedArgument(file + L".out")).code == 0);
        CHECK(readFile(file + L".out").find("\"caption\": \"\xe7\xb7\xa8\xe9\x9b\x86\"") != std::string::npos);
    } else {
        CHECK(run.code == 1);
        CHECK_MESSAGE(run.said.find("line 3: \"*\" menu, entry 1: \"caption\" holds the character "
                                    "\"\xe7\xb7\xa8\" (U+7DE8), which this system's code page (1252)") !=
                          std::string::npos,
                      run.said);
        CHECK(sheet_driver::stored::index("*") == "<absent>");
    }
}

namespace {

struct WindowSearch {
    DWORD process;  // 0: any
    const std::string& windowClass;
    const std::string& title;
    HWND found;
};

BOOL CALLBACK matchWindow(HWND window, LPARAM data) {
    auto* s = reinterpret_cast<WindowSearch*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if ((s->process == 0 || owner == s->process) && className(window) == s->windowClass &&
        windowText(window) == s->title && IsWindowVisible(window)) {
        s->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND topWindow(DWORD process, const std::string& windowClass, const std::string& title) {
    WindowSearch search{process, windowClass, title, nullptr};
    EnumWindows(matchWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND waitForWindow(DWORD process, const std::string& windowClass, const std::string& title) {
    HWND found = nullptr;
    waitUntil([&] { return (found = topWindow(process, windowClass, title)) != nullptr; }, 20000);
    return found;
}

HWND childWithText(HWND parent, const std::string& text) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (windowText(child) == text) return child;
    return nullptr;
}

// The text of a message box's message, and it closed with OK.
std::string answerBox(DWORD process) {
    HWND box = waitForWindow(process, "#32770", "Talvex context menus");
    if (!box) return "<no box>";
    std::string text;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (className(child) == "Static" && windowText(child).size() > text.size()) text = windowText(child);
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    waitUntil([&] { return !IsWindow(box); });
    return text;
}

// The file name field of a file dialog; null until the dialog has made it.
HWND nameField(HWND dialog) {
    HWND field = GetDlgItem(dialog, cmb13);
    if (HWND edit = field ? FindWindowExA(field, nullptr, "Edit", nullptr) : nullptr) return edit;
    return field ? field : GetDlgItem(dialog, edt1);
}

// A file dialog of the program: the name typed into its field, then OK.
// Empty when the dialog took it and closed; else what went wrong. The
// dialog shows before it has made all its controls, and on a busy machine
// takes its time to close.
std::string chooseInDialog(DWORD process, const char* title, const std::wstring& path) {
    HWND dialog = waitForWindow(process, "#32770", title);
    if (!dialog) return std::string("no dialog \"") + title + "\" appeared";
    HWND field = nullptr;
    if (!waitUntil([&] { return (field = nameField(dialog)) != nullptr; }, 20000))
        return std::string("the dialog \"") + title + "\" has no file name field";
    SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path.c_str()));
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    if (!waitUntil([&] { return !IsWindow(dialog); }, 20000))
        return std::string("the dialog \"") + title + "\" stayed open after OK, its field holding \"" +
               utf8(path.c_str()) + "\"";
    return std::string();
}

}  // namespace

TEST_CASE("the Talvex Menus window opens each menu's page and the export and import dialogs") {
    putSampleStore();
    const std::wstring file = workFolder() + L"\\window.json";
    DeleteFileW(file.c_str());  // one left by an earlier run would be asked about first
    std::wstring line = L"\"" + wide(test_paths::path("TALVEX")) + L"\"";
    STARTUPINFOW si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    REQUIRE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    HWND window = waitForWindow(pi.dwProcessId, "TalvexMenusWindow", "Talvex Menus");
    REQUIRE(window);

    struct Page {
        const char* button;
        const char* sheet;
    };
    for (const Page& page : {Page{"Files", "Talvex: Files"}, Page{"Folders", "Talvex: Folders"},
                             Page{"Folder backgrounds", "Talvex: Folder backgrounds"},
                             Page{"Fixed drives", "Talvex: Fixed drives"}, Page{"CD drives", "Talvex: CD drives"}}) {
        CAPTURE(page.button);
        HWND button = childWithText(window, page.button);
        REQUIRE(button);
        PostMessageA(button, BM_CLICK, 0, 0);
        HWND sheet = waitForWindow(0, "#32770", page.sheet);  // in a talvex.exe of its own
        REQUIRE_MESSAGE(sheet, "no sheet \"" << page.sheet << "\" opened");
        PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        CHECK(waitUntil([&] { return !IsWindow(sheet); }, 20000));
    }

    PostMessageA(childWithText(window, "Export..."), BM_CLICK, 0, 0);
    REQUIRE(chooseInDialog(pi.dwProcessId, "Export menus", file) == "");
    const std::string exported = answerBox(pi.dwProcessId);
    CHECK_MESSAGE(exported.find("Exported your menus to \"" + utf8(file.c_str()) + "\"") == 0, exported);

    PostMessageA(childWithText(window, "Import..."), BM_CLICK, 0, 0);
    REQUIRE(chooseInDialog(pi.dwProcessId, "Import menus", file) == "");
    const std::string imported = answerBox(pi.dwProcessId);
    CHECK_MESSAGE(imported.find("Imported \"" + utf8(file.c_str()) + "\": Files 4 items") == 0, imported);

    PostMessageA(window, WM_CLOSE, 0, 0);
    CHECK(WaitForSingleObject(pi.hProcess, 20000) == WAIT_OBJECT_0);
    DWORD code = 99;
    GetExitCodeProcess(pi.hProcess, &code);
    CHECK(code == 0);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
}
