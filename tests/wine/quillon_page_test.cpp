// The "Context Menu" page of quillon.dll in Wine's own Properties dialog,
// driven from another thread as a user drives it: building a tree with the
// toolbar and the fields, applying it, cancelling, several dialogs at once,
// folders, stores that cannot hold the tree, and the toolbar's pictures.
#include <doctest/doctest.h>

#include <windows.h>
#include <commctrl.h>
#include <shlobj.h>

#include <string>
#include <thread>
#include <vector>

#include "box_answerer.h"
#include "check_printers.h"
#include "import_patch.h"
#include "page_texts.h"
#include "registry_snapshot.h"
#include "resource_ids.h"
#include "run_program.h"
#include "sheet_driver.h"
#include "shell_host.h"
#include "store_checks.h"
#include "store_paths.h"
#include "test_paths.h"

using namespace sheet_driver;
using namespace page_texts;
using shell_host::putIndex;
using shell_host::putItem;
using shell_host::putMaxId;
using Ids = std::vector<unsigned>;

namespace {

const char kAllFields[] = "102 103 104 105 106 107 108 109 110 111 112 113";
const char kSubmenuFields[] = "102 103 104 105 106 107 108 112 113";

struct Samples {
    shell_host::ComScope com;
    shell_host::SampleFolder folder;
    std::string file(const char* name = "a.txt") const { return folder.root + "\\" + name; }
    std::string dir() const { return folder.root + "\\folder"; }
};

// Deletes the selected node, answering the question.
std::string deleteSelected(Page& page, int answer) {
    Answer box(page.thread().id(), kConfirm, answer);
    page.command(IDT_DELETE);
    return box.asked() ? box.text() : "<not asked>";
}

// Shows the page again and says what it was asked, if anything.
std::string activate(Page& page, int answer, DWORD wait = kWait) {
    Answer box(page.thread().id(), kConfirm, answer, wait);
    page.activate();
    return box.asked() ? box.text() : "<not asked>";
}

int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

void putRaw(const char* key, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY handle;
    REQUIRE(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_WRITE, nullptr, &handle,
                            nullptr) == ERROR_SUCCESS);
    RegSetValueExA(handle, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(handle);
}

// The handler's menu opened on a folder, or on its background, as Explorer
// opens it: this is what sets the flag a folder's page goes by.
void openHandlerMenu(const std::string& folder, bool background) {
    IShellExtInit* init = nullptr;
    REQUIRE(Hr(CoCreateInstance(shell_host::kClsidKorvane, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IShellExtInit, reinterpret_cast<void**>(&init))) == Hr(S_OK));
    LPITEMIDLIST list = shell_host::idListFor(folder);
    IDataObject* data = background ? nullptr : shell_host::dataObjectFor({folder});
    CHECK(Hr(init->Initialize(background ? list : nullptr, data, nullptr)) == Hr(S_OK));
    if (data) data->Release();
    CoTaskMemFree(list);
    init->Release();
}

// One command in each of the file, folder and background menus.
void putToolPerKind() {
    shell_host::clearStore();
    putItem(1, "File tool", false);
    putItem(2, "Folder tool", false);
    putItem(3, "Background tool", false);
    putIndex("*", {{1, 0}});
    putIndex("Directory", {{2, 0}});
    putIndex("Background", {{3, 0}});
    putMaxId(3);
}

}  // namespace

