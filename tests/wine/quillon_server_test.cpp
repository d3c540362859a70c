// quillon.dll as a COM server through its real entry points: the registry
// entries it writes and removes (compared as a whole before and after), its
// object's interfaces and pages, and the module count that keeps it loaded
// while one of its pages exists.
#include <doctest/doctest.h>

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>
#include <prsht.h>
#include <shlobj.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "check_printers.h"
#include "own_sheet.h"
#include "registry_snapshot.h"
#include "resource_ids.h"
#include "run_program.h"
#include "shell_host.h"
#include "test_paths.h"

using registry_snapshot::added;
using registry_snapshot::snapshot;
using registry_snapshot::Snapshot;
using own_sheet::collectPage;
using own_sheet::pump;
using own_sheet::showInOwnSheet;

namespace {

constexpr CLSID kClsidQuillon = shellext::kQuillonClassId;
constexpr const char kClsidText[] = TALVEX_QUILLON_CLSID;
constexpr const char kFriendlyName[] = TALVEX_QUILLON_NAME;

void* garbage() { return reinterpret_cast<void*>(static_cast<std::uintptr_t>(0xDEADBEEFu)); }

struct Quillon {
    HMODULE module = LoadLibraryA(test_paths::path("QUILLON").c_str());
    template <typename F>
    F get(const char* name) {
        return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    }
    HRESULT(STDAPICALLTYPE* canUnloadNow)() = get<decltype(canUnloadNow)>("DllCanUnloadNow");
    HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) =
        get<decltype(getClassObject)>("DllGetClassObject");
    HRESULT(STDAPICALLTYPE* registerServer)() = get<decltype(registerServer)>("DllRegisterServer");
    HRESULT(STDAPICALLTYPE* unregisterServer)() =
        get<decltype(unregisterServer)>("DllUnregisterServer");
    bool loaded() const { return canUnloadNow && getClassObject && registerServer && unregisterServer; }
    std::string file() const {
        char path[MAX_PATH] = {};
        GetModuleFileNameA(module, path, MAX_PATH);
        return path;
    }
};

std::string expectedEntries() {
    const std::string cls = std::string("CLSID\\") + kClsidText;
    const std::string handler = std::string("\\shellex\\PropertySheetHandlers\\") + kFriendlyName;
    std::set<std::string> names;
    for (const std::string& n : {cls, cls + "|", cls + "\\InprocServer32",
                                 cls + "\\InprocServer32|", cls + "\\InprocServer32|ThreadingModel",
                                 "*" + handler, "*" + handler + "|", "Directory" + handler,
                                 "Directory" + handler + "|", "Drive" + handler,
                                 "Drive" + handler + "|"})
        names.insert("HKCR:" + registry_snapshot::lower(n));
    std::string text;
    for (const std::string& n : names) text += n + "\n";
    return text;
}

// A REG_SZ value with its zero counted: "text", or what is wrong with it.
std::string classesString(const std::string& key, const char* value) {
    char data[1024] = {};
    DWORD size = sizeof data - 1, type = 0;
    HKEY handle;
    if (RegOpenKeyExA(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &handle) != ERROR_SUCCESS)
        return "<no key>";
    LONG r = RegQueryValueExA(handle, value, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(handle);
    if (r != ERROR_SUCCESS) return "<no value>";
    if (type != REG_SZ || size != std::string(data).size() + 1)
        return "<type " + std::to_string(type) + ", " + std::to_string(size) + " bytes>";
    return data;
}

}  // namespace

TEST_CASE("registration writes exactly its six entries, twice alike; unregistering removes them, "
          "twice fails") {
    shell_host::ComScope com;
    Quillon dll;
    REQUIRE(dll.loaded());

    dll.unregisterServer();  // from whatever the prefix's set-up left
    const Snapshot unregistered = snapshot();

    CHECK(Hr(dll.registerServer()) == Hr(S_OK));
    const Snapshot registered = snapshot();
    CHECK(added(unregistered, registered) == expectedEntries());
    CHECK(added(registered, unregistered) == "");
    CHECK(Hr(dll.registerServer()) == Hr(S_OK));
    CHECK(added(registered, snapshot()) == "");
    CHECK(added(snapshot(), registered) == "");

    const std::string cls = std::string("CLSID\\") + kClsidText;
    CHECK(classesString(cls, nullptr) == kFriendlyName);
    CHECK(classesString(cls + "\\InprocServer32", nullptr) == dll.file());
    CHECK(classesString(cls + "\\InprocServer32", "ThreadingModel") == "Apartment");
    for (const char* shellClass : {"*", "Directory", "Drive"}) {
        CAPTURE(shellClass);
        CHECK(classesString(std::string(shellClass) + "\\shellex\\PropertySheetHandlers\\" +
                                kFriendlyName,
                            nullptr) == kClsidText);
    }

    CHECK(Hr(dll.unregisterServer()) == Hr(S_OK));
    const Snapshot removed = snapshot();
    CHECK(added(removed, registered) == expectedEntries());
    CHECK(added(unregistered, removed) == "");
    CHECK(added(removed, unregistered) == "");

    CHECK(Hr(dll.unregisterServer()) == Hr(E_UNEXPECTED));
    CHECK(added(removed, snapshot()) == "");
    CHECK(added(snapshot(), removed) == "");

    CHECK(Hr(dll.registerServer()) == Hr(S_OK));  // for what runs after
}

