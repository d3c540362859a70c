// The handler's initialisation and icon mode, linked in directly so the test
// can see the context it decides and choose the system version.
#include <doctest/doctest.h>

#include <cstring>
#include <string>

#include "class_factory.h"
#include "korvane.h"
#include "menu_handler.h"
#include "module.h"
#include "server_module.h"
#include "shell_host.h"

using namespace shell_host;

namespace {

// A data object that offers nothing, or a drop list of one path of any
// length, and counts its references.
class EmptyDataObject : public IDataObject {
public:
    ULONG references = 1;
    std::wstring dropped;  // offered as CF_HDROP when not empty
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown) && !IsEqualIID(iid, IID_IDataObject))
            return E_NOINTERFACE;
        *out = this;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++references; }
    STDMETHODIMP_(ULONG) Release() override { return --references; }
    STDMETHODIMP GetData(FORMATETC* format, STGMEDIUM* medium) override {
        if (dropped.empty() || format->cfFormat != CF_HDROP) return DV_E_FORMATETC;
        const SIZE_T bytes = sizeof(DROPFILES) + (dropped.size() + 2) * sizeof(wchar_t);
        HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
        auto* list = static_cast<DROPFILES*>(GlobalLock(memory));
        list->pFiles = sizeof(DROPFILES);
        list->fWide = TRUE;
        std::memcpy(list + 1, dropped.c_str(), dropped.size() * sizeof(wchar_t));
        GlobalUnlock(memory);
        medium->tymed = TYMED_HGLOBAL;
        medium->hGlobal = memory;
        medium->pUnkForRelease = nullptr;
        return S_OK;
    }
    STDMETHODIMP GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
    STDMETHODIMP QueryGetData(FORMATETC*) override { return DV_E_FORMATETC; }
    STDMETHODIMP GetCanonicalFormatEtc(FORMATETC*, FORMATETC*) override { return E_NOTIMPL; }
    STDMETHODIMP SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
    STDMETHODIMP DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP DUnadvise(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }
};

std::string kindOf(const handler::MenuHandler& handler) {
    return handler.contextKind() ? handler.contextKind() : "(none)";
}

struct Context {
    std::string path;
    std::string kind;
    DWORD background;
};

Context initializeWith(const std::vector<std::string>& paths) {
    handler::MenuHandler handler;
    IDataObject* data = dataObjectFor(paths);
    REQUIRE(data != nullptr);
    handler.initialize(nullptr, data);
    data->Release();
    return {utf8(handler.contextPath()), kindOf(handler), backgroundFlag()};
}

handler::SystemVersion windows2000() { return {5, 0}; }
handler::SystemVersion windowsXp() { return {5, 1}; }

}  // namespace

TEST_CASE("initialisation takes the first selected object and its kind") {
    ComScope com;
    SampleFolder samples;
    std::string file = samples.root + "\\a.txt";
    std::string folder = samples.root + "\\folder";

    Context context = initializeWith({file});
    CHECK(context.path == file);
    CHECK(context.kind == "*");
    CHECK(context.background == 0);

    context = initializeWith({folder});
    CHECK(context.path == folder);
    CHECK(context.kind == "Directory");

    context = initializeWith({samples.root + "\\b.txt", folder, file});
    CHECK(context.path == samples.root + "\\b.txt");
    CHECK(context.kind == "*");

    // C: is a fixed drive under Wine
    context = initializeWith({"C:\\"});
    CHECK(context.path == "C:\\");
    CHECK(context.kind == "Drive");
}

TEST_CASE("a path too long for the field gives no menu, never a cut one") {
    ComScope com;
    EmptyDataObject selection;
    const std::wstring fits = L"C:\\" + std::wstring(256, L'd');  // 259 characters
    handler::MenuHandler handler;
    for (const std::wstring& path : {fits, fits + L"e"}) {
        selection.dropped = path;
        handler.initialize(nullptr, &selection);
        bool whole = path.size() < MAX_PATH;
        CHECK(kindOf(handler) == (whole ? "*" : "(none)"));
        CHECK(utf8(handler.contextPath()) == (whole ? utf8(path.c_str()) : ""));
    }
}

TEST_CASE("a folder background, and what a later selection does to the flag") {
    ComScope com;
    SampleFolder samples;
    handler::MenuHandler handler;
    LPITEMIDLIST folder = idListFor(samples.root);
    REQUIRE(folder != nullptr);
    handler.initialize(folder, nullptr);
    CHECK(utf8(handler.contextPath()) == samples.root);
    CHECK(kindOf(handler) == "Background");
    CHECK(backgroundFlag() == 1);

    // the selection decides when both are given
    IDataObject* data = dataObjectFor({samples.root + "\\a.txt"});
    REQUIRE(data != nullptr);
    handler.initialize(folder, data);
    data->Release();
    CHECK(kindOf(handler) == "*");
    CHECK(backgroundFlag() == 0);
    CoTaskMemFree(folder);
}

