// korvane.dll's command objects for Windows 11's first right-click menu,
// driven as Explorer drives them: created through DllGetClassObject, asked
// for state, titles, icons, tooltips and flags to any depth with the
// shell's item arrays, and invoked. Their commands start record_invocation.exe.
#include <doctest/doctest.h>

#include <cstdlib>
#include <memory>
#include <sstream>
#include <string>

#include "command_host.h"
#include "foreign_names.h"
#include "handler_host.h"
#include "import_patch.h"
#include "shell_host.h"
#include "store_paths.h"
#include "test_paths.h"

using namespace shell_host;
using namespace command_host;

namespace {

const std::string kLibrary = "C:\\windows\\system32\\shell32.dll";

// The DLL loaded by the test itself; every object is gone before it unloads.
struct Korvane {
    HMODULE module = LoadLibraryA(test_paths::path("KORVANE").c_str());
    ~Korvane() { FreeLibrary(module); }
    std::string path() const {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(module, path, MAX_PATH);
        return utf8(path);
    }
};

// A folder window as the background's command finds it: the site gives a
// folder view, whose folder is the one shown.
class FolderSite final : public IServiceProvider, public IFolderView {
public:
    explicit FolderSite(const std::string& folder) { REQUIRE(itemsFor(folder)->GetItemAt(0, &folder_) == S_OK); }
    ~FolderSite() { folder_->Release(); }
    STDMETHODIMP QueryInterface(REFIID id, void** out) override {
        *out = IsEqualIID(id, IID_IServiceProvider) || IsEqualIID(id, IID_IUnknown)
                   ? static_cast<void*>(static_cast<IServiceProvider*>(this))
                   : IsEqualIID(id, IID_IFolderView) ? static_cast<IFolderView*>(this) : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }  // lives on the test's stack
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP QueryService(REFGUID service, REFIID id, void** out) override {
        *out = nullptr;
        return IsEqualGUID(service, SID_SFolderView) ? QueryInterface(id, out) : E_NOINTERFACE;
    }
    STDMETHODIMP GetFolder(REFIID id, void** out) override { return folder_->QueryInterface(id, out); }
    // Nothing else of the view is asked for.
    STDMETHODIMP GetCurrentViewMode(UINT*) override { return E_NOTIMPL; }
    STDMETHODIMP SetCurrentViewMode(UINT) override { return E_NOTIMPL; }
    STDMETHODIMP Item(int, PITEMID_CHILD*) override { return E_NOTIMPL; }
    STDMETHODIMP ItemCount(UINT, int*) override { return E_NOTIMPL; }
    STDMETHODIMP Items(UINT, REFIID, void**) override { return E_NOTIMPL; }
    STDMETHODIMP GetSelectionMarkedItem(int*) override { return E_NOTIMPL; }
    STDMETHODIMP GetFocusedItem(int*) override { return E_NOTIMPL; }
    STDMETHODIMP GetItemPosition(PCUITEMID_CHILD, POINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetSpacing(POINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetDefaultSpacing(POINT*) override { return E_NOTIMPL; }
    STDMETHODIMP GetAutoArrange() override { return E_NOTIMPL; }
    STDMETHODIMP SelectItem(int, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SelectAndPositionItems(UINT, PCUITEMID_CHILD_ARRAY, POINT*, DWORD) override { return E_NOTIMPL; }

private:
    IShellItem* folder_ = nullptr;
};

// The root of `classId` shown for `path` (none: no items, the folder from
// `site`), its state asked first as Explorer does.
struct Shown {
    IExplorerCommand* root;
    IShellItemArray* items;
    EXPCMDSTATE state = 0;
    Shown(const Korvane& dll, const CLSID& classId, const std::string& path, IUnknown* site = nullptr)
        : root(createRoot(dll.module, classId)), items(path.empty() ? nullptr : itemsFor(path)) {
        REQUIRE(root != nullptr);
        REQUIRE((path.empty() || items));
        if (site) {
            IObjectWithSite* withSite = nullptr;
            REQUIRE(root->QueryInterface(IID_IObjectWithSite, reinterpret_cast<void**>(&withSite)) == S_OK);
            CHECK(withSite->SetSite(site) == S_OK);
            withSite->Release();
        }
        CHECK(root->GetState(items, FALSE, &state) == S_OK);
    }
    ~Shown() {
        if (items) items->Release();
        root->Release();
    }
};

}  // namespace

TEST_CASE("the root shows the kind's list to any depth, its single submenu, or nothing") {
    ComScope com;
    SampleFolder samples;
    Korvane dll;
    clearStore();
    putItem(1, "Tools", true, "", "Tool commands", kLibrary + ",1");
    putItem(2, "Edit", false, "notepad.exe \"%1\"", "Edit it", kLibrary + ",-2");
    putItem(3, "Deep", true);
    putItem(4, "View", false, "view.exe");
    putItem(5, "Last", false, "last.exe");
    // 9 has no item key and is left out, as in the classic menu
    putIndex("*", {{1, 0}, {2, 1}, {0, 1}, {3, 1}, {4, 3}, {9, 1}, {5, 0}});
    putIndex("Directory", {{1, 0}, {2, 1}, {3, 1}, {4, 3}});
    putIndex("Background", {});

    const std::string tools = "Tools{" + kLibrary + ",1|Tool commands|1/0}";
    const std::string edit = "Edit{" + kLibrary + ",-2|Edit it|0/0}";
    const std::string deep = "Deep{<none>|<none>|1/0}[View{<none>|<none>|0/0}]";
    const std::string own = "{" + dll.path() + ",-1|<none>|1/";
    struct Row { const CLSID* classId; std::string path; std::string menu; };
    for (const Row& row :
         {Row{&kSelectionClass, samples.root + "\\a.txt",
              "Talvex" + own + "0}[" + tools + "[" + edit + ", -, " + deep + "], Last{<none>|<none>|0/0}]"},
          Row{&kSelectionClass, samples.root + "\\folder", tools + "[" + edit + ", " + deep + "]"},
          Row{&kBackgroundClass, samples.root, "Talvex" + own + "2}[]"},  // an empty list: hidden
          Row{&kSelectionClass, "C:\\", "Talvex" + own + "2}[]"}}) {      // no drive list
        CAPTURE(row.path);
        Shown shown(dll, *row.classId, row.path);
        CHECK(walk(shown.root, shown.items) == row.menu);
        GUID name = {};
        CHECK(shown.root->GetCanonicalName(&name) == S_OK);
        CHECK(IsEqualGUID(name, *row.classId));
    }

    HICON icon = nullptr;  // the root's own icon is korvane.dll's
    CHECK(ExtractIconExW(wide(dll.path()).c_str(), -1, nullptr, &icon, 1) == 1);
    if (icon) DestroyIcon(icon);

    // Read once per menu: what was enumerated keeps its menu, the next one
    // shows the change.
    Shown shown(dll, kSelectionClass, samples.root + "\\a.txt");
    std::vector<IExplorerCommand*> before = subcommands(shown.root);
    putItem(5, "Changed", false, "last.exe");
    auto title = [&](IExplorerCommand* command) {
        return taken([&](LPWSTR* text) { return command->GetTitle(shown.items, text); });
    };
    CHECK(title(before[1]) == "Last");
    CHECK(shown.root->GetState(shown.items, TRUE, &shown.state) == S_OK);
    std::vector<IExplorerCommand*> after = subcommands(shown.root);
    CHECK(title(after[1]) == "Changed");
    for (IExplorerCommand* command : before) command->Release();
    for (IExplorerCommand* command : after) command->Release();
}

TEST_CASE("icons: an item's own, the system's shield for an elevated command without one, or none") {
    ComScope com;
    SampleFolder samples;
    Korvane dll;
    clearStore();
    putItem(1, "Own", false, "a.exe", "", kLibrary + ",-2");
    putItem(2, "Elevated", false, "b.exe");
    putItem(3, "Elevated, own icon", false, "c.exe", "", kLibrary + ",3");
    putItem(4, "Plain", false, "d.exe");
    for (unsigned id : {2u, 3u}) REQUIRE(putItemValue(id, "RunAs", 1));
    putIndex("*", {{1, 0}, {2, 0}, {3, 0}, {4, 0}});

    // The shield's location as the system names it to any program, as a
    // stand-in for the system names it, or no icon where none is named
    // (before Windows Vista).
    const std::string shield = handler_host::shieldLocation();
    INFO("the system's shield: " << (shield.empty() ? "none" : shield));
    using handler_host::StockIcons;
    struct Row { const char* what; int stock; std::vector<std::string> icons; };  // stock: 0 the system's, 1 a stand-in, 2 none
    for (const Row& row : {Row{"the system's", 0, {kLibrary + ",-2", shield.empty() ? "<none>" : shield, kLibrary + ",3", "<none>"}},
                           Row{"a stand-in's", 1, {kLibrary + ",-2", "C:\\Icons\\Stand-in.dll,-78", kLibrary + ",3", "<none>"}},
                           Row{"none", 2, {kLibrary + ",-2", "<none>", kLibrary + ",3", "<none>"}}}) {
        CAPTURE(row.what);
        std::unique_ptr<StockIcons> stock(row.stock == 1 ? new StockIcons(dll.module, "C:\\Icons\\Stand-in.dll", -78)
                                          : row.stock == 2 ? new StockIcons(dll.module) : nullptr);
        if (stock) REQUIRE(stock->patch.patched());
        Shown shown(dll, kSelectionClass, samples.root + "\\a.txt");
        std::vector<IExplorerCommand*> commands = subcommands(shown.root);
        std::vector<std::string> icons;
        for (IExplorerCommand* command : commands) {
            HRESULT result = E_FAIL;
            icons.push_back(taken([&](LPWSTR* text) { return command->GetIcon(shown.items, text); }, &result));
            if (icons.back() == "<none>") CHECK_MESSAGE(FAILED(result), "no icon, yet the call returned " << result);
            command->Release();
        }
        CHECK(icons == row.icons);
        if (row.stock == 1) CHECK(StockIcons::asked == std::vector<std::string>{"77 0"});  // SIID_SHIELD, its location only
    }
}

TEST_CASE("a chosen command starts its program for the exact path, for every kind") {
    ComScope com;
    foreign_names::requireCodePage1252();
    const std::string docs = "C:\\Docs", file = docs + "\\Отчёт (1).txt", folder = docs + "\\表 ā";
    foreign_names::createFolder(wide(docs));
    foreign_names::createFolder(wide(folder));
    foreign_names::createFile(wide(file));
    handler_host::Recorder recording(docs + "\\record.txt");
    const std::string program = "\"" + recording.program + "\"";
    Korvane dll;
    clearStore();
    putItem(1, "File", false, program + " \"%1\" \"%0\"");
    putItem(2, "Folder", false, program + " \"%1\" $(%1)");
    putItem(3, "Background", false, program + " \"%1\" $(%0)");
    putItem(4, "Drive", false, program + " $(%1)");
    putIndex("*", {{1, 0}});
    putIndex("Directory", {{2, 0}});
    putIndex("Background", {{3, 0}});
    putIndex("Drive", {{4, 0}});

    FolderSite site(folder);
    struct Row { const CLSID* classId; std::string path; IUnknown* site; std::string line; std::string directory; DWORD flag; };
    for (const Row& row :
         {Row{&kSelectionClass, file, nullptr, "\"" + file + "\" \"" + docs + "\"", "", 0},
          Row{&kSelectionClass, folder, nullptr, "\"" + folder + "\"", folder, 0},
          Row{&kBackgroundClass, folder, nullptr, "\"" + folder + "\"", docs, 1},
          Row{&kBackgroundClass, "", static_cast<IServiceProvider*>(&site), "\"" + folder + "\"", docs, 1},
          Row{&kSelectionClass, "C:\\", nullptr, "", "C:\\", 0}}) {
        CAPTURE(row.path);
        recording.next();
        Shown shown(dll, *row.classId, row.path, row.site);
        CHECK(shown.state == ECS_ENABLED);
        CHECK(backgroundFlag() == row.flag);  // a folder's Properties page edits this menu
        std::vector<IExplorerCommand*> commands = subcommands(shown.root);
        REQUIRE(!commands.empty());
        CHECK(commands[0]->Invoke(shown.items, nullptr) == S_OK);
        std::istringstream lines(handler_host::waitForRecord(recording.record));
        std::string commandLine, directory;
        std::getline(lines, commandLine);
        std::getline(lines, directory);
        CHECK_MESSAGE(commandLine.find(row.line) != std::string::npos,
                      "expected " << row.line << " in the command line " << commandLine);
        if (!row.directory.empty()) CHECK(directory == row.directory);
        for (IExplorerCommand* command : commands) command->Release();
    }
}

namespace {

// The `failAt`th malloc of korvane.dll fails, while this lives.
struct FailingAllocations : import_patch::ImportPatch {
    static int calls, failAt;
    static void* CDECL allocate(size_t size) { return ++calls == failAt ? nullptr : std::malloc(size); }
    FailingAllocations(HMODULE dll, int first)
        : ImportPatch(dll, "msvcrt.dll", "malloc", reinterpret_cast<ULONG_PTR>(&allocate)) {
        calls = 0;
        failAt = first;
    }
};
int FailingAllocations::calls = 0;
int FailingAllocations::failAt = 0;

std::string titleOf(IExplorerCommand* command) {
    return taken([&](LPWSTR* text) { return command->GetTitle(nullptr, text); });
}

}  // namespace

TEST_CASE("questions without items keep the menu just read; the enumerator keeps its place") {
    ComScope com;
    SampleFolder samples;
    Korvane dll;
    clearStore();
    for (int id = 1; id <= 5; ++id) putItem(id, "C" + std::to_string(id), false, "x.exe", "tip", kLibrary + ",1");
    putIndex("*", {{1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}});
    putIndex("Directory", {{1, 0}});

    // After GetState with the items, Explorer may ask the rest with none.
    Shown shown(dll, kSelectionClass, samples.root + "\\a.txt");
    CHECK(shown.state == ECS_ENABLED);
    CHECK(titleOf(shown.root) == "Talvex");
    CHECK(taken([&](LPWSTR* text) { return shown.root->GetIcon(nullptr, text); }) == dll.path() + ",-1");
    IEnumExplorerCommand* list = nullptr;
    REQUIRE(shown.root->EnumSubCommands(&list) == S_OK);

    struct Step { const char* what; ULONG wanted; bool withCount; int failAt; HRESULT result; std::vector<std::string> titles; };
    const Step steps[] = {
        {"two at once", 2, true, 0, S_OK, {"C1", "C2"}},
        {"one without a count", 1, false, 0, S_OK, {"C3"}},
        {"two without a count", 2, false, 0, E_POINTER, {}},
        {"the second of two fails: none given, the place kept", 2, true, 2, E_OUTOFMEMORY, {}},
        {"the same two again", 2, true, 0, S_OK, {"C4", "C5"}},
        {"past the end", 3, true, 0, S_FALSE, {}},
    };
    for (const Step& step : steps) {
        CAPTURE(step.what);
        IExplorerCommand* got[3] = {};
        ULONG given = 99;
        HRESULT result;
        {
            std::unique_ptr<FailingAllocations> failing(step.failAt ? new FailingAllocations(dll.module, step.failAt) : nullptr);
            if (failing) REQUIRE(failing->patched());
            result = list->Next(step.wanted, got, step.withCount ? &given : nullptr);
        }
        CHECK(result == step.result);
        std::vector<std::string> titles;
        for (IExplorerCommand*& command : got)
            if (command) titles.push_back(titleOf(command)), command->Release();
        CHECK(titles == step.titles);
        if (step.withCount) CHECK(given == step.titles.size());
    }
    // Skip, Reset and Clone keep to the same list.
    CHECK(list->Reset() == S_OK);
    CHECK(list->Skip(3) == S_OK);
    IEnumExplorerCommand* copy = nullptr;
    REQUIRE(list->Clone(&copy) == S_OK);
    CHECK(list->Skip(5) == S_FALSE);
    IExplorerCommand* next = nullptr;
    CHECK(copy->Next(1, &next, nullptr) == S_OK);
    if (next) {
        CHECK(titleOf(next) == "C4");
        next->Release();
    }
    copy->Release();
    list->Release();

    // The folder's menu is one command: still the file's menu when asked
    // without items, the folder's when asked with them.
    CHECK(subcommands(shown.root).size() == 5);
    IShellItemArray* folder = itemsFor(samples.root + "\\folder");
    LPWSTR title = nullptr;
    CHECK(shown.root->GetTitle(folder, &title) == S_OK);
    CHECK(title != nullptr);
    CoTaskMemFree(title);
    folder->Release();
    std::vector<IExplorerCommand*> now = subcommands(shown.root);
    CHECK(now.size() == 1);
    for (IExplorerCommand* command : now) command->Release();
}

TEST_CASE("several selected items: each in turn, all at once, and a filter, through the item array") {
    ComScope com;
    SampleFolder samples;
    Korvane dll;
    const std::string docs = samples.root + "\\Items";
    foreign_names::createFolder(wide(docs));
    std::vector<std::string> files;
    for (const char* name : {"Отчёт.txt", "b.txt", "c.jpg"}) {
        files.push_back(docs + "\\" + name);
        foreign_names::createFile(wide(files.back()));
    }
    clearStore();
    putItem(1, "Each", false, "p.exe \"%1\" \"%0\"");
    putItem(2, "All", false, "p.exe \"%1\"");
    putItem(3, "Texts", false, "p.exe");
    REQUIRE(putItemValue(1, "Selection", 1));
    REQUIRE(putItemValue(2, "Selection", 2));
    REQUIRE(putItemValue(3, "ShowFor", "*.txt"));
    putIndex("*", {{1, 0}, {2, 0}, {3, 0}});
    import_patch::ImportPatch execute(dll.module, "shell32.dll", "ShellExecuteExW",
                                      reinterpret_cast<ULONG_PTR>(&handler_host::Starts::execute));
    REQUIRE(execute.patched());

    struct Row { std::vector<std::string> selection; std::string menu; };
    for (const Row& row : {Row{{files[0], files[1]}, "Each|All|Texts"}, Row{files, "Each|All"}}) {
        IShellItemArray* items = itemsFor(row.selection);
        REQUIRE(items != nullptr);
        IExplorerCommand* root = createRoot(dll.module, kSelectionClass);
        REQUIRE(root != nullptr);
        EXPCMDSTATE state = 0;
        CHECK(root->GetState(items, TRUE, &state) == S_OK);
        std::vector<IExplorerCommand*> commands = subcommands(root);
        std::string menu;
        for (IExplorerCommand* command : commands)
            menu += (menu.empty() ? "" : "|") + taken([&](LPWSTR* text) { return command->GetTitle(items, text); });
        CHECK(menu == row.menu);
        if (row.selection.size() == 3) {
            handler_host::Starts::clear();
            CHECK(commands[0]->Invoke(items, nullptr) == S_OK);  // each in turn
            REQUIRE(handler_host::Starts::lines.size() == 3);
            for (std::size_t i = 0; i < 3; ++i) {
                int count = 0;
                LPWSTR* argv = CommandLineToArgvW(wide(handler_host::Starts::lines[i]).c_str(), &count);
                REQUIRE(count == 3);
                CHECK(utf8(argv[1]) == files[i]);
                CHECK(utf8(argv[2]) == docs);
                LocalFree(argv);
            }
            handler_host::Starts::clear();
            CHECK(commands[1]->Invoke(items, nullptr) == S_OK);  // all at once
            REQUIRE(handler_host::Starts::lines.size() == 1);
            int count = 0;
            LPWSTR* argv = CommandLineToArgvW(wide(handler_host::Starts::lines[0]).c_str(), &count);
            std::vector<std::string> arguments;
            for (int i = 1; i < count; ++i) arguments.push_back(utf8(argv[i]));
            LocalFree(argv);
            CHECK(arguments == files);
        }
        for (IExplorerCommand* command : commands) command->Release();
        root->Release();
        items->Release();
    }
}