TEST_CASE("a file's page: controls, new items in their places, field edits, moves, delete") {
    Samples samples;
    shell_host::clearStore();
    DialogThread ui;
    Sheet sheet(ui, samples.file());
    REQUIRE(sheet);
    CHECK(sheet.tabs() == std::vector<std::string>{"General", "Context Menu"});
    Page page(sheet);
    REQUIRE(page);

    // An empty store: nothing to edit, only the three "new" buttons work.
    CHECK(page.tree() == "");
    CHECK(page.toolbarStates() == "EEEGGGGG");
    CHECK(page.enabledControls() == "");
    CHECK(page.fields() == "|||");
    CHECK(page.text(IDC_CAPTION_LABEL) == "&Caption:");
    CHECK(page.text(IDC_PROMPT_LABEL) == "&Description:");
    CHECK(page.text(IDC_ICON_LABEL) == "&Icon:");
    CHECK(page.text(IDC_ACTION_LABEL) == "Ac&tion:");
    CHECK(page.text(IDC_SHOW_FOR_LABEL) == "Show &for:");
    CHECK(page.text(IDC_ICON_BROWSE) == "...");
    CHECK(page.text(IDC_ACTION_MENU) == "6");
    CHECK(GetDlgCtrlID(page.toolbar()) == 0);
    CHECK(page.tab() == "Context Menu");
    CHECK_FALSE(sheet.applyEnabled());

    // New command with nothing selected: the first node, selected, its
    // caption focused for typing over.
    page.command(IDT_NEW_COMMAND);
    CHECK(page.tree() == "New Command");
    CHECK(page.selected() == "New Command");
    CHECK(page.fields() == "New Command|||");
    CHECK(page.enabledControls() == kAllFields);
    CHECK(page.focus() == IDC_CAPTION);
    CHECK(page.toolbarStates() == "EEEEGGGG");
    CHECK(page.tab() == "*Context Menu");
    CHECK(sheet.applyEnabled());
    page.type(IDC_CAPTION, "Alpha");
    CHECK(page.tree() == "Alpha");
    CHECK(page.tab() == "*Context Menu");

    // After a selected command; into a selected submenu, as its last child;
    // a separator after the selected command.
    page.command(IDT_NEW_SUBMENU);
    CHECK(page.tree() == "Alpha,New Submenu");
    CHECK(page.enabledControls() == kSubmenuFields);
    CHECK(page.toolbarStates() == "EEEEEGGG");
    page.type(IDC_CAPTION, "Tools");
    page.command(IDT_NEW_COMMAND);
    CHECK(page.tree() == "Alpha,Tools(New Command)");
    CHECK(page.toolbarStates() == "EEEEGGEG");
    page.type(IDC_CAPTION, "B");
    CHECK(page.tree() == "Alpha,Tools(B)");
    page.type(IDC_CAPTION, "e", true);
    CHECK(page.tree() == "Alpha,Tools(Be)");
    page.type(IDC_CAPTION, "ta", true);
    CHECK(page.tree() == "Alpha,Tools(Beta)");
    page.command(IDT_NEW_SEPARATOR);
    CHECK(page.tree() == "Alpha,Tools(Beta,---)");
    CHECK(page.selected() == "---");
    CHECK(page.enabledControls() == "");
    CHECK(page.fields() == "|||");
    CHECK(page.toolbarStates() == "EEEEEGEG");

    // The other three fields change the record only; showing another node
    // rewrites the edits without counting as an edit.
    page.select("Alpha");
    CHECK(page.fields() == "Alpha|||");
    page.type(IDC_PROMPT, "First one");
    page.type(IDC_ICON_PATH, "C:\\icons\\a.ico,2");
    page.type(IDC_ACTION, "notepad.exe \"%1\"");
    CHECK(page.tree() == "Alpha,Tools(Beta,---)");
    page.select("Tools/Beta");
    CHECK(page.fields() == "Beta|||");
    page.select("Alpha");
    CHECK(page.fields() == "Alpha|First one|C:\\icons\\a.ico,2|notepad.exe \"%1\"");

    // Moves, with the buttons following the moved node.
    CHECK(page.toolbarStates() == "EEEEGEGG");
    page.command(IDT_MOVE_DOWN);
    CHECK(page.tree() == "Tools(Beta,---),Alpha");
    CHECK(page.toolbarStates() == "EEEEEGGE");
    page.command(IDT_MOVE_IN);
    CHECK(page.tree() == "Tools(Beta,---,Alpha)");
    CHECK(page.toolbarStates() == "EEEEEGEG");
    page.command(IDT_MOVE_UP);
    CHECK(page.tree() == "Tools(Beta,Alpha,---)");
    CHECK(page.toolbarStates() == "EEEEEEEG");
    page.command(IDT_MOVE_OUT);
    CHECK(page.tree() == "Tools(Beta,---),Alpha");
    CHECK(page.selected() == "Alpha");
    CHECK(page.fields() == "Alpha|First one|C:\\icons\\a.ico,2|notepad.exe \"%1\"");
    page.select("Tools");
    CHECK(page.expanded("Tools"));
    page.command(IDT_MOVE_DOWN);
    CHECK(page.tree() == "Alpha,Tools(Beta,---)");
    CHECK(page.selected() == "Tools");
    CHECK(page.expanded("Tools"));
    CHECK(page.toolbarStates() == "EEEEEGGG");

    // Delete: No keeps everything, Yes takes the node with its subtree.
    page.select("Alpha");
    CHECK(deleteSelected(page, IDNO) == kDeleteQuestion);
    CHECK(page.tree() == "Alpha,Tools(Beta,---)");
    CHECK(page.fields() == "Alpha|First one|C:\\icons\\a.ico,2|notepad.exe \"%1\"");
    {
        Answer box(ui.id(), kConfirm, IDYES);
        page.command(IDT_DELETE);
        CHECK(box.buttons() == "Yes No");
        CHECK(box.owner() == sheet.window());
    }
    CHECK(page.tree() == "Tools(Beta,---)");
    page.select("Tools");
    CHECK(deleteSelected(page, IDYES) == kDeleteQuestion);
    CHECK(page.tree() == "");
    CHECK(page.enabledControls() == "");
    CHECK(page.fields() == "|||");
    CHECK(page.toolbarStates() == "EEEGGGGG");

    // Nothing reached the store before Apply; Apply writes the empty list.
    CHECK(stored::index("*") == "<absent>");
    sheet.apply();
    CHECK(stored::index("*") == "");
    CHECK(page.tab() == "Context Menu");
    CHECK_FALSE(sheet.applyEnabled());
    sheet.press(PSBTN_OK);
    CHECK(sheet.waitClosed());
}

