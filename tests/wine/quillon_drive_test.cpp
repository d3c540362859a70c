// The "Context Menu" page of a fixed drive (C:) and of a CD drive (R:, a
// real CD drive of the test's prefix) in a drive's Properties dialog built
// from the handlers registered for drives: each page edits and saves its own
// list only, korvane's menu on the same root shows what was saved, and the
// reload offer goes between pages of one drive kind only. talvex.exe opens
// the page of any kind, drives' included, in a sheet of its own.
#include <doctest/doctest.h>

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "check_printers.h"
#include "drive_sheet.h"
#include "handler_host.h"
#include "page_texts.h"
#include "resource_ids.h"
#include "sheet_driver.h"
#include "shell_host.h"
#include "test_paths.h"

using namespace sheet_driver;
using page_texts::kConfirm;
using page_texts::kReloadQuestion;
using shell_host::putIndex;
using shell_host::putItem;

namespace {

const char kCdRoot[] = "R:\\";
const char kFixedRoot[] = "C:\\";

// Every kind with the one command its list starts with; item ids 1 to 5.
const std::pair<const char*, const char*> kTools[] = {{"*", "File tool"},
                                                      {"Directory", "Folder tool"},
                                                      {"Background", "Background tool"},
                                                      {"Drive", "Disk tool"},
                                                      {"CDROM", "Disc tool"}};

void putToolPerKind() {
    shell_host::clearStore();
    std::uint16_t id = 0;
    for (const auto& [kind, tool] : kTools) {
        putItem(++id, tool, false, "tool.exe \"%1\"");
        putIndex(kind, {{id, 0}});
    }
    shell_host::putMaxId(id);
}

// Every list of the store, "kind: caption#id,...", one per line; with
// `changed` standing in for the list of the kind `kind`.
std::string trees(const std::string& kind = "", const std::string& changed = "") {
    std::string text;
    unsigned id = 0;
    for (const auto& [k, tool] : kTools) {
        ++id;
        text += std::string(k) + ": " +
                (k == kind ? changed : std::string(tool) + "#" + std::to_string(id)) + "\n";
    }
    return text;
}

std::string storedTrees() {
    std::string text;
    for (const auto& kindAndTool : kTools)
        text += std::string(kindAndTool.first) + ": " + stored::tree(kindAndTool.first) + "\n";
    return text;
}

Sheet driveSheet(DialogThread& thread, const std::string& root) {
    return Sheet(thread, thread.openSheet(drive_sheet::title(root), [root] {
        drive_sheet::showDriveProperties(root);
    }));
}

// The captions of the menu korvane builds for `root`.
std::string handlerCaptions(const std::string& root) {
    HMENU popup = CreatePopupMenu();
    std::string captions;
    {
        handler_host::Handler handler({root}, popup);
        for (const shell_host::MenuEntry& entry : shell_host::readMenu(popup))
            captions += (captions.empty() ? "" : ",") + entry.text;
    }
    DestroyMenu(popup);
    return captions;
}

// talvex.exe started with `arguments`, and its windows; stopped if a test
// leaves it running.
class Talvex {
public:
    explicit Talvex(const std::string& arguments) {
        std::string line = "\"" + test_paths::path("TALVEX") + "\" " + arguments;
        STARTUPINFOA si = {};
        si.cb = sizeof si;
        if (!CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                            &process_))
            FAIL_CHECK("could not start " << line << " (error " << GetLastError() << ")");
    }
    Talvex(const Talvex&) = delete;
    Talvex& operator=(const Talvex&) = delete;
    ~Talvex() {
        if (!process_.hProcess) return;
        if (WaitForSingleObject(process_.hProcess, 0) != WAIT_OBJECT_0)
            TerminateProcess(process_.hProcess, 124);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }

    // Its top-level dialog with this title, once it shows.
    HWND window(const std::string& title) {
        Search search{process_.dwProcessId, title, nullptr};
        waitUntil([&] { return EnumWindows(findWindow, reinterpret_cast<LPARAM>(&search)),
                        search.found != nullptr; }, kOpenWait);
        return search.found;
    }