TEST_CASE("data objects without a file list, and releasing the held one") {
    ComScope com;
    EmptyDataObject empty;
    {
        handler::MenuHandler handler;
        store::writeBackgroundFlag(shell_host::registryStore(), true);
        handler.initialize(nullptr, &empty);
        CHECK(kindOf(handler) == "(none)");
        CHECK(backgroundFlag() == 0);
        CHECK(empty.references == 2);  // held

        handler.initialize(nullptr, nullptr);  // a second initialisation without one
        CHECK(empty.references == 1);
        CHECK(kindOf(handler) == "(none)");
        CHECK(backgroundFlag() == 0);

        handler.initialize(nullptr, &empty);
        CHECK(empty.references == 2);
    }
    CHECK(empty.references == 1);  // released with the handler
}

TEST_CASE("icon mode by system version, and the fallback bitmaps' lifetime") {
    ComScope com;
    SampleFolder samples;
    clearStore();
    putItem(1, "Iconic", false, "x.exe", "", "C:\\windows\\system32\\shell32.dll,3");
    putItem(2, "Plain", false, "y.exe");
    putIndex("Background", {{1, 0}, {2, 0}});
    putIndex("*", {{1, 0}, {2, 0}});
    LPITEMIDLIST folder = idListFor(samples.root);
    REQUIRE(folder != nullptr);

    struct Case {
        handler::SystemVersion (*version)();
        bool background;
        bool bitmaps;
    };
    const Case cases[] = {{windows2000, true, true},
                          {windowsXp, true, false},
                          {windows2000, false, false}};
    for (const Case& c : cases) {
        CAPTURE(c.background);
        CAPTURE(c.bitmaps);
        handler::setVersionQuery(c.version);
        IShellExtInit* init = nullptr;
        handler::KorvaneClassFactory* factory = new handler::KorvaneClassFactory();
        factory->AddRef();
        REQUIRE(factory->CreateInstance(nullptr, IID_IShellExtInit,
                                        reinterpret_cast<void**>(&init)) == S_OK);
        factory->Release();
        IDataObject* data = c.background ? nullptr : dataObjectFor({samples.root + "\\a.txt"});
        init->Initialize(c.background ? folder : nullptr, data, nullptr);
        if (data) data->Release();
        IContextMenu* menu = nullptr;
        REQUIRE(init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu)) == S_OK);

        HMENU popup = CreatePopupMenu();
        for (UINT i = 0; i < 3; ++i) AppendMenuA(popup, MF_STRING, i + 1, ("H" + std::to_string(i)).c_str());
        HRESULT result = menu->QueryContextMenu(popup, 1, 100, 200, CMF_NORMAL);
        CHECK(result == MAKE_HRESULT(SEVERITY_SUCCESS, 0, 3));
        std::vector<MenuEntry> all = readMenu(popup);
        REQUIRE(all.size() == 5);
        // under the fallback the first item goes one further down
        std::vector<std::string> order;
        for (const MenuEntry& entry : all) order.push_back(entry.text);
        if (c.bitmaps)
            CHECK(order == std::vector<std::string>{"H0", "H1", "Iconic", "Plain", "H2"});
        else
            CHECK(order == std::vector<std::string>{"H0", "Iconic", "Plain", "H1", "H2"});
        std::vector<MenuEntry> entries;
        for (const MenuEntry& entry : all)
            if (entry.id >= 100) entries.push_back(entry);
        REQUIRE(entries.size() == 2);
        entries.insert(entries.begin(), MenuEntry{});
        CHECK(entries[1].id == 100);
        CHECK(entries[2].id == 101);
        HBITMAP bitmap = entries[1].checked;
        if (c.bitmaps) {
            CHECK(bitmap != nullptr);
            CHECK(entries[1].unchecked == bitmap);
            CHECK(entries[1].bitmap == nullptr);
            BITMAP info = {};
            CHECK(GetObjectA(bitmap, sizeof info, &info) == sizeof info);
            CHECK(info.bmWidth == GetSystemMetrics(SM_CXMENUCHECK));
            CHECK(info.bmHeight == GetSystemMetrics(SM_CYMENUCHECK));
        } else {
            CHECK(bitmap == nullptr);
            CHECK(entries[1].bitmap == HBMMENU_CALLBACK);
            CHECK(entries[1].data == 0);
        }
        CHECK(entries[2].checked == nullptr);
        menu->Release();
        init->Release();
        // the handler's bitmaps go with the handler, not with each right click
        if (c.bitmaps) CHECK(GetObjectType(bitmap) == 0);
        DestroyMenu(popup);
    }
    handler::setVersionQuery(nullptr);
    CoTaskMemFree(folder);
    CHECK(shellext::liveObjects() == 0);
}