TEST_CASE("a stored tree loads, is edited and applied, and the store follows the id policy") {
    Samples samples;
    shell_host::clearStore();
    putItem(1, "Files", true, "", "Document tools", "C:\\icons\\files.ico,0");
    putItem(2, "Open", false, "notepad.exe \"%1\"", "Opens it");
    putItem(3, "Edit", false, "write.exe \"%1\"");
    putItem(5, "Print", false, "print.exe \"%1\"");
    putItem(6, "Tools", true);
    putItem(7, "Zip", false, "zip.exe");
    putItem(8, "Mail", false, "mail.exe");
    putItem(9, "Old", false, "old.exe");
    putItem(10, "Older", false, "older.exe");
    putIndex("*", {{1, 0}, {2, 1}, {0, 1}, {3, 1}, {5, 0}, {6, 0}, {7, 6}, {8, 0}, {9, 0}, {10, 0}});
    putMaxId(10);
    store::putFreeIds(shell_host::registryStore(), {4});

    DialogThread ui;
    Sheet sheet(ui, samples.file());
    REQUIRE(sheet);
    Page page(sheet);
    REQUIRE(page);
    CHECK(page.tree() == "Files(Open,---,Edit),Print,Tools(Zip),Mail,Old,Older");
    CHECK(page.tab() == "Context Menu");

    page.select("Files/Open");
    CHECK(page.fields() == "Open|Opens it||notepad.exe \"%1\"");
    CHECK(page.enabledControls() == kAllFields);
    CHECK(page.toolbarStates() == "EEEEGEEG");
    page.select("Files");
    CHECK(page.fields() == "Files|Document tools|C:\\icons\\files.ico,0|");
    CHECK(page.enabledControls() == kSubmenuFields);
    CHECK(page.tab() == "Context Menu");

    // Deleted: two stored items and a stored submenu with its child.
    page.select("Old");
    CHECK(deleteSelected(page, IDNO) == kDeleteQuestion);
    CHECK(page.tab() == "Context Menu");
    CHECK(deleteSelected(page, IDYES) == kDeleteQuestion);
    page.select("Older");
    deleteSelected(page, IDYES);
    page.select("Tools");
    deleteSelected(page, IDYES);
    CHECK(page.tree() == "Files(Open,---,Edit),Print,Mail");
    CHECK(page.tab() == "*Context Menu");

    // Created: a command at the top level, a submenu inside "Files".
    page.select("Print");
    page.command(IDT_NEW_COMMAND);
    page.type(IDC_CAPTION, "Scan");
    page.type(IDC_PROMPT, "Scans");
    page.type(IDC_ICON_PATH, "C:\\icons\\scan.ico,0");
    page.type(IDC_ACTION, "scan.exe \"%1\"");
    page.select("Files");
    page.command(IDT_NEW_SUBMENU);
    page.type(IDC_CAPTION, "More");
    page.select("Files/Edit");
    page.type(IDC_CAPTION, " it", true);
    CHECK(page.tree() == "Files(Open,---,Edit it,More),Print,Scan,Mail");

    // Deleted 6, 7, 9, 10 and the free 4: MaxID falls to 8, the new items
    // take 4 and 6 in tree order, 7 stays free.
    sheet.apply();
    CHECK(page.tab() == "Context Menu");
    CHECK_FALSE(sheet.applyEnabled());
    CHECK(stored::tree("*") == "Files#1(Open#2,---,Edit it#3,More#4()),Print#5,Scan#6,Mail#8");
    CHECK(stored::index("*") == "1/0 2/1 0/1 3/1 4/1 5/0 6/0 8/0");
    CHECK(stored::maxId() == "8");
    CHECK(stored::freeIds() == Ids{7});
    CHECK(stored::itemKeys() == Ids{1, 2, 3, 4, 5, 6, 8});
    CHECK(stored::item(1) == "Files|Document tools|C:\\icons\\files.ico,0|1|");
    CHECK(stored::item(3) == "Edit it|||0|write.exe \"%1\"");
    CHECK(stored::item(4) == "More|||1|");
    CHECK(stored::item(6) == "Scan|Scans|C:\\icons\\scan.ico,0|0|scan.exe \"%1\"");

    // An item the save created is deleted by its new id, which the next new
    // item takes again.
    page.select("Scan");
    deleteSelected(page, IDYES);
    page.select("Mail");
    page.command(IDT_NEW_COMMAND);
    page.type(IDC_CAPTION, "Later");
    sheet.apply();
    CHECK(stored::tree("*") == "Files#1(Open#2,---,Edit it#3,More#4()),Print#5,Mail#8,Later#6");
    CHECK(stored::item(6) == "Later|||0|");
    CHECK(stored::freeIds() == Ids{7});
    CHECK(stored::maxId() == "8");

    // Unmodified: OK closes without a question.
    Answer none(ui.id(), kComfirm, IDNO, 1000);
    sheet.press(PSBTN_OK);
    CHECK(sheet.waitClosed());
    CHECK_FALSE(none.asked());
}