    // Its exit code, or -1 when it has not ended within the wait.
    long exitCode() {
        DWORD code = static_cast<DWORD>(-1);
        if (process_.hProcess && WaitForSingleObject(process_.hProcess, kWait) == WAIT_OBJECT_0)
            GetExitCodeProcess(process_.hProcess, &code);
        return static_cast<long>(code);
    }

private:
    struct Search {
        DWORD process;
        std::string title;
        HWND found;
    };
    static BOOL CALLBACK findWindow(HWND window, LPARAM data) {
        auto* search = reinterpret_cast<Search*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        if (owner == search->process && className(window) == "#32770" &&
            windowText(window) == search->title)
            search->found = window;
        return !search->found;
    }

    PROCESS_INFORMATION process_ = {};
};

// A control's text in UTF-8, by WM_GETTEXT: GetWindowText reads a window of
// another process only from its own title, which an edit's text is not.
std::string controlText(HWND control) {
    wchar_t text[256] = {};
    SendMessageW(control, WM_GETTEXT, 256, reinterpret_cast<LPARAM>(text));
    return shell_host::utf8(text);
}

// The window of the dialog's descendant with this control id.
HWND descendant(HWND dialog, int id) {
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        if (GetDlgCtrlID(child) == id) return child;
        if (HWND found = descendant(child, id)) return found;
    }
    return nullptr;
}

// Every text a message box shows, its question and its buttons.
std::string boxText(HWND box) {
    std::string text;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        text += windowText(child) + "\n";
    return text;
}

// Whether showing the page again asks to reload; answers No.
bool offeredReload(Page& page) {
    Answer box(page.thread().id(), kConfirm, IDNO, 1000);
    page.activate();
    return box.asked() && box.text() == kReloadQuestion;
}

}  // namespace

TEST_CASE("the test's roots are a fixed drive and a CD drive") {
    CHECK(GetDriveTypeA(kFixedRoot) == static_cast<UINT>(DRIVE_FIXED));
    CHECK(GetDriveTypeA(kCdRoot) == static_cast<UINT>(DRIVE_CDROM));
}

TEST_CASE("a drive's page shows its list; Apply writes that list only; korvane shows it") {
    shell_host::ComScope com;
    struct Case {
        const char* root;
        const char* kind;
        const char* tool;
    };
    for (const Case& drive :
         {Case{kFixedRoot, "Drive", "Disk tool"}, Case{kCdRoot, "CDROM", "Disc tool"}}) {
        CAPTURE(drive.root);
        putToolPerKind();
        DialogThread ui;
        Sheet sheet = driveSheet(ui, drive.root);
        REQUIRE(sheet);
        CHECK(sheet.tabs() == std::vector<std::string>{"General", "Context Menu"});
        Page page(sheet);
        REQUIRE(page);
        CHECK(page.tree() == drive.tool);

        page.select(drive.tool);
        page.command(IDT_NEW_COMMAND);
        page.type(IDC_CAPTION, "Eject helper");
        CHECK(page.tab() == "*Context Menu");
        sheet.apply();
        CHECK(page.tab() == "Context Menu");
        const std::string savedId = drive.kind == std::string("Drive") ? "4" : "5";
        CHECK(storedTrees() ==
              trees(drive.kind, std::string(drive.tool) + "#" + savedId + ",Eject helper#6"));
        CHECK(handlerCaptions(drive.root) == std::string(drive.tool) + ",Eject helper");

        sheet.press(PSBTN_OK);
        CHECK(sheet.waitClosed());
    }
}

