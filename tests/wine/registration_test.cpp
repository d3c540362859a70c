// korvane.dll's registration through its real entry points: regsvr32 in the
// test prefix, and DllRegisterServer / DllUnregisterServer called on the
// loaded module. The registry is compared as a whole before and after, so
// an entry written for any other shell class, or outside the class root,
// shows up as a difference.
#include <doctest/doctest.h>

#include <objbase.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "registry_snapshot.h"
#include "run_program.h"
#include "server_test_support.h"
#include "store_paths.h"

using server_test::Exports;
using server_test::hresultText;
using server_test::kClsidText;
using server_test::kFriendlyName;
using registry_snapshot::added;
using registry_snapshot::lower;
using registry_snapshot::snapshot;
using registry_snapshot::Snapshot;

namespace {

struct ComApartment {
    ComApartment() { CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED); }
    ~ComApartment() { CoUninitialize(); }
};

std::string expectedEntries() {
    const std::string cls = std::string("CLSID\\") + kClsidText;
    const std::string handler = std::string("\\shellex\\ContextMenuHandlers\\") + kFriendlyName;
    std::set<std::string> names = {
        cls,
        cls + "|",
        cls + "\\InprocServer32",
        cls + "\\InprocServer32|",
        cls + "\\InprocServer32|ThreadingModel",
        "*" + handler,
        "*" + handler + "|",
        "Directory\\Background" + handler,
        "Directory\\Background" + handler + "|",
        "Drive" + handler,
        "Drive" + handler + "|",
        "Directory" + handler,
        "Directory" + handler + "|",
    };
    std::set<std::string> tagged;
    for (const std::string& n : names) tagged.insert("HKCR:" + lower(n));
    std::string text;
    for (const std::string& n : tagged) text += n + "\n";
    return text;
}

struct RegString {
    LONG result = -1;
    DWORD type = 0;
    DWORD bytes = 0;
    std::string text;  // the bytes up to the first zero
};

RegString readString(const std::string& keyPath, const char* valueName) {
    RegString v;
    HKEY key;
    v.result = RegOpenKeyExA(HKEY_CLASSES_ROOT, keyPath.c_str(), 0, KEY_READ, &key);
    if (v.result != ERROR_SUCCESS) return v;
    char buffer[1024] = {};
    v.bytes = sizeof buffer - 1;
    v.result = RegQueryValueExA(key, valueName, nullptr, &v.type,
                                reinterpret_cast<BYTE*>(buffer), &v.bytes);
    RegCloseKey(key);
    v.text = buffer;
    return v;
}

// Checks one value of the registration table: REG_SZ, the stated text, and
// the terminating zero counted in the stored length.
void checkStringValue(const std::string& keyPath, const char* valueName,
                      const std::string& expected) {
    const std::string value = valueName ? valueName : "(default)";
    CAPTURE(keyPath);
    CAPTURE(value);
    RegString v = readString(keyPath, valueName);
    REQUIRE(v.result == ERROR_SUCCESS);
    CHECK(v.type == static_cast<DWORD>(REG_SZ));
    CHECK(v.text == expected);
    CHECK(v.bytes == expected.size() + 1);
}