TEST_CASE("cancelling the dialog: nothing asked without changes, each answer with changes") {
    Samples samples;
    shell_host::clearStore();
    DialogThread ui;

    SUBCASE("no changes, or the page never shown: nothing is asked") {
        for (bool show : {false, true}) {
            CAPTURE(show);
            Sheet sheet(ui, samples.file());
            REQUIRE(sheet);
            if (show) REQUIRE(Page(sheet));
            Answer none(ui.id(), kComfirm, IDNO, 1000);
            sheet.press(PSBTN_CANCEL);
            CHECK(sheet.waitClosed());
            CHECK_FALSE(none.asked());
        }
    }

    SUBCASE("on the page: Cancel keeps the dialog and every edit, No closes unsaved") {
        Sheet sheet(ui, samples.file());
        REQUIRE(sheet);
        Page page(sheet);
        page.command(IDT_NEW_COMMAND);
        page.type(IDC_CAPTION, "Kept");
        {
            Answer box(ui.id(), kComfirm, IDCANCEL);
            sheet.press(PSBTN_CANCEL);
            CHECK(box.text() == kSaveQuestion);
            CHECK(box.buttons() == "Yes No Cancel");
            CHECK(box.owner() == sheet.window());
        }
        CHECK(sheet.open());
        CHECK(page.tree() == "Kept");
        CHECK(page.fields() == "Kept|||");
        CHECK(page.tab() == "*Context Menu");
        {
            Answer box(ui.id(), kComfirm, IDNO);
            sheet.press(PSBTN_CANCEL);
            CHECK(box.asked());
        }
        CHECK(sheet.waitClosed());
        CHECK(stored::index("*") == "<absent>");
    }

    SUBCASE("on the page: Yes saves as Apply does") {
        Sheet sheet(ui, samples.file());
        REQUIRE(sheet);
        Page page(sheet);
        page.command(IDT_NEW_COMMAND);
        page.type(IDC_CAPTION, "Saved");
        Answer box(ui.id(), kComfirm, IDYES);
        sheet.press(PSBTN_CANCEL);
        CHECK(box.asked());
        CHECK(sheet.waitClosed());
        CHECK(stored::tree("*") == "Saved#1");
        CHECK(stored::maxId() == "1");
    }

    SUBCASE("another tab shown: asked with Yes and No only") {
        for (int answer : {IDNO, IDYES}) {
            CAPTURE(answer);
            Sheet sheet(ui, samples.file());
            REQUIRE(sheet);
            Page page(sheet);
            page.command(IDT_NEW_COMMAND);
            page.type(IDC_CAPTION, answer == IDYES ? "Yes" : "No");
            sheet.showTab("General");
            Answer box(ui.id(), kComfirm, answer);
            sheet.press(PSBTN_CANCEL);
            CHECK(box.text() == kSaveQuestion);
            CHECK(box.buttons() == "Yes No");
            CHECK(sheet.waitClosed());
        }
        CHECK(stored::tree("*") == "Yes#1");
    }
}

TEST_CASE("two sheets of one kind on two threads: the reload offer and each answer") {
    Samples samples;
    shell_host::clearStore();
    putItem(1, "A", false);
    putItem(2, "B", false);
    putIndex("*", {{1, 0}, {2, 0}});
    putMaxId(2);
    SHDeleteKeyA(HKEY_CURRENT_USER, store_paths::kEditorKey);

    DialogThread ui1, ui2, ui3;
    Sheet sheet1(ui1, samples.file("a.txt")), sheet2(ui2, samples.file("b.txt"));
    Sheet folderSheet(ui3, samples.dir());
    REQUIRE(sheet1);
    REQUIRE(sheet2);
    REQUIRE(folderSheet);
    Page page1(sheet1), page2(sheet2), folderPage(folderSheet);
    CHECK(page2.tree() == "A,B");

    page1.select("A");
    page1.type(IDC_CAPTION, "A1");
    sheet1.apply();
    CHECK(stored::tree("*") == "A1#1,B#2");

    // Not the saving page, not a page of another kind: only page 2, once.
    CHECK(activate(page1, IDNO, 1000) == "<not asked>");
    CHECK(activate(folderPage, IDNO, 1000) == "<not asked>");
    {
        Answer box(ui2.id(), kConfirm, IDYES);
        page2.activate();
        CHECK(box.text() == kReloadQuestion);
        CHECK(box.buttons() == "Yes No");
        CHECK(box.owner() == sheet2.window());
    }
    CHECK(page2.tree() == "A1,B");
    CHECK(page2.tab() == "Context Menu");
    CHECK(page2.fields() == "|||");
    CHECK(page2.toolbarStates() == "EEEGGGGG");
    CHECK(activate(page2, IDNO, 1000) == "<not asked>");

    // No keeps page 2's tree, marked modified, and its Apply wins.
    page1.select("B");
    page1.command(IDT_NEW_COMMAND);
    page1.type(IDC_CAPTION, "C");
    sheet1.apply();
    CHECK(stored::tree("*") == "A1#1,B#2,C#3");
    CHECK(activate(page2, IDNO) == kReloadQuestion);
    CHECK(page2.tree() == "A1,B");
    CHECK(page2.tab() == "*Context Menu");
    sheet2.apply();
    CHECK(stored::tree("*") == "A1#1,B#2");

    // ...and page 1 is offered the other page's save.
    CHECK(activate(page1, IDYES) == kReloadQuestion);
    CHECK(page1.tree() == "A1,B");
    CHECK(page1.tab() == "Context Menu");
    CHECK(activate(folderPage, IDNO, 1000) == "<not asked>");

    // A folder's save is no news to the file pages: page 1 keeps its edit.
    page1.select("B");
    page1.type(IDC_CAPTION, "B1");
    folderPage.command(IDT_NEW_COMMAND);
    folderSheet.apply();
    CHECK(menu_text::outline(store_checks::tree("Directory")) == "New Command");
    CHECK(activate(page1, IDYES, 1000) == "<not asked>");
    CHECK(page1.tree() == "A1,B1");
    CHECK(page1.tab() == "*Context Menu");

    for (Sheet* sheet : {&sheet1, &sheet2, &folderSheet}) {
        sheet->press(PSBTN_OK);
        CHECK(sheet->waitClosed());
    }
}