TEST_CASE("drive pages on several threads: a reload offer after a save of their kind only") {
    shell_host::ComScope com;
    shell_host::SampleFolder samples;
    putToolPerKind();

    DialogThread ui1, ui2, ui3, ui4;
    Sheet fixed1 = driveSheet(ui1, kFixedRoot), fixed2 = driveSheet(ui2, kFixedRoot);
    Sheet cd = driveSheet(ui3, kCdRoot);
    Sheet file(ui4, samples.root + "\\a.txt");
    REQUIRE(fixed1);
    REQUIRE(fixed2);
    REQUIRE(cd);
    REQUIRE(file);
    Page fixedPage1(fixed1), fixedPage2(fixed2), cdPage(cd), filePage(file);

    // A save of "*" offers the drive pages nothing.
    filePage.select("File tool");
    filePage.type(IDC_CAPTION, "File tool 2");
    file.apply();
    CHECK_FALSE(offeredReload(fixedPage1));
    CHECK_FALSE(offeredReload(fixedPage2));
    CHECK_FALSE(offeredReload(cdPage));

    // A save of "Drive" is offered to the other "Drive" page, and not to the
    // "CDROM" page.
    fixedPage1.select("Disk tool");
    fixedPage1.type(IDC_CAPTION, "Disk tool 2");
    cdPage.select("Disc tool");
    cdPage.type(IDC_CAPTION, "Disc tool 2");
    fixed1.apply();
    CHECK_FALSE(offeredReload(fixedPage1));
    CHECK_FALSE(offeredReload(cdPage));
    {
        Answer box(ui2.id(), kConfirm, IDYES);
        fixedPage2.activate();
        CHECK(box.text() == kReloadQuestion);
    }
    CHECK(fixedPage2.tree() == "Disk tool 2");
    CHECK(cdPage.tree() == "Disc tool 2");
    cd.apply();
    CHECK(storedTrees() == "*: File tool 2#1\nDirectory: Folder tool#2\n"
                           "Background: Background tool#3\nDrive: Disk tool 2#4\n"
                           "CDROM: Disc tool 2#5\n");

    for (Sheet* sheet : {&fixed1, &fixed2, &cd, &file}) {
        sheet->press(PSBTN_OK);
        CHECK(sheet->waitClosed());
    }
}

