// korvane.dll as a COM in-process server: the object count behind
// DllCanUnloadNow, the class factory, interface identity across the two
// interfaces of a handler object, and the failure codes with their null
// results. The entry points are taken from the module this test loads
// itself, so the count read back is the DLL's own.
#include <doctest/doctest.h>

#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

#include <string>

#include "server_test_support.h"

using server_test::Exports;
using server_test::garbagePointer;
using server_test::hresultText;
using server_test::kClsidKorvane;

namespace {

// Releases what a call that should have failed handed out anyway, so one
// fault does not spill into the object count seen by later checks.
void releaseStray(void* p) {
    if (p && p != garbagePointer()) static_cast<IUnknown*>(p)->Release();
}

struct ComApartment {
    ComApartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComApartment() { CoUninitialize(); }
};

// An interface the handler does not offer, known to nobody.
constexpr IID kUnknownIid = {0x1C0FFEE5, 0x1234, 0x4321,
                             {0x80, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07}};

IClassFactory* factoryOf(Exports& dll) {
    void* p = garbagePointer();
    HRESULT hr = dll.getClassObject(kClsidKorvane, IID_IClassFactory, &p);
    CHECK(hresultText(hr) == hresultText(S_OK));
    return SUCCEEDED(hr) ? static_cast<IClassFactory*>(p) : nullptr;
}

std::string canUnload(Exports& dll) { return hresultText(dll.canUnloadNow()); }

const std::string kCanUnload = hresultText(S_OK);
const std::string kStaysLoaded = hresultText(S_FALSE);

}  // namespace

TEST_CASE("DllCanUnloadNow counts live factories and objects, not locks") {
    ComApartment com;
    Exports dll;
    REQUIRE(dll.load());
    CHECK(canUnload(dll) == kCanUnload);

    SUBCASE("a live factory keeps the module; its last release frees it") {
        IClassFactory* factory = factoryOf(dll);
        REQUIRE(factory != nullptr);
        CHECK(canUnload(dll) == kStaysLoaded);
        CHECK(factory->AddRef() == 2u);
        CHECK(factory->Release() == 1u);
        CHECK(canUnload(dll) == kStaysLoaded);

        // Every call gives a factory of its own; each one counts.
        void* second = garbagePointer();
        CHECK(hresultText(dll.getClassObject(kClsidKorvane, IID_IUnknown, &second)) ==
              hresultText(S_OK));
        REQUIRE(second != nullptr);
        CHECK(factory->Release() == 0u);
        CHECK(canUnload(dll) == kStaysLoaded);
        CHECK(static_cast<IUnknown*>(second)->Release() == 0u);
        CHECK(canUnload(dll) == kCanUnload);
    }

    SUBCASE("an object outlives its factory and keeps the module until its last release") {
        IClassFactory* factory = factoryOf(dll);
        REQUIRE(factory != nullptr);
        void* menu = garbagePointer();
        CHECK(hresultText(factory->CreateInstance(nullptr, IID_IContextMenu3, &menu)) ==
              hresultText(S_OK));
        REQUIRE(menu != nullptr);
        CHECK(factory->Release() == 0u);
        CHECK(canUnload(dll) == kStaysLoaded);
        CHECK(static_cast<IContextMenu3*>(menu)->Release() == 0u);
        CHECK(canUnload(dll) == kCanUnload);
    }

    SUBCASE("LockServer(TRUE) does not keep the module once everything is released") {
        IClassFactory* factory = factoryOf(dll);
        REQUIRE(factory != nullptr);
        CHECK(hresultText(factory->LockServer(TRUE)) == hresultText(S_OK));
        void* init = garbagePointer();
        CHECK(hresultText(factory->CreateInstance(nullptr, IID_IShellExtInit, &init)) ==
              hresultText(S_OK));
        REQUIRE(init != nullptr);
        CHECK(static_cast<IShellExtInit*>(init)->Release() == 0u);
        CHECK(canUnload(dll) == kStaysLoaded);  // the factory is still alive
        CHECK(factory->Release() == 0u);
        CHECK(canUnload(dll) == kCanUnload);

        factory = factoryOf(dll);
        REQUIRE(factory != nullptr);
        CHECK(hresultText(factory->LockServer(FALSE)) == hresultText(S_OK));
        CHECK(hresultText(factory->LockServer(FALSE)) == hresultText(S_OK));  // unbalanced
        CHECK(factory->Release() == 0u);
        CHECK(canUnload(dll) == kCanUnload);
    }
}

