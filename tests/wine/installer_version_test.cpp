// The version resources: both DLLs of this build (and, in the build that
// makes it, the installer) carry the project's one version number and the
// product's names, as Explorer's file properties read them.
#include <doctest/doctest.h>

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "container_printers.h"
#include "talvex_version.h"
#include "test_paths.h"

namespace {

struct Version {
    std::string fixed;  // "a.b.c.d" of VS_FIXEDFILEINFO's file version
    std::string fixedProduct;
    std::map<std::string, std::string> strings;
};

Version readVersion(const std::string& file) {
    Version v;
    DWORD ignored = 0;
    DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
    REQUIRE_MESSAGE(size > 0, file << " has no version resource (error " << GetLastError() << ")");
    std::vector<char> data(size);
    REQUIRE(GetFileVersionInfoA(file.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT len = 0;
    REQUIRE(VerQueryValueA(data.data(), "\\", reinterpret_cast<void**>(&fixed), &len));
    auto text = [](DWORD ms, DWORD ls) {
        return std::to_string(HIWORD(ms)) + "." + std::to_string(LOWORD(ms)) + "." +
               std::to_string(HIWORD(ls)) + "." + std::to_string(LOWORD(ls));
    };
    v.fixed = text(fixed->dwFileVersionMS, fixed->dwFileVersionLS);
    v.fixedProduct = text(fixed->dwProductVersionMS, fixed->dwProductVersionLS);
    for (const char* name : {"CompanyName", "FileDescription", "FileVersion", "LegalCopyright",
                             "ProductName", "ProductVersion"}) {
        char* value = nullptr;
        UINT chars = 0;
        const std::string query = std::string("\\StringFileInfo\\040904B0\\") + name;
        if (VerQueryValueA(data.data(), query.c_str(), reinterpret_cast<void**>(&value), &chars) &&
            value)
            v.strings[name] = value;
        else
            v.strings[name] = "<missing>";
    }
    return v;
}

void checkVersion(const char* variable, const char* description) {
    const std::string file = test_paths::path(variable);
    CAPTURE(file);
    const Version v = readVersion(file);
    CHECK(v.fixed == TALVEX_VERSION_TEXT);
    CHECK(v.fixedProduct == TALVEX_VERSION_TEXT);
    const std::map<std::string, std::string> expected = {
        {"CompanyName", TALVEX_COMPANY_NAME},      {"FileDescription", description},
        {"FileVersion", TALVEX_VERSION_TEXT},      {"LegalCopyright", TALVEX_COPYRIGHT},
        {"ProductName", TALVEX_PRODUCT_NAME},      {"ProductVersion", TALVEX_VERSION_TEXT},
    };
    CHECK(v.strings == expected);
}

}  // namespace

TEST_CASE("korvane.dll and quillon.dll report the product's version and names") {
    checkVersion("KORVANE", "Talvex context-menu handler");
    checkVersion("QUILLON", "Talvex context-menu editor page");
}

#ifdef CHECK_SETUP  // the tree that makes the installer
TEST_CASE("talvex-setup.exe reports the same version") {
    checkVersion("TALVEX_SETUP", TALVEX_PRODUCT_NAME " setup");
}
#endif
