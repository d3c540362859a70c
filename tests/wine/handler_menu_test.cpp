// The registered handler driven as Explorer drives it: created by class
// identifier, initialised with the shell's data object, building a real
// popup menu, answering help-text requests, measuring and drawing icons and
// starting commands.
#include <doctest/doctest.h>

#include <shlobj.h>

#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>

#include "check_printers.h"
#include "handler_host.h"
#include "foreign_names.h"
#include "import_patch.h"
#include "run_program.h"
#include "shell_host.h"
#include "store_paths.h"

using namespace shell_host;
using handler_host::Handler;
using handler_host::Recorder;
using handler_host::waitForRecord;

namespace {

const char kLibrary[] = "C:\\windows\\system32\\shell32.dll";

std::string helpText(IContextMenu* menu, UINT_PTR offset, UINT size, UINT type = GCS_HELPTEXTA) {
    char buffer[128];
    std::memset(buffer, '#', sizeof buffer);
    buffer[sizeof buffer - 1] = '\0';
    CHECK(menu->GetCommandString(offset, type, nullptr, buffer, size) == S_OK);
    return buffer;
}

}  // namespace

TEST_CASE("a nested menu built into a real popup, read back item by item") {
    ComScope com;
    SampleFolder samples;
    clearStore();
    putItem(1, "Tools", true, "", "Tool commands", std::string(kLibrary) + ",1");
    putItem(2, "Edit", false, "notepad.exe \"%1\"", "Edit it", std::string(kLibrary) + ",2");
    putItem(3, "View", false, "view.exe");
    putItem(4, "Last", false, "last.exe", "", std::string(kLibrary) + ",3");
    putIndex("*", {{1, 0}, {2, 1}, {0, 1}, {3, 1}, {4, 0}});

    HMENU popup = CreatePopupMenu();
    AppendMenuA(popup, MF_STRING, 1, "Open");
    AppendMenuA(popup, MF_STRING, 2, "Print");
    {
        Handler handler({samples.root + "\\a.txt"}, popup, 1, 500, 600);
        CHECK(handler.built == MAKE_HRESULT(SEVERITY_SUCCESS, 0, 6));

        std::vector<MenuEntry> top = readMenu(popup);
        REQUIRE(top.size() == 4);
        CHECK(top[0].text == "Open");
        CHECK(top[1].text == "Tools");
        CHECK(top[1].id == 500);
        CHECK(top[1].bitmap == HBMMENU_CALLBACK);
        CHECK(top[1].data == 0);
        REQUIRE(top[1].submenu != nullptr);
        CHECK(top[2].text == "Last");
        CHECK(top[2].id == 504);
        CHECK(top[2].data == 4);
        CHECK(top[3].text == "Print");

        std::vector<MenuEntry> sub = readMenu(top[1].submenu);
        REQUIRE(sub.size() == 3);
        CHECK(sub[0].text == "Edit");
        CHECK(sub[0].id == 501);
        CHECK(sub[0].data == 1);
        CHECK((sub[1].type & MFT_SEPARATOR) != 0);
        CHECK(sub[2].text == "View");
        CHECK(sub[2].id == 503);
        CHECK(sub[2].bitmap == nullptr);  // no icon: neither bitmap nor item data
        CHECK(sub[2].data == 0);
        CHECK(sub[2].submenu == nullptr);

        // help text by command offset
        IContextMenu* menu = handler.menu;
        CHECK(helpText(menu, 0, 64) == "Tool commands");
        CHECK(helpText(menu, 1, 36) == "Edit it");
        CHECK(helpText(menu, 3, 36) == "");
        CHECK(helpText(menu, 1, 35).substr(0, 4) == "####");          // too small: nothing

        // Each request type, in both character sets: help text, validation,
        // and no verb (korvane names none), never S_OK with nothing written.
        struct Request {
            UINT type;
            UINT_PTR offset;
            HRESULT result;
            const wchar_t* text;  // what the buffer holds after; null: untouched
        };
        const Request requests[] = {
            {GCS_HELPTEXTA, 1, S_OK, L"Edit it"},    {GCS_HELPTEXTW, 1, S_OK, L"Edit it"},
            {GCS_HELPTEXTW, 3, S_OK, L""},           {GCS_HELPTEXTW, 99, E_INVALIDARG, nullptr},
            {GCS_VALIDATEA, 4, S_OK, nullptr},       {GCS_VALIDATEW, 2, S_OK, nullptr},
            {GCS_VALIDATEA, 5, S_FALSE, nullptr},    {GCS_VALIDATEW, 99, S_FALSE, nullptr},
            {GCS_VERBA, 1, E_INVALIDARG, nullptr},   {GCS_VERBW, 1, E_INVALIDARG, nullptr},
            {GCS_VERBICONW, 1, E_INVALIDARG, nullptr},
        };
        for (const Request& request : requests) {
            CAPTURE(request.type);
            CAPTURE(request.offset);
            wchar_t buffer[64];
            wmemset(buffer, L'#', 64);
            CHECK(Hr(menu->GetCommandString(request.offset, request.type, nullptr,
                                            reinterpret_cast<CHAR*>(buffer), 64)) == Hr(request.result));
            const char* narrow = reinterpret_cast<const char*>(buffer);
            std::string got = request.type & GCS_UNICODE ? utf8(std::wstring(buffer, wcsnlen(buffer, 64)).c_str())
                                                         : std::string(narrow, strnlen(narrow, 64));
            if (request.text) CHECK(got == utf8(request.text));
            else CHECK(buffer[0] == L'#');
        }
    }
    DestroyMenu(popup);
}

