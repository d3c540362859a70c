// The Wine test harness itself: the program runs under Wine in a prefix of
// its own, with crash dialogs off, windows working without a display, and
// (when the build has korvane.dll) the handler registered before the test.
#include <doctest/doctest.h>

#include <windows.h>

#include <string>

#include "talvex_names.h"
#include "test_paths.h"

namespace {

std::string readString(HKEY root, const char* key, const char* value) {
    char data[MAX_PATH * 2] = {};
    DWORD size = sizeof data - 1;
    DWORD type = 0;
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return "<no key>";
    LONG result = RegQueryValueExA(handle, value, nullptr, &type,
                                   reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(handle);
    if (result != ERROR_SUCCESS) return "<no value>";
    if (type != REG_SZ) return "<not a string>";
    return data;
}

DWORD readDword(HKEY root, const char* key, const char* value, DWORD fallback) {
    DWORD data = 0;
    DWORD size = sizeof data;
    DWORD type = 0;
    HKEY handle = nullptr;
    if (RegOpenKeyExA(root, key, 0, KEY_READ, &handle) != ERROR_SUCCESS) return fallback;
    LONG result = RegQueryValueExA(handle, value, nullptr, &type,
                                   reinterpret_cast<BYTE*>(&data), &size);
    RegCloseKey(handle);
    return (result == ERROR_SUCCESS && type == REG_DWORD) ? data : fallback;
}

}  // namespace

TEST_CASE("the prefix is set up for unattended runs") {
    // A crash must end the program, not wait behind an invisible dialog.
    CHECK(readDword(HKEY_CURRENT_USER, "Software\\Wine\\WineDbg", "ShowCrashDialog", 1) == 0);

    // The environment of the test reaches the program, with paths in
    // Windows form.
    std::string buildDir = test_paths::path("BUILD_DIR");
    CHECK(buildDir.compare(0, 3, "Z:\\") == 0);
    CHECK(GetFileAttributesA(buildDir.c_str()) != INVALID_FILE_ATTRIBUTES);
}

TEST_CASE("menus and windows work without a display") {
    HMENU menu = CreatePopupMenu();
    REQUIRE(menu != nullptr);
    char caption[] = "&Open here";
    MENUITEMINFOA item = {};
    item.cbSize = sizeof item;
    item.fMask = MIIM_ID | MIIM_STRING;
    item.wID = 42;
    item.dwTypeData = caption;
    REQUIRE(InsertMenuItemA(menu, 0, TRUE, &item));
    REQUIRE(InsertMenuA(menu, 1, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr));

    char text[64] = {};
    MENUITEMINFOA back = {};
    back.cbSize = sizeof back;
    back.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE;
    back.dwTypeData = text;
    back.cch = sizeof text;
    REQUIRE(GetMenuItemInfoA(menu, 0, TRUE, &back));
    CHECK(back.wID == 42u);
    CHECK(std::string(text) == "&Open here");
    CHECK(GetMenuItemCount(menu) == 2);
    CHECK((GetMenuState(menu, 1, MF_BYPOSITION) & MF_SEPARATOR) != 0);
    DestroyMenu(menu);

    HWND window = CreateWindowExA(0, "STATIC", "smoke", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                  nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    REQUIRE(window != nullptr);
    char title[16] = {};
    GetWindowTextA(window, title, sizeof title);
    CHECK(std::string(title) == "smoke");
    DestroyWindow(window);
}

#ifdef SMOKE_EXPECT_KORVANE
TEST_CASE("korvane.dll was registered before the test") {
    const char* classKey = "CLSID\\" TALVEX_KORVANE_CLSID "\\InprocServer32";
    std::string server = readString(HKEY_CLASSES_ROOT, classKey, nullptr);
    // The server path is the DLL this build made, given to the test as well.
    std::string expected = test_paths::path("KORVANE");
    INFO("registered: " << server << ", built: " << expected);
    CHECK(lstrcmpiA(server.c_str(), expected.c_str()) == 0);
    CHECK(readString(HKEY_CLASSES_ROOT, classKey, "ThreadingModel") == "Apartment");
}
#endif