TEST_CASE("interface identity: both interfaces answer every request alike") {
    ComApartment com;
    Exports dll;
    REQUIRE(dll.load());
    IClassFactory* factory = factoryOf(dll);
    REQUIRE(factory != nullptr);

    void* p = garbagePointer();
    CHECK(hresultText(factory->CreateInstance(nullptr, IID_IShellExtInit, &p)) ==
          hresultText(S_OK));
    CHECK(factory->Release() == 0u);
    auto* init = static_cast<IShellExtInit*>(p);
    REQUIRE(init != nullptr);

    void* menu3 = nullptr;
    REQUIRE(hresultText(init->QueryInterface(IID_IContextMenu3, &menu3)) == hresultText(S_OK));
    auto* cm3 = static_cast<IContextMenu3*>(menu3);
    CHECK(static_cast<void*>(cm3) != static_cast<void*>(init));  // two interfaces, two pointers

    struct Ask {
        const char* iid;
        REFIID id;
        void* expected;
    };
    const Ask asks[] = {
        {"IID_IUnknown", IID_IUnknown, init},
        {"IID_IShellExtInit", IID_IShellExtInit, init},
        {"IID_IContextMenu", IID_IContextMenu, cm3},
        {"IID_IContextMenu2", IID_IContextMenu2, cm3},
        {"IID_IContextMenu3", IID_IContextMenu3, cm3},
    };
    ULONG refs = 2;  // init and cm3
    void* got[2][5] = {};
    for (int via = 0; via < 2; ++via) {
        IUnknown* through = via == 0 ? static_cast<IUnknown*>(init) : static_cast<IUnknown*>(cm3);
        const std::string viaInterface = via == 0 ? "IShellExtInit" : "IContextMenu3";
        CAPTURE(viaInterface);
        for (int i = 0; i < 5; ++i) {
            const std::string asked = asks[i].iid;
            CAPTURE(asked);
            got[via][i] = garbagePointer();
            CHECK(hresultText(through->QueryInterface(asks[i].id, &got[via][i])) ==
                  hresultText(S_OK));
            CHECK(got[via][i] == asks[i].expected);
            ++refs;
        }
    }

    // One reference count behind both interfaces: every QueryInterface took
    // a reference, and AddRef/Release through either report the same number.
    CHECK(init->AddRef() == refs + 1);
    CHECK(cm3->Release() == refs);
    CHECK(cm3->AddRef() == refs + 1);
    CHECK(init->Release() == refs);
    for (int via = 0; via < 2; ++via) {
        for (int i = 0; i < 5; ++i) {
            CHECK(static_cast<IUnknown*>(got[via][i])->Release() == --refs);
        }
    }
    CHECK(canUnload(dll) == kStaysLoaded);
    CHECK(init->Release() == 1u);
    CHECK(cm3->Release() == 0u);  // the last reference, released through the second interface
    CHECK(canUnload(dll) == kCanUnload);
}