TEST_CASE("long prompts are cut to the caller's buffer; menus stop at the last id") {
    ComScope com;
    SampleFolder samples;
    clearStore();
    putItem(1, "Long", false, "x.exe", std::string(40, 'p'));
    putItem(2, "Next", false, "y.exe");
    putIndex("*", {{1, 0}, {2, 0}, {0, 0}});
    HMENU popup = CreatePopupMenu();
    {
        Handler handler({samples.root + "\\a.txt"}, popup, 0, 10, 10);
        CHECK(handler.built == MAKE_HRESULT(SEVERITY_SUCCESS, 0, 2));
        std::vector<MenuEntry> entries = readMenu(popup);
        REQUIRE(entries.size() == 1);
        CHECK(entries[0].id == 10);

        char buffer[64];
        std::memset(buffer, '#', sizeof buffer);
        CHECK(handler.menu->GetCommandString(0, GCS_HELPTEXTA, nullptr, buffer, 36) == S_OK);
        CHECK(std::string(buffer) == std::string(35, 'p'));
        CHECK(buffer[36] == '#');  // nothing past the buffer
        wchar_t wide[64];
        wmemset(wide, L'#', 64);
        CHECK(handler.menu->GetCommandString(0, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(wide), 36) == S_OK);
        CHECK(utf8(wide) == std::string(35, 'p'));
        CHECK(wide[36] == L'#');
    }
    DestroyMenu(popup);
}

TEST_CASE("icons are measured as 2 by 16 and drawn: the library's, or the shield of an elevated command") {
    ComScope com;
    SampleFolder samples;
    clearStore();
    putItem(1, "Second", false, "x.exe", "", std::string(kLibrary) + ",1");
    putItem(2, "Missing", false, "y.exe", "", "C:\\no\\such.dll,0");
    // longer than 63 characters, and still the same library
    std::string longPath = "C:\\windows";
    while (longPath.size() < 90) longPath += "\\system32\\..";
    putItem(3, "Long", false, "z.exe", "", longPath + "\\system32\\shell32.dll,1");
    putItem(4, "Elevated", false, "e.exe");
    REQUIRE(putItemValue(4, "RunAs", 1));
    putItem(5, "Elevated, own icon", false, "e.exe", "", std::string(kLibrary) + ",1");
    REQUIRE(putItemValue(5, "RunAs", 1));
    putIndex("*", {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}});
    HMENU popup = CreatePopupMenu();
    Handler handler({samples.root + "\\a.txt"}, popup);

    MEASUREITEMSTRUCT measure = {ODT_MENU, 0, 1, 99, 99, 1};
    LRESULT untouched = 12345;
    CHECK(handler.menu->HandleMenuMsg2(WM_MEASUREITEM, 0, reinterpret_cast<LPARAM>(&measure),
                                       &untouched) == S_OK);
    CHECK(measure.itemWidth == 2);
    CHECK(measure.itemHeight == 16);
    CHECK(untouched == 12345);
    CHECK(handler.menu->HandleMenuMsg(WM_INITMENUPOPUP, 0, 0) == S_OK);

    auto drawItem = [&](ULONG_PTR data) { return handler.drawIcon(data); };
    auto expected = [&](int index) { return handler_host::expectedIcon(kLibrary, index); };
    std::vector<COLORREF> blank = handler_host::paintPixels([](HDC) {});
    std::vector<COLORREF> drawn = drawItem(0);
    CHECK(drawn != blank);
    CHECK(drawn == expected(1));
    CHECK(drawn != expected(0));
    CHECK(drawItem(2) == expected(1));
    CHECK(drawItem(1) == blank);   // the icon file cannot be read: nothing drawn
    CHECK(drawItem(77) == blank);  // no such slot
    CHECK(handler.menu->HandleMenuMsg2(WM_DRAWITEM, 0, 0, nullptr) == S_OK);

    // The shield as the system gives it to any program (under Wine 8 a
    // location without an icon); as a stand-in for it gives it, asked for
    // the small shield; nothing where there is none (before Windows Vista).
    std::vector<MenuEntry> entries = readMenu(popup);
    REQUIRE(entries.size() == 5);
    CHECK(entries[3].bitmap == HBMMENU_CALLBACK);
    const std::vector<COLORREF> shield = handler_host::expectedShield();
    INFO("the system " << (shield == blank ? "gives no shield icon" : "draws a shield"));
    CHECK(drawItem(3) == shield);
    CHECK(drawItem(4) == expected(1));  // its own icon stays
    using handler_host::StockIcons;
    const HMODULE korvane = GetModuleHandleA("korvane.dll");
    {
        StockIcons standIn(korvane, kLibrary, 2);
        REQUIRE(standIn.patch.patched());
        CHECK(drawItem(3) == expected(2));
        CHECK(StockIcons::asked == std::vector<std::string>{"77 101"});  // SIID_SHIELD, SHGSI_ICON | SHGSI_SMALLICON
        CHECK(drawItem(4) == expected(1));
    }
    {
        StockIcons none(korvane);
        CHECK(drawItem(3) == blank);
        CHECK(drawItem(0) == expected(1));
    }
    DestroyMenu(popup);
}