bool keyExists(HKEY root, const std::string& path) {
    HKEY key;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// Runs "regsvr32 /s <dll>" in this prefix; returns its exit code (or -1).
long runRegsvr32(const char* options) {
    return test_process::run(std::string("regsvr32.exe ") + options + " \"" +
                             server_test::dllPath() + "\"", 60000);
}

void checkRegistrationTable() {
    const std::string cls = std::string("CLSID\\") + kClsidText;
    checkStringValue(cls, nullptr, kFriendlyName);
    checkStringValue(cls + "\\InprocServer32", nullptr, server_test::dllPath());
    checkStringValue(cls + "\\InprocServer32", "ThreadingModel", "Apartment");
    for (const char* shellClass : {"*", "Directory\\Background", "Drive", "Directory"}) {
        checkStringValue(std::string(shellClass) + "\\shellex\\ContextMenuHandlers\\" +
                             kFriendlyName,
                         nullptr, kClsidText);
    }

    // The class key is named in upper case, the handler keys by the friendly
    // name exactly (registry names compare without case, so look at them as
    // enumerated).
    auto enumeratedName = [](const std::string& parent, const std::string& wanted) {
        HKEY key;
        std::string found;
        if (RegOpenKeyExA(HKEY_CLASSES_ROOT, parent.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
            return found;
        char name[256];
        for (DWORD i = 0;; ++i) {
            DWORD len = sizeof name;
            if (RegEnumKeyExA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr) !=
                ERROR_SUCCESS)
                break;
            if (lstrcmpiA(name, wanted.c_str()) == 0) found = name;
        }
        RegCloseKey(key);
        return found;
    };
    CHECK(enumeratedName("CLSID", kClsidText) == kClsidText);
    CHECK(enumeratedName("Directory\\shellex\\ContextMenuHandlers", kFriendlyName) ==
          kFriendlyName);
}

}  // namespace

TEST_CASE("regsvr32 writes exactly the registration table; DllUnregisterServer removes exactly it") {
    ComApartment com;
    Exports dll;
    REQUIRE(dll.load());

    // Start from the unregistered state whatever the fixture left.
    dll.unregisterServer();
    const Snapshot unregistered = snapshot();

    REQUIRE(runRegsvr32("/s") == 0);
    const Snapshot registered = snapshot();

    CHECK(added(unregistered, registered) == expectedEntries());
    CHECK(added(registered, unregistered).empty());  // nothing removed
    checkRegistrationTable();

    // Folders in general and every file system object get nothing.
    for (const char* other : {"Folder", "AllFilesystemObjects", "DesktopBackground"}) {
        const std::string shellClass = other;
        CAPTURE(shellClass);
        CHECK_FALSE(keyExists(HKEY_CLASSES_ROOT, std::string(other) +
                                                     "\\shellex\\ContextMenuHandlers\\" +
                                                     kFriendlyName));
    }

    HRESULT hr = dll.unregisterServer();
    CHECK(hresultText(hr) == hresultText(S_OK));
    const Snapshot removed = snapshot();
    CHECK(added(removed, registered) == expectedEntries());
    CHECK(added(registered, removed).empty());  // nothing added or changed
    CHECK(added(unregistered, removed).empty());

    // The last handler key is gone now: a second call reports it.
    hr = dll.unregisterServer();
    CHECK(hresultText(hr) == hresultText(E_UNEXPECTED));
    CHECK(added(removed, snapshot()).empty());
    CHECK(added(snapshot(), removed).empty());

    // Leave the prefix registered for whatever runs after.
    CHECK(hresultText(dll.registerServer()) == hresultText(S_OK));
}

TEST_CASE("registering twice is harmless: S_OK and the same entries") {
    ComApartment com;
    Exports dll;
    REQUIRE(dll.load());

    CHECK(hresultText(dll.registerServer()) == hresultText(S_OK));
    const Snapshot once = snapshot();
    checkRegistrationTable();

    CHECK(hresultText(dll.registerServer()) == hresultText(S_OK));
    const Snapshot twice = snapshot();
    CHECK(added(once, twice).empty());
    CHECK(added(twice, once).empty());

    CHECK(runRegsvr32("/s") == 0);
    const Snapshot thrice = snapshot();
    CHECK(added(once, thrice).empty());
    CHECK(added(thrice, once).empty());
    checkRegistrationTable();
}

TEST_CASE("unregistration leaves the menu store and other handlers in place") {
    ComApartment com;
    Exports dll;
    REQUIRE(dll.load());
    REQUIRE(hresultText(dll.registerServer()) == hresultText(S_OK));

    // A store with one entry, and another handler beside ours.
    REQUIRE(shell_host::putIndex("*", {{1, 0}}));
    HKEY key;
    const char other[] = "*\\shellex\\ContextMenuHandlers\\Another Handler";
    REQUIRE(RegCreateKeyExA(HKEY_CLASSES_ROOT, other, 0, nullptr, 0, KEY_WRITE, nullptr, &key,
                            nullptr) == ERROR_SUCCESS);
    RegSetValueExA(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>("{00000000-0000-0000-0000-000000000001}"), 39);
    RegCloseKey(key);

    const Snapshot before = snapshot();
    CHECK(hresultText(dll.unregisterServer()) == hresultText(S_OK));
    const Snapshot after = snapshot();
    CHECK(added(after, before) == expectedEntries());
    CHECK(added(before, after).empty());
    CHECK(keyExists(HKEY_CLASSES_ROOT, other));
    CHECK(keyExists(HKEY_CURRENT_USER, store_paths::kIndexKey));

    // Registration does not touch the store either.
    CHECK(hresultText(dll.registerServer()) == hresultText(S_OK));
    CHECK(added(snapshot(), before).empty());
    CHECK(added(before, snapshot()).empty());

    RegDeleteKeyA(HKEY_CLASSES_ROOT, other);
    RegDeleteKeyA(HKEY_CURRENT_USER, store_paths::kIndexKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, store_paths::kStoreKey);
    RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\Talvex");
}

TEST_CASE("exports: the four entry points by name at ordinals 1 to 4, nothing else") {
    Exports dll;
    REQUIRE(dll.load());
    const BYTE* base = reinterpret_cast<const BYTE*>(dll.module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    REQUIRE(dir.VirtualAddress != 0);
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
    CHECK(exports->Base == 1u);
    CHECK(exports->NumberOfFunctions == 4u);
    REQUIRE(exports->NumberOfNames == 4u);

    const char* const names[] = {"DllCanUnloadNow", "DllGetClassObject", "DllRegisterServer",
                                 "DllUnregisterServer"};
    const auto* nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    const auto* nameOrdinals = reinterpret_cast<const WORD*>(base + exports->AddressOfNameOrdinals);
    for (DWORD i = 0; i < 4; ++i) {
        CAPTURE(i);
        const char* exported = reinterpret_cast<const char*>(base + nameRvas[i]);
        CHECK(std::string(exported) == names[i]);                   // undecorated names
        CHECK(nameOrdinals[i] + exports->Base == i + 1);            // ordinal i + 1
        FARPROC byName = GetProcAddress(dll.module, names[i]);
        FARPROC byOrdinal = GetProcAddress(dll.module, MAKEINTRESOURCEA(i + 1));
        CHECK(reinterpret_cast<void*>(byName) != nullptr);
        CHECK(reinterpret_cast<void*>(byOrdinal) == reinterpret_cast<void*>(byName));
    }
    CHECK(reinterpret_cast<void*>(GetProcAddress(dll.module, MAKEINTRESOURCEA(5))) == nullptr);
}