TEST_CASE("a file's and a folder's page saving at one moment on two threads: no id named twice") {
    Samples samples;
    shell_host::clearStore();
    SHDeleteKeyA(HKEY_CURRENT_USER, store_paths::kEditorKey);
    DialogThread ui1, ui2;
    Sheet files(ui1, samples.file()), folders(ui2, samples.dir());
    REQUIRE(files);
    REQUIRE(folders);
    Page filePage(files), folderPage(folders);
    REQUIRE(filePage);
    REQUIRE(folderPage);
    import_patch::SlowSaves slowSaves(GetModuleHandleA("quillon.dll"));
    REQUIRE_MESSAGE(slowSaves.patched(), "quillon.dll imports no RegCreateKeyExA");
    box_answerer::BoxAnswerer boxes({ui1.id(), ui2.id()});

    std::string fileTree, folderTree;
    for (int round = 0; round < 8; ++round) {
        CAPTURE(round);
        const std::string f = "F" + std::to_string(round), d = "D" + std::to_string(round);
        filePage.command(IDT_NEW_COMMAND);
        filePage.type(IDC_CAPTION, f);
        folderPage.command(IDT_NEW_COMMAND);
        folderPage.type(IDC_CAPTION, d);
        fileTree += (round ? "," : "") + f;
        folderTree += (round ? "," : "") + d;
        std::thread one([&] { files.apply(); }), two([&] { folders.apply(); });
        one.join();
        two.join();
        CHECK(boxes.take().empty());
        CHECK(filePage.tab() == "Context Menu");
        CHECK(folderPage.tab() == "Context Menu");
        CHECK(store_checks::violations() == std::vector<std::string>{});
    }
    CHECK(menu_text::outline(store_checks::tree("*")) == fileTree);
    CHECK(menu_text::outline(store_checks::tree("Directory")) == folderTree);
    CHECK(stored::maxId() == "16");
}

TEST_CASE("the 32-bit and 64-bit editors saving at one moment: no id named twice") {
    Samples samples;
    shell_host::clearStore();
    SHDeleteKeyA(HKEY_CURRENT_USER, store_paths::kEditorKey);
    HANDLE ready = CreateSemaphoreA(nullptr, 0, 2, "TalvexSaveReady");
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, "TalvexSaveGo");
    REQUIRE(ready);
    REQUIRE(go);
    constexpr int kRounds = 8;
    struct Host {
        const char* host;
        const char* dll;
        std::string path;
        PROCESS_INFORMATION process = {};
    } hosts[] = {{"QUILLON_HOST", "QUILLON", samples.file()},
                 {"OTHER_QUILLON_HOST", "OTHER_QUILLON", samples.dir()}};
    for (Host& h : hosts) {
        std::string line = "\"" + test_paths::path(h.host) + "\" \"" + test_paths::path(h.dll) +
                           "\" \"" + h.path + "\" save " + std::to_string(kRounds);
        REQUIRE_MESSAGE(test_process::start(line, h.process), line);
    }
    for (int i = 0; i < 2; ++i) CHECK(WaitForSingleObject(ready, 60000) == WAIT_OBJECT_0);
    SetEvent(go);
    for (Host& h : hosts) {
        CAPTURE(h.host);
        DWORD code = 124;
        if (WaitForSingleObject(h.process.hProcess, 120000) == WAIT_OBJECT_0)
            GetExitCodeProcess(h.process.hProcess, &code);
        else
            TerminateProcess(h.process.hProcess, code);
        CHECK(code == 0);  // 1: a save was refused
        CloseHandle(h.process.hThread);
        CloseHandle(h.process.hProcess);
    }
    CloseHandle(ready);
    CloseHandle(go);
    CHECK(store_checks::violations() == std::vector<std::string>{});
    CHECK(stored::entries("*").size() == kRounds);
    CHECK(stored::entries("Directory").size() == kRounds);
    CHECK(stored::maxId() == std::to_string(2 * kRounds));
}