TEST_CASE("talvex.exe opens the page of the kind its command line names, in a sheet of its own") {
    struct Case {
        const char* arguments;
        const char* title;
        const char* tool;  // the first command of that kind's list
    };
    for (const Case& run : {Case{"*", "Talvex: Files", "File tool"},
                            Case{"directory", "Talvex: Folders", "Folder tool"},
                            Case{"Background", "Talvex: Folder backgrounds", "Background tool"},
                            Case{"DRIVE", "Talvex: Fixed drives", "Disk tool"},
                            Case{"CDROM", "Talvex: CD drives", "Disc tool"}}) {
        CAPTURE(std::string(run.arguments));
        putToolPerKind();
        Talvex talvex(run.arguments);
        HWND sheet = talvex.window(run.title);
        REQUIRE(sheet);
        // The list's first command, selected, shows its caption. (Its tree
        // lives in another process: only messages without pointers reach it.)
        HWND caption = nullptr, tree = nullptr;
        waitUntil([&] {
            return (caption = descendant(sheet, IDC_CAPTION)) && (tree = descendant(sheet, IDC_TREE));
        });
        REQUIRE(caption);
        REQUIRE(tree);
        SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET,
                     SendMessageA(tree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        waitUntil([&] { return controlText(caption) == run.tool; });
        CHECK(controlText(caption) == run.tool);

        PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
        CHECK(talvex.exitCode() == 0);
    }
}

TEST_CASE("talvex.exe refuses a command line that names no menu, saying why") {
    struct Case {
        const char* arguments;
        const char* says;
    };
    for (const Case& run : {Case{"Drives", "\"Drives\" is not a menu kind."},
                            Case{"Directory\\Background", "\"Directory\\Background\" is not"},
                            Case{"\"\"", "\"\" is not a menu kind."},
                            Case{"* Directory", "takes one menu kind, not 2."}}) {
        CAPTURE(std::string(run.arguments));
        Talvex talvex(run.arguments);
        HWND box = talvex.window("Talvex context menus");
        REQUIRE(box);
        std::string text;
        waitUntil([&] { return (text = boxText(box)).find("Usage") != std::string::npos; });
        CHECK_MESSAGE(text.find(run.says) != std::string::npos, "the box says: " << text);
        CHECK_MESSAGE(text.find("Usage: talvex.exe [kind]") != std::string::npos,
                      "the box says: " << text);
        PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        CHECK(talvex.exitCode() == 2);
    }
}

TEST_CASE("the page's rows lie inside it, one under another, at 96 and 144 DPI") {
    putToolPerKind();
    // The rows from the top: label, field and the button beside some.
    const std::vector<std::vector<int>> rows = {{IDC_CAPTION_LABEL, IDC_CAPTION},
                                                {IDC_PROMPT_LABEL, IDC_PROMPT},
                                                {IDC_ICON_LABEL, IDC_ICON_PATH, IDC_ICON_BROWSE},
                                                {IDC_SHOW_FOR_LABEL, IDC_SHOW_FOR},
                                                {IDC_ACTION_LABEL, IDC_ACTION, IDC_ACTION_MENU}};
    auto rectText = [](const RECT& r) {
        return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" +
               std::to_string(r.right) + "," + std::to_string(r.bottom) + ")";
    };
    std::map<DWORD, LONG> pageWidth;
    for (DWORD dpi : {96u, 144u}) {
        CAPTURE(dpi);
        // Read by each process as it starts.
        REQUIRE(SHSetValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", REG_DWORD, &dpi,
                            sizeof dpi) == ERROR_SUCCESS);
        Talvex talvex("*");
        HWND sheet = talvex.window("Talvex: Files");
        REQUIRE(sheet);
        // The page has made all its controls once the menu button, made
        // last, has its glyph.
        HWND tree = nullptr, menuButton = nullptr;
        waitUntil([&] {
            return (tree = descendant(sheet, IDC_TREE)) && (menuButton = descendant(sheet, IDC_ACTION_MENU)) &&
                   controlText(menuButton) == "6";
        });
        REQUIRE(tree);
        HWND page = GetParent(tree);
        RECT inside = {};
        GetClientRect(page, &inside);
        MapWindowPoints(page, nullptr, reinterpret_cast<POINT*>(&inside), 2);
        pageWidth[dpi] = inside.right - inside.left;

        auto place = [&](int id) {
            RECT r = {};
            HWND control = GetDlgItem(page, id);
            CHECK_MESSAGE(control != nullptr, "control " << id << " is missing from the page");
            GetWindowRect(control, &r);
            const bool within = r.left >= inside.left && r.top >= inside.top &&
                                r.right <= inside.right && r.bottom <= inside.bottom;
            CHECK_MESSAGE(within, "control " << id << " at " << rectText(r)
                                             << " reaches outside the page at " << rectText(inside));
            return r;
        };
        LONG above = place(IDC_TREE).bottom;
        for (const std::vector<int>& row : rows) {
            LONG left = inside.left, bottom = above;
            for (int id : row) {
                const RECT r = place(id);
                CHECK_MESSAGE(r.top >= above, "control " << id << " starts at y " << r.top
                                                         << ", over the row above, which ends at " << above);
                CHECK_MESSAGE(r.left >= left, "control " << id << " starts at x " << r.left
                                                         << ", over its left neighbour, which ends at " << left);
                left = r.right;
                bottom = std::max(bottom, r.bottom);
            }
            above = bottom;
        }
        PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        CHECK(talvex.exitCode() == 0);
    }
    SHDeleteValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels");
    // Without scaling the second run would prove nothing.
    const double scale = static_cast<double>(pageWidth[144]) / pageWidth[96];
    CHECK_MESSAGE((scale > 1.3 && scale < 1.7), "the page is " << pageWidth[96] << " pixels wide at 96 DPI and "
                                                << pageWidth[144] << " at 144: expected about 1.5 times as wide");
}