TEST_CASE("commands start their program with the placeholders expanded") {
    ComScope com;
    SampleFolder samples;
    Recorder recording(samples.root + "\\record.txt");
    const std::string& recorder = recording.program;
    const std::string& record = recording.record;

    clearStore();
    putItem(1, "Nothing", false, "");
    putItem(2, "Spaced", false, " \"" + recorder + "\" \"%1\"");
    putItem(3, "Sub", true, "\"" + recorder + "\"");
    putItem(4, "Record", false, "\"" + recorder + "\" /p \"%1\" 100% %x $(%0) $:2");
    std::string manyPaths;
    for (int i = 0; i < 80; ++i) manyPaths += " \"%1\"";
    putItem(5, "Long arguments", false, "\"" + recorder + "\"" + manyPaths);
    // cut to 259 characters this would still name the folder
    std::string longFolder = "%0";
    for (int i = 0; i < 130; ++i) longFolder += "\\.";
    putItem(6, "Long directory", false, "\"" + recorder + "\" $(" + longFolder + ")");
    putIndex("*", {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}, {6, 0}});
    HMENU popup = CreatePopupMenu();
    std::string file = samples.root + "\\a.txt";
    Handler handler({file}, popup);
    REQUIRE(handler.built == MAKE_HRESULT(SEVERITY_SUCCESS, 0, 7));

    auto invoke = [&](LPCSTR verb) { return handler_host::invoke(handler.menu, verb); };
    // None of these offsets starts anything, and all succeed.
    CHECK(invoke(MAKEINTRESOURCEA(0)) == S_OK);
    CHECK(invoke(MAKEINTRESOURCEA(1)) == S_OK);
    CHECK(invoke(MAKEINTRESOURCEA(2)) == S_OK);
    CHECK(invoke(MAKEINTRESOURCEA(40)) == S_OK);
    CHECK(invoke(MAKEINTRESOURCEA(5)) == S_OK);  // a working directory past any path's length
    // A verb by name is another handler's: a failure, so the shell asks the next.
    for (const char* verb : {"open", "properties", "delete", "cmd1"}) {
        CAPTURE(verb);
        CHECK(Hr(invoke(verb)) == Hr(E_FAIL));
        std::wstring wide(verb, verb + std::strlen(verb));
        CMINVOKECOMMANDINFOEX info = {};
        info.cbSize = sizeof info;
        info.fMask = CMIC_MASK_UNICODE;
        info.lpVerb = verb;
        info.lpVerbW = wide.c_str();
        CHECK(Hr(handler.menu->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&info))) ==
              Hr(E_FAIL));
        info.lpVerb = MAKEINTRESOURCEA(3);  // a wide name wins over an offset beside it
        CHECK(Hr(handler.menu->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&info))) ==
              Hr(E_FAIL));
    }
    CHECK(Hr(handler.menu->InvokeCommand(nullptr)) == Hr(E_INVALIDARG));
    Sleep(1500);  // long enough for a wrongly started recorder to have written
    CHECK(GetFileAttributesA(record.c_str()) == INVALID_FILE_ATTRIBUTES);

    CHECK(invoke(MAKEINTRESOURCEA(3)) == S_OK);
    std::string got = waitForRecord(record);
    INFO("record: " << got);
    std::istringstream lines(got);
    std::string commandLine, directory, show;
    std::getline(lines, commandLine);
    std::getline(lines, directory);
    std::getline(lines, show);
    CHECK(commandLine.find("/p \"" + file + "\" 100") != std::string::npos);
    CHECK(commandLine.find('%') == std::string::npos);
    CHECK(commandLine.find("$(") == std::string::npos);
    CHECK(directory == samples.root);
    CHECK(show == std::to_string(SW_MAXIMIZE));

    // Arguments longer than a fixed buffer are passed whole.
    recording.next();
    CHECK(invoke(MAKEINTRESOURCEA(4)) == S_OK);
    got = waitForRecord(record);
    std::size_t quotedPaths = 0;
    for (std::size_t at = got.find(file); at != std::string::npos; at = got.find(file, at + 1))
        ++quotedPaths;
    CHECK(quotedPaths == 80);
    DestroyMenu(popup);
}