TEST_CASE("two Properties dialogs on one thread: each page keeps its own tree") {
    Samples samples;
    shell_host::clearStore();
    putItem(1, "Shared", false, "x.exe");
    putIndex("*", {{1, 0}});
    putMaxId(1);

    DialogThread ui;
    Sheet first(ui, samples.file("a.txt"));
    REQUIRE(first);
    Page one(first);
    REQUIRE(one);
    one.select("Shared");
    one.command(IDT_NEW_COMMAND);
    one.type(IDC_CAPTION, "One");

    Sheet second(ui, samples.file("b.txt"));
    REQUIRE(second);
    Page two(second);
    REQUIRE(two);
    CHECK(two.tree() == "Shared");
    CHECK(two.tab() == "Context Menu");
    two.select("Shared");
    two.command(IDT_NEW_COMMAND);
    two.type(IDC_CAPTION, "Two");
    CHECK(two.tree() == "Shared,Two");
    CHECK(one.tree() == "Shared,One");
    one.select("One");
    CHECK(one.fields() == "One|||");
    CHECK(two.fields() == "Two|||");
    CHECK(one.tab() == "*Context Menu");

    // The second saves; the first, on the same thread, is offered it.
    second.apply();
    CHECK(stored::tree("*") == "Shared#1,Two#2");
    CHECK(two.tab() == "Context Menu");
    CHECK(one.tab() == "*Context Menu");
    CHECK(activate(one, IDNO) == kReloadQuestion);
    CHECK(one.tree() == "Shared,One");

    // The first page outlives the second and still has its own state.
    second.press(PSBTN_OK);
    CHECK(second.waitClosed());
    one.select("One");
    one.type(IDC_PROMPT, "still here");
    CHECK(one.tree() == "Shared,One");
    first.apply();
    CHECK(stored::tree("*") == "Shared#1,One#3");
    CHECK(stored::item(3) == "One|still here||0|");
    first.press(PSBTN_OK);
    CHECK(first.waitClosed());
}

TEST_CASE("a folder's page edits the Directory or the Background list by the flag") {
    Samples samples;
    putToolPerKind();
    DialogThread ui;

    auto editFolder = [&](const std::string& path, const char* shown, auto edit) {
        Sheet sheet(ui, path);
        REQUIRE(sheet);
        Page page(sheet);
        CHECK(page.tree() == shown);
        edit(page);
        sheet.press(PSBTN_OK);
        CHECK(sheet.waitClosed());
    };

    // No flag at all: the folder's own list.
    CHECK(shell_host::backgroundFlag() == 0xFFFFFFFF);
    editFolder(samples.dir(), "Folder tool", [](Page& page) {
        page.select("Folder tool");
        page.command(IDT_NEW_COMMAND);
        page.type(IDC_CAPTION, "Folder two");
    });
    CHECK(stored::tree("Directory") == "Folder tool#2,Folder two#4");
    CHECK(stored::tree("Background") == "Background tool#3");
    CHECK(stored::tree("*") == "File tool#1");

    // After the handler's menu on a folder background: the background list;
    // a file's page is not affected.
    openHandlerMenu(samples.dir(), true);
    CHECK(shell_host::backgroundFlag() == 1u);
    editFolder(samples.dir(), "Background tool", [](Page& page) {
        page.select("Background tool");
        deleteSelected(page, IDYES);
    });
    CHECK(stored::tree("Background") == "");
    CHECK(stored::tree("Directory") == "Folder tool#2,Folder two#4");
    CHECK(stored::freeIds() == Ids{3});
    editFolder(samples.file(), "File tool", [](Page&) {});

    // After the menu on the folder itself: the folder's list again.
    openHandlerMenu(samples.dir(), false);
    CHECK(shell_host::backgroundFlag() == 0u);
    editFolder(samples.dir(), "Folder tool,Folder two", [](Page&) {});
}

TEST_CASE("a folder named outside the code page gets the folder's page") {
    Samples samples;
    putToolPerKind();
    const std::string folder = samples.folder.root + "\\Папка";
    CreateDirectoryW(shell_host::wide(folder).c_str(), nullptr);
    DialogThread ui;
    for (bool background : {false, true}) {
        CAPTURE(background);
        openHandlerMenu(folder, background);
        Sheet sheet(ui, folder);
        REQUIRE(sheet);
        Page page(sheet);
        CHECK(page.tree() == (background ? "Background tool" : "Folder tool"));
        sheet.press(PSBTN_CANCEL);
        CHECK(sheet.waitClosed());
    }
}