TEST_CASE("a Quillon object: its interfaces, its page, and the module kept while the page lives") {
    shell_host::ComScope com;
    shell_host::SampleFolder samples;
    shell_host::clearStore();
    Quillon dll;
    REQUIRE(dll.loaded());
    CHECK(Hr(dll.canUnloadNow()) == Hr(S_OK));

    // Pages made from a fresh object initialised with `selection`.
    auto pagesFor = [&](IDataObject* selection, std::vector<HPROPSHEETPAGE>& pages) {
        IClassFactory* factory = nullptr;
        REQUIRE(Hr(dll.getClassObject(kClsidQuillon, IID_IClassFactory,
                                      reinterpret_cast<void**>(&factory))) == Hr(S_OK));
        IShellExtInit* init = nullptr;
        REQUIRE(Hr(factory->CreateInstance(nullptr, IID_IShellExtInit,
                                           reinterpret_cast<void**>(&init))) == Hr(S_OK));
        factory->Release();

        for (const IID* menu : {&IID_IContextMenu, &IID_IContextMenu2, &IID_IContextMenu3}) {
            void* p = garbage();
            CHECK(Hr(init->QueryInterface(*menu, &p)) == Hr(E_NOINTERFACE));
            CHECK(p == nullptr);
        }
        IShellPropSheetExt* sheetExt = nullptr;
        REQUIRE(Hr(init->QueryInterface(IID_IShellPropSheetExt,
                                        reinterpret_cast<void**>(&sheetExt))) == Hr(S_OK));
        IUnknown *a = nullptr, *b = nullptr;
        init->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&a));
        sheetExt->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&b));
        CHECK(a == b);
        if (a) a->Release();
        if (b) b->Release();
        CHECK(Hr(sheetExt->ReplacePage(0, collectPage, 0)) == Hr(E_NOTIMPL));

        CHECK(Hr(init->Initialize(nullptr, selection, nullptr)) == Hr(S_OK));
        sheetExt->AddPages(collectPage, reinterpret_cast<LPARAM>(&pages));
        sheetExt->Release();
        init->Release();
    };

    // No selection: no kind, no page.
    std::vector<HPROPSHEETPAGE> pages;
    pagesFor(nullptr, pages);
    CHECK(pages.size() == 0u);
    CHECK(Hr(dll.canUnloadNow()) == Hr(S_OK));

    // A file's page, never shown: it alone keeps the module, until destroyed.
    IDataObject* file = shell_host::dataObjectFor({samples.root + "\\a.txt"});
    REQUIRE(file != nullptr);
    pagesFor(file, pages);
    REQUIRE(pages.size() == 1u);
    CHECK(Hr(dll.canUnloadNow()) == Hr(S_FALSE));
    DestroyPropertySheetPage(pages[0]);
    CHECK(Hr(dll.canUnloadNow()) == Hr(S_OK));

    // A page shown in a sheet of our own, every object released.
    pages.clear();
    pagesFor(file, pages);
    file->Release();
    REQUIRE(pages.size() == 1u);
    CHECK(Hr(dll.canUnloadNow()) == Hr(S_FALSE));
    HWND sheet = showInOwnSheet(pages);
    REQUIRE(sheet != nullptr);
    HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    CHECK(GetDlgItem(page, IDC_TREE) != nullptr);
    CHECK(Hr(dll.canUnloadNow()) == Hr(S_FALSE));
    SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    pump();
    DestroyWindow(sheet);
    pump();
    CHECK_FALSE(IsWindow(page));
    CHECK(Hr(dll.canUnloadNow()) == Hr(S_OK));
}