// The arguments a started program reads from its command line, as
// CommandLineToArgvW reads them (the program's own name left out).
static std::vector<std::string> argvOf(const std::string& commandLine) {
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(wide(commandLine).c_str(), &count);
    std::vector<std::string> out;
    for (int i = 1; argv && i < count; ++i) out.push_back(utf8(argv[i]));
    LocalFree(argv);
    return out;
}

TEST_CASE("drive roots and folders with parentheses reach the program exactly") {
    ComScope com;
    SampleFolder samples;
    Recorder recording(samples.root + "\\record-root.txt");
    const std::string& recorder = recording.program;
    const std::string& record = recording.record;
    const std::string app = samples.root + "\\Program Files (x86)\\App";
    CreateDirectoryA((samples.root + "\\Program Files (x86)").c_str(), nullptr);
    CreateDirectoryA(app.c_str(), nullptr);
    const std::string rootFile = "C:\\korvane-root.txt";
    HANDLE created = CreateFileA(rootFile.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    REQUIRE(created != INVALID_HANDLE_VALUE);
    CloseHandle(created);

    clearStore();
    putItem(1, "Paths", false, "\"" + recorder + "\" \"%1\" \"%0\" %0\\sub $(%0)");
    putItem(2, "In the app's folder", false, "\"" + recorder + "\" x $(" + app + ") $:1");
    putIndex("*", {{1, 0}, {2, 0}});
    putIndex("Drive", {{1, 0}});
    struct Case {
        std::string clicked;
        UINT offset;
        std::vector<std::string> arguments;
        std::string directory;
    };
    const Case cases[] = {
        {rootFile, 0, {rootFile, "C:\\", "C:\\sub"}, "C:\\"},
        {"C:\\", 0, {"C:\\", "C:\\", "C:\\sub"}, "C:\\"},  // the Drive menu
        {samples.root + "\\a.txt", 1, {"x"}, app},
    };
    for (const Case& c : cases) {
        CAPTURE(c.clicked);
        HMENU popup = CreatePopupMenu();
        Handler handler({c.clicked}, popup);
        REQUIRE(handler.built != MAKE_HRESULT(SEVERITY_SUCCESS, 0, 1));
        recording.next();
        CHECK(Hr(handler_host::invoke(handler.menu, MAKEINTRESOURCEA(c.offset))) == Hr(S_OK));
        std::istringstream lines(waitForRecord(record));
        std::string commandLine, directory;
        std::getline(lines, commandLine);
        std::getline(lines, directory);
        INFO("command line: " << commandLine);
        CHECK(argvOf(commandLine) == c.arguments);
        CHECK(directory == c.directory);
        DestroyMenu(popup);
    }
    DeleteFileA(rootFile.c_str());
}

TEST_CASE("an action longer than its field starts nothing; one that fits runs as written") {
    ComScope com;
    SampleFolder samples;
    Recorder recording(samples.root + "\\record-long.txt");
    const std::string& recorder = recording.program;
    const std::string& record = recording.record;

    // `"recorder" "aaa...a"` of exactly `length` characters, then `tail`.
    auto action = [&](std::size_t length, const std::string& tail) {
        std::string head = "\"" + recorder + "\" \"";
        return head + std::string(length - head.size() - 1, 'a') + "\"" + tail;
    };
    std::string fits = action(2047, "");
    std::string tooLong = action(2040, " $(C:\\Work) $:3");  // a 2047-character cut would lose the tail
    std::string oneOver = action(2048, "");
    REQUIRE(fits.size() == 2047);
    REQUIRE(tooLong.size() > 2047);
    clearStore();
    putItem(1, "Fits", false);
    putItem(2, "Too long", false, "", "still shown");
    putItem(3, "One over", false);
    auto writeAction = [](unsigned id, const std::string& text) {
        std::string path = std::string(store_paths::kItemsKey) + "\\" + std::to_string(id);
        CHECK(SHSetValueA(HKEY_CURRENT_USER, path.c_str(), "Action", REG_SZ, text.c_str(),
                          static_cast<DWORD>(text.size() + 1)) == ERROR_SUCCESS);
    };
    writeAction(1, fits);
    writeAction(2, tooLong);
    writeAction(3, oneOver);
    putIndex("*", {{1, 0}, {2, 0}, {3, 0}});

    HMENU popup = CreatePopupMenu();
    Handler handler({samples.root + "\\a.txt"}, popup);
    REQUIRE(handler.built == MAKE_HRESULT(SEVERITY_SUCCESS, 0, 4));
    CHECK(GetMenuItemCount(popup) == 3);  // every item is shown
    CHECK(helpText(handler.menu, 1, 64) == "still shown");
    auto invoke = [&](UINT offset) { return handler_host::invoke(handler.menu, MAKEINTRESOURCEA(offset)); };
    CHECK(invoke(1) == S_OK);
    CHECK(invoke(2) == S_OK);
    Sleep(1500);  // long enough for a wrongly started recorder to have written
    CHECK_MESSAGE(GetFileAttributesA(record.c_str()) == INVALID_FILE_ATTRIBUTES,
                  "a cut command was started: " << waitForRecord(record).substr(0, 120) << "...");

    CHECK(invoke(0) == S_OK);
    std::string got = waitForRecord(record);
    std::string commandLine = got.substr(0, got.find('\n'));
    CHECK(commandLine.find(std::string(2047 - recorder.size() - 6, 'a')) != std::string::npos);
    CHECK(commandLine.size() >= fits.size() - 2);  // as written, the program's quotes aside
    DestroyMenu(popup);
}

namespace {

// Windows' answers about packages, as korvane.dll finds them through
// GetProcAddress: Wine has neither function, Windows 8 and later both.
struct PackageAnswers {
    static bool present;      // the two functions exist
    static UINT32 packages;   // how many of the family the account has
    static int questions;     // GetPackagesByPackageFamily calls
    static std::wstring name, publisher;  // what korvane asked about
    static DWORD clock;       // added to the tick count korvane reads

    struct Id { UINT32 reserved, architecture; UINT64 version; PWSTR name, publisher, resource, publisherId; };
    static LONG WINAPI familyName(const Id* id, UINT32* length, PWSTR family) {
        name = id->name;
        publisher = id->publisher;
        const wchar_t text[] = L"Talvex.ContextMenus_0123456789abc";
        if (*length < ARRAYSIZE(text)) return ERROR_INSUFFICIENT_BUFFER;
        lstrcpyW(family, text);
        *length = ARRAYSIZE(text);
        return ERROR_SUCCESS;
    }
    static LONG WINAPI byFamily(PCWSTR family, UINT32* count, PWSTR*, UINT32* length, WCHAR*) {
        ++questions;
        *count = std::wstring(family) == L"Talvex.ContextMenus_0123456789abc" ? packages : 0;
        *length = *count ? 80 : 0;
        return *count ? ERROR_INSUFFICIENT_BUFFER : ERROR_SUCCESS;
    }
    static FARPROC WINAPI lookUp(HMODULE module, LPCSTR function) {
        if (present && !IS_INTRESOURCE(function)) {
            if (std::string(function) == "PackageFamilyNameFromId") return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&familyName));
            if (std::string(function) == "GetPackagesByPackageFamily") return reinterpret_cast<FARPROC>(reinterpret_cast<void*>(&byFamily));
        }
        return GetProcAddress(module, function);
    }
    static DWORD WINAPI ticks() { return GetTickCount() + clock; }
};
bool PackageAnswers::present = false;
UINT32 PackageAnswers::packages = 0;
int PackageAnswers::questions = 0;
std::wstring PackageAnswers::name, PackageAnswers::publisher;
DWORD PackageAnswers::clock = 0;