TEST_CASE("a menu without settings is stored as it was; a deleted item's id reused carries none of its settings") {
    Samples samples;
    shell_host::clearStore();
    putItem(1, "Tools", true, "", "Tools for it", "shell32.dll,3");
    putItem(2, "Open", false, "notepad.exe \"%1\"", "Opens it");
    putItem(3, "Old", false, "old.exe");
    putIndex("*", {{1, 0}, {2, 1}, {0, 0}, {3, 0}});
    putMaxId(3);
    store::putFreeIds(shell_host::registryStore(), {});  // as a save leaves it
    DialogThread ui;
    Sheet sheet(ui, samples.file());
    REQUIRE(sheet);
    Page page(sheet);
    REQUIRE(page);

    // Every value written again, over a store none of whose items has a
    // setting: the registry, compared whole, is as it was.
    const registry_snapshot::Snapshot before = registry_snapshot::snapshot();
    page.select("Tools/Open");
    page.type(IDC_CAPTION, "Opened");
    page.type(IDC_CAPTION, "Open");
    page.type(IDC_SHOW_FOR, "*.txt");
    page.type(IDC_SHOW_FOR, "");
    CHECK(page.tab() == "*Context Menu");
    sheet.apply();
    CHECK(page.tab() == "Context Menu");
    const registry_snapshot::Snapshot after = registry_snapshot::snapshot();
    CHECK_MESSAGE(registry_snapshot::added(before, after) + registry_snapshot::added(after, before) == "",
                  "a save of a menu without settings must leave the registry as it was; these differ");

    // "Old" had all three settings, written by another program since the
    // page loaded: its id goes to a new command, which must start with none.
    shell_host::putItemValue(3, "Selection", 1);
    shell_host::putItemValue(3, "ShowFor", "*.old");
    shell_host::putItemValue(3, "RunAs", 1);
    page.select("Old");
    deleteSelected(page, IDYES);
    page.select("Tools");
    page.command(IDT_NEW_COMMAND);
    page.type(IDC_CAPTION, "New");
    sheet.apply();
    CHECK(stored::tree("*") == "Tools#1(Open#2,New#3),---");
    CHECK(stored::item(3) == "New|||0|");
    CHECK(stored::optional(3) == "<absent>|<absent>|<absent>");
    sheet.press(PSBTN_OK);
    CHECK(sheet.waitClosed());
}

TEST_CASE("limits: a store that cannot hold the tree keeps the edits; long text is cut") {
    Samples samples;
    shell_host::clearStore();
    DialogThread ui;

    SUBCASE("no id left: refused, nothing saved, the page stays modified") {
        putItem(999, "Last", false, "last.exe");
        putIndex("*", {{999, 0}});
        putMaxId(999);
        Sheet sheet(ui, samples.file());
        REQUIRE(sheet);
        Page page(sheet);
        page.select("Last");
        page.command(IDT_NEW_COMMAND);
        {
            Answer box(ui.id(), kRefused, IDOK);
            sheet.apply();
            CHECK(box.asked());
            CHECK(box.owner() == sheet.window());
            CHECK(box.text() != "");  // what was refused and why
        }
        CHECK(page.tree() == "Last,New Command");
        CHECK(page.tab() == "*Context Menu");
        CHECK(stored::index("*") == "999/0");
        CHECK(stored::maxId() == "999");
        CHECK(stored::itemKeys() == Ids{999});

        // Making room lets the same tree save.
        page.select("Last");
        deleteSelected(page, IDYES);
        sheet.apply();
        CHECK(stored::tree("*") == "New Command#999");
        CHECK(page.tab() == "Context Menu");
    }

    SUBCASE("more than 1024 entries: refused, nothing saved") {
        putIndex("*", std::vector<store::IndexEntry>(1024, store::IndexEntry{0, 0}));
        Sheet sheet(ui, samples.file());
        REQUIRE(sheet);
        Page page(sheet);
        CHECK(count(page.tree(), "---") == 1024);
        page.select("---");
        page.command(IDT_NEW_SEPARATOR);
        {
            Answer box(ui.id(), kRefused, IDOK);
            sheet.apply();
            CHECK(box.asked());
        }
        CHECK(count(page.tree(), "---") == 1025);
        CHECK(page.tab() == "*Context Menu");
        CHECK(stored::entries("*").size() == 1024u);
    }

    SUBCASE("typed text longer than its field is cut to the field") {
        Sheet sheet(ui, samples.file());
        REQUIRE(sheet);
        Page page(sheet);
        page.command(IDT_NEW_COMMAND);
        page.type(IDC_CAPTION, std::string(100, 'c'));
        page.type(IDC_PROMPT, std::string(100, 'p'));
        page.type(IDC_ICON_PATH, std::string(300, 'i'));
        page.type(IDC_ACTION, std::string(2100, 'a'));
        CHECK(page.tree() == std::string(63, 'c'));
        page.command(IDT_NEW_SEPARATOR);
        page.select(std::string(63, 'c'));
        CHECK(page.text(IDC_CAPTION) == std::string(63, 'c'));
        CHECK(page.text(IDC_PROMPT) == std::string(63, 'p'));
        CHECK(page.text(IDC_ICON_PATH).size() == 259u);
        CHECK(page.text(IDC_ACTION).size() == 2047u);
        sheet.apply();
        CHECK(stored::item(1) == std::string(63, 'c') + "|" + std::string(63, 'p') + "|" +
                                     std::string(259, 'i') + "|0|" + std::string(2047, 'a'));
    }

    SUBCASE("store data no save wrote: loads, and saves distinct ids") {
        const BYTE index[] = {1, 0, 0, 0, 5, 0, 9, 0, 0xDC, 5, 0, 0, 7};  // 5 under a closed 9,
        putRaw(stored::kIndexKey, "*", REG_BINARY, index, sizeof index);  // 1500, a stray byte
        const std::string longCaption(200, 'L');
        putRaw(stored::itemKey(1).c_str(), "Caption", REG_SZ, longCaption.c_str(), 201);
        putMaxId(2);
        Sheet sheet(ui, samples.file());
        REQUIRE(sheet);
        Page page(sheet);
        CHECK(page.tree().find(std::string(64, 'L')) == std::string::npos);
        page.command(IDT_NEW_COMMAND);
        page.command(IDT_NEW_COMMAND);
        sheet.apply();
        std::vector<unsigned> ids;
        for (const auto& [id, parent] : stored::entries("*"))
            if (id) ids.push_back(id);
        std::vector<unsigned> sorted = ids;
        std::sort(sorted.begin(), sorted.end());
        CHECK(std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end());
        CHECK(sorted.size() == 5u);  // what loaded, and the two new commands
        CHECK((sorted.empty() || sorted.back() <= 999u));
    }
}