TEST_CASE("refusals: the code, a null result, and nothing left counted") {
    ComApartment com;
    Exports dll;
    REQUIRE(dll.load());

    SUBCASE("DllGetClassObject for another class: CLASS_E_CLASSNOTAVAILABLE") {
        CLSID lastDiffers = kClsidKorvane;
        lastDiffers.Data4[7] ^= 0x01;
        CLSID firstField = kClsidKorvane;
        firstField.Data1 ^= 0x80000000u;
        CLSID middle = kClsidKorvane;
        middle.Data3 ^= 0x0001;
        const CLSID others[] = {CLSID_NULL, CLSID_ShellLink, lastDiffers, firstField, middle};
        for (const CLSID& other : others) {
            const unsigned long data1 = other.Data1;
            const int lastByte = other.Data4[7];
            CAPTURE(data1);
            CAPTURE(lastByte);
            for (REFIID iid : {IID_IClassFactory, IID_IUnknown}) {
                void* p = garbagePointer();
                CHECK(hresultText(dll.getClassObject(other, iid, &p)) ==
                      hresultText(CLASS_E_CLASSNOTAVAILABLE));
                CHECK(p == nullptr);
                releaseStray(p);
            }
        }
        CHECK(canUnload(dll) == kCanUnload);
    }

    SUBCASE("the factory offers only IUnknown and IClassFactory: E_NOINTERFACE") {
        IClassFactory* factory = factoryOf(dll);
        REQUIRE(factory != nullptr);
        void* unk = garbagePointer();
        CHECK(hresultText(factory->QueryInterface(IID_IUnknown, &unk)) == hresultText(S_OK));
        CHECK(unk == static_cast<void*>(factory));
        for (REFIID iid : {IID_IShellExtInit, IID_IContextMenu, IID_IClassFactory2, kUnknownIid}) {
            void* p = garbagePointer();
            CHECK(hresultText(factory->QueryInterface(iid, &p)) == hresultText(E_NOINTERFACE));
            CHECK(p == nullptr);
            releaseStray(p);
        }
        CHECK(static_cast<IUnknown*>(unk)->Release() == 1u);
        CHECK(factory->Release() == 0u);
        CHECK(canUnload(dll) == kCanUnload);
    }

    SUBCASE("CreateInstance with an outer object: CLASS_E_NOAGGREGATION, nothing created") {
        IClassFactory* factory = factoryOf(dll);
        REQUIRE(factory != nullptr);
        IUnknown* outer = factory;  // any live object serves as the would-be outer
        for (REFIID iid : {IID_IUnknown, IID_IShellExtInit, IID_IContextMenu3}) {
            void* p = garbagePointer();
            CHECK(hresultText(factory->CreateInstance(outer, iid, &p)) ==
                  hresultText(CLASS_E_NOAGGREGATION));
            CHECK(p == nullptr);
            releaseStray(p);
        }
        CHECK(factory->Release() == 0u);
        CHECK(canUnload(dll) == kCanUnload);
    }

    SUBCASE("the handler object refuses other interfaces through both of its own") {
        IClassFactory* factory = factoryOf(dll);
        REQUIRE(factory != nullptr);
        void* p = garbagePointer();
        REQUIRE(hresultText(factory->CreateInstance(nullptr, IID_IShellExtInit, &p)) ==
                hresultText(S_OK));
        auto* init = static_cast<IShellExtInit*>(p);
        void* q = nullptr;
        REQUIRE(hresultText(init->QueryInterface(IID_IContextMenu3, &q)) == hresultText(S_OK));
        auto* cm3 = static_cast<IContextMenu3*>(q);

        const IID refused[] = {IID_IShellPropSheetExt, IID_IDataObject, IID_IClassFactory,
                               IID_IPersistFile, kUnknownIid};
        for (const IID& iid : refused) {
            const unsigned long data1 = iid.Data1;
            CAPTURE(data1);
            void* a = garbagePointer();
            void* b = garbagePointer();
            CHECK(hresultText(init->QueryInterface(iid, &a)) == hresultText(E_NOINTERFACE));
            CHECK(a == nullptr);
            CHECK(hresultText(cm3->QueryInterface(iid, &b)) == hresultText(E_NOINTERFACE));
            CHECK(b == nullptr);
            releaseStray(a);
            releaseStray(b);
        }
        // Refusals took no reference.
        CHECK(cm3->Release() == 1u);
        CHECK(init->Release() == 0u);
        CHECK(factory->Release() == 0u);
        CHECK(canUnload(dll) == kCanUnload);
    }
}

TEST_CASE("a factory or object refused at its first request does not stay counted") {
    ComApartment com;
    Exports dll;
    REQUIRE(dll.load());

    void* p = garbagePointer();
    CHECK(hresultText(dll.getClassObject(kClsidKorvane, IID_IShellExtInit, &p)) ==
          hresultText(E_NOINTERFACE));
    CHECK(p == nullptr);
    releaseStray(p);
    CHECK(canUnload(dll) == kCanUnload);

    IClassFactory* factory = factoryOf(dll);
    REQUIRE(factory != nullptr);
    p = garbagePointer();
    CHECK(hresultText(factory->CreateInstance(nullptr, IID_IShellPropSheetExt, &p)) ==
          hresultText(E_NOINTERFACE));
    CHECK(p == nullptr);
    releaseStray(p);
    CHECK(factory->Release() == 0u);
    CHECK(canUnload(dll) == kCanUnload);
}