void setMachineText(HKEY key, const wchar_t* name, const std::wstring& text) {
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

TEST_CASE("the classic menu steps back for files, folders and backgrounds only where the account "
          "has the package") {
    ComScope com;
    SampleFolder samples;
    clearStore();
    putItem(1, "Mine", false, "x.exe");
    for (const char* kind : {"*", "Directory", "Background", "Drive"}) putIndex(kind, {{1, 0}});
    HKEY machine = nullptr;  // what the installer records of the package it registered
    REQUIRE(RegCreateKeyExA(HKEY_LOCAL_MACHINE, TALVEX_MACHINE_KEY, 0, nullptr, 0,
                            KEY_SET_VALUE | KEY_WOW64_64KEY, nullptr, &machine, nullptr) == ERROR_SUCCESS);
    const DWORD one = 1;
    RegSetValueExA(machine, TALVEX_PACKAGED_MENU_VALUE, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one), sizeof one);
    const std::wstring publisher = L"CN=Bygger \u00c6, O=\"Contoso, Inc.\", C=DK";
    { HMENU popup = CreatePopupMenu(); Handler loaded({samples.root + "\\a.txt"}, popup); DestroyMenu(popup); }
    HMODULE korvane = GetModuleHandleA("korvane.dll");
    import_patch::ImportPatch lookUp(korvane, "kernel32.dll", "GetProcAddress",
                                     reinterpret_cast<ULONG_PTR>(&PackageAnswers::lookUp));
    import_patch::ImportPatch ticks(korvane, "kernel32.dll", "GetTickCount",
                                    reinterpret_cast<ULONG_PTR>(&PackageAnswers::ticks));
    REQUIRE(lookUp.patched());
    REQUIRE(ticks.patched());

    struct Row { const char* what; bool recorded, present; UINT32 packages; std::vector<UINT> entries; };
    // Entries for a file, a folder, a background and a drive root.
    const Row rows[] = {
        {"the account has the package", true, true, 1, {0, 0, 0, 1}},
        {"another account has it (the installer ran elevated as another user)", true, true, 0, {1, 1, 1, 1}},
        {"a system without the package functions (Wine, Windows 7)", true, false, 1, {1, 1, 1, 1}},
        {"no record of a package", false, true, 1, {1, 1, 1, 1}},
    };
    for (const Row& row : rows) {
        CAPTURE(row.what);
        RegDeleteValueA(machine, TALVEX_PACKAGE_NAME_VALUE);
        RegDeleteValueA(machine, TALVEX_PACKAGE_PUBLISHER_VALUE);
        if (row.recorded) {
            setMachineText(machine, L"" TALVEX_PACKAGE_NAME_VALUE, L"" TALVEX_PACKAGE_NAME);
            setMachineText(machine, L"" TALVEX_PACKAGE_PUBLISHER_VALUE, publisher);
        }
        PackageAnswers::present = row.present;
        PackageAnswers::packages = row.packages;
        PackageAnswers::questions = 0;
        PackageAnswers::clock += 60000;  // the last answer has expired
        std::vector<UINT> entries;
        for (int i = 0; i < 4; ++i) {
            HMENU popup = CreatePopupMenu();
            {
                std::unique_ptr<Handler> handler(i == 2 ? new Handler(popup, samples.root)
                    : new Handler({i == 0 ? samples.root + "\\a.txt" : i == 1 ? samples.root + "\\folder" : "C:\\"}, popup));
                entries.push_back(static_cast<UINT>(GetMenuItemCount(popup)));
                CHECK(handler->built == MAKE_HRESULT(SEVERITY_SUCCESS, 0, entries.back() + 1));
            }
            DestroyMenu(popup);
        }
        CHECK(entries == row.entries);
        // Asked at most once for the four menus, and about the recorded package.
        CHECK(PackageAnswers::questions == (row.recorded && row.present ? 1 : 0));
        if (PackageAnswers::questions) {
            CHECK(shell_host::utf8(PackageAnswers::name.c_str()) == TALVEX_PACKAGE_NAME);
            CHECK(PackageAnswers::publisher == publisher);
        }
    }
    RegCloseKey(machine);
    RegDeleteKeyExA(HKEY_LOCAL_MACHINE, TALVEX_MACHINE_KEY, KEY_WOW64_64KEY, 0);
}