namespace {

// The toolbar painted into a bitmap of our own (the path of a real paint,
// custom draw included), and the face and colour of each button's picture.
struct ButtonLook {
    int drawn = 0;       // picture pixels that differ from the button's face
    int colour = 0;      // the largest max(r,g,b) - min(r,g,b) in the picture
    int faceColour = 0;  // the same for the face
};

std::vector<ButtonLook> paintToolbar(Page& page) {
    std::vector<ButtonLook> looks(8);
    page.thread().run([&] {
        HWND toolbar = page.toolbar();
        RECT client;
        GetClientRect(toolbar, &client);
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = client.right;
        info.bmiHeader.biHeight = -client.bottom;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, bitmap);
        SendMessageA(toolbar, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc),
                     PRF_CLIENT | PRF_ERASEBKGND);
        GdiFlush();
        auto pixel = [&](int x, int y) {
            return static_cast<const DWORD*>(bits)[y * client.right + x] & 0xFFFFFF;
        };
        auto colourOf = [](DWORD p) {
            int r = p >> 16 & 255, g = p >> 8 & 255, b = p & 255;
            return std::max({r, g, b}) - std::min({r, g, b});
        };
        for (int i = 0; i < 8; ++i) {
            RECT item = {};
            SendMessageA(toolbar, TB_GETITEMRECT, i, reinterpret_cast<LPARAM>(&item));
            const DWORD face = pixel(item.left + 1, item.top + 1);
            looks[i].faceColour = colourOf(face);
            for (int y = item.top + 3; y < item.top + 19 && y < client.bottom; ++y)
                for (int x = item.left + 3; x < item.left + 19 && x < client.right; ++x) {
                    looks[i].drawn += pixel(x, y) != face;
                    looks[i].colour = std::max(looks[i].colour, colourOf(pixel(x, y)));
                }
        }
        SelectObject(dc, old);
        DeleteDC(dc);
        DeleteObject(bitmap);
    });
    return looks;
}

}  // namespace

TEST_CASE("toolbar pictures: drawn in colour when enabled, grey when disabled") {
    Samples samples;
    shell_host::clearStore();
    putItem(1, "Only", false);
    putIndex("*", {{1, 0}});
    putMaxId(1);
    DialogThread ui;
    Sheet sheet(ui, samples.file());
    REQUIRE(sheet);
    Page page(sheet);
    REQUIRE(page);
    REQUIRE(page.toolbarStates() == "EEEGGGGG");

    std::vector<ButtonLook> looks = paintToolbar(page);
    for (int i = 0; i < 8; ++i) {
        const int button = i + 1;
        CAPTURE(button);
        CHECK(looks[i].drawn > 20);  // a picture, not the bare face
        if (button <= 3) {
            CHECK(looks[i].colour > 60);  // the green plus
        } else {
            CHECK(looks[i].colour <= looks[i].faceColour + 8);  // no colour beyond the face's
        }
    }

    page.select("Only");
    REQUIRE(page.toolbarStates() == "EEEEGGGG");
    looks = paintToolbar(page);
    CHECK(looks[3].colour > 60);  // the red cross, now enabled
    CHECK(looks[4].colour <= looks[4].faceColour + 8);
}