TEST_CASE("destruction: a never-initialised object, and one holding a data object") {
    ComApartment com;
    Exports dll;
    REQUIRE(dll.load());
    IClassFactory* factory = factoryOf(dll);
    REQUIRE(factory != nullptr);

    SUBCASE("created and released without Initialize") {
        void* p = garbagePointer();
        REQUIRE(hresultText(factory->CreateInstance(nullptr, IID_IContextMenu, &p)) ==
                hresultText(S_OK));
        CHECK(static_cast<IContextMenu*>(p)->Release() == 0u);
    }

    SUBCASE("the last release gives back the data object Initialize took") {
        IDataObject* data = server_test::shellDataObject(server_test::makeTempFile("korvane_com.txt"));
        REQUIRE(data != nullptr);
        const ULONG baseline = data->AddRef() - 1;
        data->Release();

        void* p = garbagePointer();
        REQUIRE(hresultText(factory->CreateInstance(nullptr, IID_IShellExtInit, &p)) ==
                hresultText(S_OK));
        auto* init = static_cast<IShellExtInit*>(p);
        CHECK(hresultText(init->Initialize(nullptr, data, nullptr)) == hresultText(S_OK));
        const ULONG held = data->AddRef() - 1;
        data->Release();
        CHECK(held > baseline);  // the object holds a reference while it lives

        // A menu built on it (an item table, whatever the store holds) goes too.
        void* q = nullptr;
        REQUIRE(hresultText(init->QueryInterface(IID_IContextMenu, &q)) == hresultText(S_OK));
        HMENU menu = CreatePopupMenu();
        auto* cm = static_cast<IContextMenu*>(q);
        HRESULT hr = cm->QueryContextMenu(menu, 0, 1, 0x7FFF, CMF_NORMAL);
        CHECK(SUCCEEDED(hr));
        DestroyMenu(menu);
        CHECK(cm->Release() == 1u);

        CHECK(init->Release() == 0u);
        const ULONG after = data->AddRef() - 1;
        data->Release();
        CHECK(after == baseline);
        data->Release();
    }

    CHECK(factory->Release() == 0u);
    CHECK(canUnload(dll) == kCanUnload);
}

TEST_CASE("CoCreateInstance by class identifier through the registration") {
    ComApartment com;
    Exports dll;
    REQUIRE(dll.load());

    void* p = garbagePointer();
    HRESULT hr = CoCreateInstance(kClsidKorvane, nullptr, CLSCTX_INPROC_SERVER, IID_IContextMenu, &p);
    REQUIRE(hresultText(hr) == hresultText(S_OK));
    REQUIRE(p != nullptr);
    auto* cm = static_cast<IContextMenu*>(p);
    void* init = nullptr;
    CHECK(hresultText(cm->QueryInterface(IID_IShellExtInit, &init)) == hresultText(S_OK));
    CHECK(init != nullptr);

    // COM loaded the registered file; when that is the module loaded here,
    // its count sees the object.
    char loaded[MAX_PATH] = {};
    GetModuleFileNameA(dll.module, loaded, MAX_PATH);
    char registered[MAX_PATH] = {};
    LONG size = sizeof registered;
    RegQueryValueA(HKEY_CLASSES_ROOT,
                   (std::string("CLSID\\") + server_test::kClsidText + "\\InprocServer32").c_str(),
                   registered, &size);
    const std::string loadedPath = loaded, registeredPath = registered;
    CAPTURE(loadedPath);
    CAPTURE(registeredPath);
    const bool sameModule = GetModuleHandleA(registered) == dll.module;
    if (sameModule) CHECK(canUnload(dll) == kStaysLoaded);
    if (init) static_cast<IUnknown*>(init)->Release();
    CHECK(cm->Release() == 0u);
    if (sameModule) CHECK(canUnload(dll) == kCanUnload);

    void* factory = garbagePointer();
    CHECK(hresultText(CoGetClassObject(kClsidKorvane, CLSCTX_INPROC_SERVER, nullptr,
                                       IID_IClassFactory, &factory)) == hresultText(S_OK));
    if (factory) static_cast<IUnknown*>(factory)->Release();
}