namespace {

std::string localTalvexFolder() {
    char local[MAX_PATH] = {};
    REQUIRE(SUCCEEDED(SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, local)));
    return std::string(local) + "\\Talvex";
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void setTrace(DWORD on) {
    HKEY key = nullptr;
    REQUIRE(RegCreateKeyExA(HKEY_CURRENT_USER, TALVEX_USER_KEY, 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &key, nullptr) == ERROR_SUCCESS);
    RegSetValueExA(key, TALVEX_TRACE_VALUE, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&on), sizeof on);
    RegCloseKey(key);
}

}  // namespace

TEST_CASE("the trace: off, a right click writes no file; on, one line per call, kept under 1 MB") {
    // korvane_demo.exe makes one right click in a process of its own: the
    // switch is read once per process.
    const std::string demo = "\"" + test_paths::path("KORVANE_DEMO") + "\"";
    const std::string folder = localTalvexFolder(), log = folder + "\\trace.log",
                      old = folder + "\\trace.old.log";
    DeleteFileA(log.c_str());
    DeleteFileA(old.c_str());

    setTrace(0);
    REQUIRE(test_process::run(demo) == 0);
    CHECK_MESSAGE(GetFileAttributesA(log.c_str()) == INVALID_FILE_ATTRIBUTES, "trace written while off");

    // On, over a full file: that one is kept as the older file.
    setTrace(1);
    CreateDirectoryA(folder.c_str(), nullptr);
    const std::string full(1024 * 1024, 'x');
    std::ofstream(log, std::ios::binary) << full;
    REQUIRE(test_process::run(demo) == 0);
    const std::string text = fileText(log);
    for (const char* call : {"korvane.dll DllGetClassObject({" , "korvane.dll ClassFactory::CreateInstance(",
                             "korvane.dll Korvane::Initialize(folder=no selection=yes result=0x00000000 kind=*) -> 0x00000000",
                             "korvane.dll Korvane::QueryContextMenu(", "korvane.dll Korvane::InvokeCommand(offset="})
        CHECK_MESSAGE(text.find(call) != std::string::npos, "no line with \"" << call << "\" in:\n" << text);
    CHECK(text.find(" pid ") != std::string::npos);
    CHECK(text.size() < 64 * 1024);
    CHECK(fileText(old) == full);
    setTrace(0);
}