TEST_CASE("the module frees its slot and font when unloaded, and calls nothing as the process ends") {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    const std::string result = std::string(folder) + "quillon-exit.txt";
    for (const char* end : {"free", "exit"}) {
        CAPTURE(end);
        DeleteFileA(result.c_str());
        CHECK(test_process::run("\"" + test_paths::path("QUILLON_HOST") + "\" \"" +
                                test_paths::path("QUILLON") + "\" \"" + result + "\" " + end,
                                60000) == 0);
        char noted[256] = {};
        HANDLE file = CreateFileA(result.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        REQUIRE(file != INVALID_HANDLE_VALUE);
        DWORD read = 0;
        ReadFile(file, noted, sizeof noted - 1, &read, nullptr);
        CloseHandle(file);
        CHECK(std::string(noted) == std::string(std::strcmp(end, "free") == 0 ? "TlsFree DeleteObject " : ""));
    }
}

namespace {

// Several threads at once make and release factories, objects and pages
// of the module, as Explorer's Properties dialogs do on threads of their own.
struct Work {
    Quillon* dll;
    std::string file;
    std::atomic<int> unloadableWhileAlive{0};
    std::atomic<int> noPage{0};
};

constexpr int kThreads = 4;
constexpr int kRounds = 400;
constexpr int kSheetEvery = 40;  // rounds that show the page in a sheet of their own
// Factories alone: the quickest change of the count, so that threads
// meet on it often.
constexpr int kFactoriesPerRound = 500;

DWORD WINAPI makeAndRelease(void* parameter) {
    auto& w = *static_cast<Work*>(parameter);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IDataObject* file = shell_host::dataObjectFor({w.file});
    for (int round = 0; file && round < kRounds; ++round) {
        for (int i = 0; i < kFactoriesPerRound; ++i) {
            IClassFactory* quick = nullptr;
            if (SUCCEEDED(w.dll->getClassObject(kClsidQuillon, IID_IClassFactory,
                                                reinterpret_cast<void**>(&quick))))
                quick->Release();
        }
        IClassFactory* factory = nullptr;
        IShellExtInit* init = nullptr;
        IShellPropSheetExt* extension = nullptr;
        std::vector<HPROPSHEETPAGE> pages;
        if (SUCCEEDED(w.dll->getClassObject(kClsidQuillon, IID_IClassFactory,
                                            reinterpret_cast<void**>(&factory))) &&
            SUCCEEDED(factory->CreateInstance(nullptr, IID_IShellExtInit,
                                              reinterpret_cast<void**>(&init))) &&
            SUCCEEDED(init->Initialize(nullptr, file, nullptr)) &&
            SUCCEEDED(init->QueryInterface(IID_IShellPropSheetExt,
                                           reinterpret_cast<void**>(&extension))))
            extension->AddPages(collectPage, reinterpret_cast<LPARAM>(&pages));
        if (extension) extension->Release();
        if (init) init->Release();
        if (factory) factory->Release();
        if (pages.size() != 1) {
            ++w.noPage;
            continue;
        }
        // Only the page is left, and it alone keeps the module.
        if (w.dll->canUnloadNow() != S_FALSE) ++w.unloadableWhileAlive;
        if (round % kSheetEvery == 0) {
            HWND sheet = showInOwnSheet(pages);
            if (w.dll->canUnloadNow() != S_FALSE) ++w.unloadableWhileAlive;
            if (sheet) DestroyWindow(sheet);
            pump();
        } else {
            DestroyPropertySheetPage(pages[0]);
        }
    }
    if (file) file->Release();
    CoUninitialize();
    return 0;
}

}  // namespace

TEST_CASE("objects and pages made and released on several threads at once: the module count "
          "stays exact") {
    shell_host::ComScope com;
    shell_host::SampleFolder samples;
    Quillon dll;
    REQUIRE(dll.loaded());
    REQUIRE(Hr(dll.canUnloadNow()) == Hr(S_OK));

    Work work{&dll, samples.root + "\\a.txt"};

    std::vector<HANDLE> threads;
    for (int i = 0; i < kThreads; ++i)
        threads.push_back(CreateThread(nullptr, 0, makeAndRelease, &work, 0, nullptr));
    for (HANDLE thread : threads) {
        REQUIRE(thread != nullptr);
        CHECK(WaitForSingleObject(thread, 120000) == WAIT_OBJECT_0);
        CloseHandle(thread);
    }
    CHECK(work.noPage.load() == 0);
    CHECK(work.unloadableWhileAlive.load() == 0);
    CHECK(Hr(dll.canUnloadNow()) == Hr(S_OK));
}