TEST_CASE("several selected objects: the first only, each in turn, all at once, elevated, filtered") {
    ComScope com;
    SampleFolder samples;
    const std::string docs = samples.root + "\\Docs";
    foreign_names::createFolder(shell_host::wide(docs));
    std::vector<std::string> files;
    for (const char* name : {"Отчёт.txt", "表 1.txt", "photo.JPG"}) {
        files.push_back(docs + "\\" + name);
        foreign_names::createFile(shell_host::wide(files.back()));
    }
    std::vector<std::string> many;
    for (int i = 0; i < 16; ++i) {
        many.push_back(docs + "\\n" + std::to_string(i) + ".txt");
        foreign_names::createFile(shell_host::wide(many.back()));
    }
    clearStore();
    putItem(1, "First", false, "p.exe \"%1\" \"%0\"");
    putItem(2, "Each", false, "p.exe \"%1\" \"%0\"");
    REQUIRE(putItemValue(2, "Selection", 1));
    putItem(3, "All", false, "p.exe \"%1\"");
    REQUIRE(putItemValue(3, "Selection", 2));
    putItem(4, "Admin", false, "p.exe %1");
    REQUIRE(putItemValue(4, "RunAs", 1));
    putItem(5, "Texts", false, "p.exe");
    REQUIRE(putItemValue(5, "ShowFor", "*.txt"));
    putItem(6, "Photos", true);
    REQUIRE(putItemValue(6, "ShowFor", "*.jpg;*.png"));
    putItem(7, "View", false, "p.exe");
    putItem(8, "Not photos", false, "p.exe");
    REQUIRE(putItemValue(8, "ShowFor", "!*.jpg"));
    putIndex("*", {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {0, 0}, {5, 0}, {6, 0}, {7, 6}, {0, 0}, {8, 0}});
    { HMENU popup = CreatePopupMenu(); Handler loaded({files[0]}, popup); DestroyMenu(popup); }
    HMODULE korvane = GetModuleHandleA("korvane.dll");
    import_patch::ImportPatch execute(korvane, "shell32.dll", "ShellExecuteExW",
                                      reinterpret_cast<ULONG_PTR>(&handler_host::Starts::execute));
    import_patch::ImportPatch box(korvane, "user32.dll", "MessageBoxW", reinterpret_cast<ULONG_PTR>(&handler_host::Starts::box));
    REQUIRE(execute.patched());
    REQUIRE(box.patched());

    // The menu for each selection: filters, their emptied submenu and the
    // separators they leave collapse; offsets count what shows.
    struct Shown { std::vector<std::string> selection; std::string menu; };
    for (const Shown& row : {Shown{{files[0], files[1]}, "First,Each,All,Admin,---,Texts,---,Not photos"},
                             Shown{{files[2]}, "First,Each,All,Admin,---,Photos,>View"},
                             Shown{{files[0], files[2]}, "First,Each,All,Admin"}}) {
        CAPTURE(row.menu);
        HMENU popup = CreatePopupMenu();
        Handler handler(row.selection, popup);
        std::string menu;
        std::function<void(HMENU, const std::string&)> read = [&](HMENU at, const std::string& depth) {
            for (const MenuEntry& entry : readMenu(at)) {
                menu += (menu.empty() ? "" : ",") + depth + (entry.type & MFT_SEPARATOR ? "---" : entry.text);
                if (entry.submenu) read(entry.submenu, depth + ">");
            }
        };
        read(popup, "");
        CHECK(menu == row.menu);
        if (row.selection.size() == 2 && row.selection[1] == files[1]) {
            handler_host::Starts::clear();
            CHECK(handler_host::invoke(handler.menu, MAKEINTRESOURCEA(5)) == S_OK);  // "Texts"
            CHECK(handler_host::Starts::lines == std::vector<std::string>{"\"p.exe\""});
        }
        DestroyMenu(popup);
    }

    HMENU popup = CreatePopupMenu();
    Handler handler(files, popup);
    auto invoke = [&](UINT offset) { return handler_host::invoke(handler.menu, MAKEINTRESOURCEA(offset)); };
    const std::vector<std::string> parentOnly{docs};

    handler_host::Starts::clear();
    CHECK(invoke(0) == S_OK);  // the first object only
    REQUIRE(handler_host::Starts::lines.size() == 1);
    CHECK(argvOf(handler_host::Starts::lines[0]) == std::vector<std::string>{files[0], docs});
    CHECK(handler_host::Starts::verbs == std::vector<std::string>{"open"});

    handler_host::Starts::clear();
    CHECK(invoke(1) == S_OK);  // each in turn, in the shell's order
    REQUIRE(handler_host::Starts::lines.size() == 3);
    for (std::size_t i = 0; i < 3; ++i) CHECK(argvOf(handler_host::Starts::lines[i]) == std::vector<std::string>{files[i], docs});

    handler_host::Starts::clear(FALSE);  // the program is missing: one failure, no more starts
    CHECK(invoke(1) == S_OK);
    CHECK(handler_host::Starts::lines.size() == 1);

    handler_host::Starts::clear();
    CHECK(invoke(2) == S_OK);  // all at once: one start, every path an argument of its own
    REQUIRE(handler_host::Starts::lines.size() == 1);
    CHECK(argvOf(handler_host::Starts::lines[0]) == files);

    handler_host::Starts::clear();
    CHECK(invoke(3) == S_OK);  // elevated: the verb alone differs
    CHECK(handler_host::Starts::verbs == std::vector<std::string>{"runas"});
    CHECK(handler_host::Starts::boxes.empty());
    DestroyMenu(popup);

    // Above 15 objects, each in turn asks first; No starts nothing, Yes all.
    HMENU manyPopup = CreatePopupMenu();
    Handler manyHandler(many, manyPopup);
    handler_host::Starts::clear(TRUE, IDNO);
    CHECK(handler_host::invoke(manyHandler.menu, MAKEINTRESOURCEA(1)) == S_OK);
    CHECK(handler_host::Starts::boxes == std::vector<std::string>{"Start \"Each\" for 16 objects?"});
    CHECK(handler_host::Starts::lines.empty());
    handler_host::Starts::clear(TRUE, IDYES);
    CHECK(handler_host::invoke(manyHandler.menu, MAKEINTRESOURCEA(1)) == S_OK);
    CHECK(handler_host::Starts::lines.size() == 16);
    DestroyMenu(manyPopup);
}
