// talvex-setup.exe run silently in a fresh prefix, as a user or a deployment
// tool runs it: where the files go, what each registry view holds, whether
// hosts of each bitness can create both classes, the Uninstall entry, and
// that the uninstaller takes away exactly what the installer made and
// nothing of the user's menus. Then the bad inputs: an install over itself,
// DLLs deleted by hand, a DLL that cannot unregister, a DLL held open.
//
// The program is 32-bit, like the installer; in a 64-bit prefix it reads
// the 64-bit view with KEY_WOW64_64KEY and starts the 64-bit host from the
// x86_64 tree (TEST_PATH_INSTALLER_HOST_X86_64).
#include <doctest/doctest.h>

#include <windows.h>

#include <algorithm>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "installer_support.h"
#include "store_paths.h"
#include "talvex_version.h"
#include "test_paths.h"

using namespace installer_support;

namespace {

// A few entries of the user's menus, written before every install: the
// installer must never touch them.
void writeStore() {
    HKEY key;
    REQUIRE(RegCreateKeyExA(HKEY_CURRENT_USER, store_paths::kItemsKey, 0, nullptr, 0,
                            KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS);
    DWORD maxId = 7;
    RegSetValueExA(key, "MaxID", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&maxId),
                   sizeof maxId);
    RegCloseKey(key);
}

void checkStore() {
    CHECK(readString(HKEY_CURRENT_USER, store_paths::kItemsKey, "MaxID", 0) ==
          "7");
}

struct Folders {
    std::string dir64;  // the 64-bit build and the uninstaller; "" on 32-bit Windows
    std::string dir32;  // the 32-bit build
    std::string installDir() const { return dir64.empty() ? dir32 : dir64; }
};

// What the installer chooses: Program Files for each bitness, or with /D= the
// given folder and its "x86" subfolder.
Folders defaultFolders() {
    if (onWin64()) return {env("ProgramW6432") + "\\Talvex", env("ProgramFiles(x86)") + "\\Talvex"};
    return {"", env("ProgramFiles") + "\\Talvex"};
}

Folders chosenFolders(const std::string& folder) {
    if (onWin64()) return {folder, folder + "\\x86"};
    return {"", folder};
}

std::string setupPath() { return test_paths::path("TALVEX_SETUP"); }

// A run of the setup or the uninstaller: its exit code, and the steps it
// wrote to its /LOG= file, so that a failed check names the failing step.
struct SetupRun {
    long code;
    std::string log;
};
bool operator==(const SetupRun& run, long code) { return run.code == code; }
std::ostream& operator<<(std::ostream& out, const SetupRun& run) {
    return out << "exit code " << run.code << "; its log:\n" << run.log;
}

// `options` go before /D= and _?=, which NSIS wants last.
SetupRun runLogged(const std::string& program, const std::string& options,
                   const std::string& last) {
    const std::string log = tempFile("setup.log");
    DeleteFileA(log.c_str());
    SetupRun result;
    result.code = run("\"" + program + "\" " + options + " /LOG=" + log + last);
    result.log = fileExists(log) ? readFile(log) : "<no log written>\n";
    return result;
}

SetupRun install(const std::string& folder = "") {
    // /D= unquoted, as NSIS reads it.
    return runLogged(setupPath(), "/S", folder.empty() ? "" : " /D=" + folder);
}

// The uninstaller as the Uninstall entry's quiet command, but kept in place
// with _?= so that its exit code is its own (it cannot delete itself then:
// the caller does). NSIS takes everything after _?= as the folder, spaces
// included.
SetupRun uninstall(const Folders& f) {
    return runLogged(f.installDir() + "\\uninstall.exe", "/S", " _?=" + f.installDir());
}

void removeUninstaller(const Folders& f) {
    DeleteFileA((f.installDir() + "\\uninstall.exe").c_str());
    RemoveDirectoryA(f.installDir().c_str());
}

struct Built {
    const char* file;
    const char* clsid;
    const char* friendly;
    const char* handlerKind;
    std::vector<std::string> shellClasses;
};

const Built kDlls[] = {
    {"korvane.dll", "{50A2C9CD-CB78-435E-941D-4169387516E2}", "Talvex Korvane",
     "ContextMenuHandlers", {"*", "Directory", "Directory\\Background", "Drive"}},
    {"quillon.dll", "{E3294060-CF0A-4B27-8F8A-8A1CF8EB2456}", "Talvex Quillon",
     "PropertySheetHandlers", {"*", "Directory", "Drive"}},
};

void checkViewRegistration(const View& view, const std::string& dir) {
    const std::string viewName = view.name;
    for (const Built& dll : kDlls) {
        const std::string file = dll.file;
        CAPTURE(viewName);
        CAPTURE(file);
        CHECK(lower(readString(HKEY_CLASSES_ROOT,
                               std::string("CLSID\\") + dll.clsid + "\\InprocServer32", nullptr,
                               view.flag)) == lower(dir + "\\" + dll.file));
        for (const std::string& shellClass : dll.shellClasses) {
            CAPTURE(shellClass);
            CHECK(readString(HKEY_CLASSES_ROOT,
                             shellClass + "\\shellex\\" + dll.handlerKind + "\\" + dll.friendly,
                             nullptr, view.flag) == dll.clsid);
        }
    }
}

// A host of one bitness creates both classes, from the files of that
// bitness.
void checkHost(const std::string& host, const std::string& dir, const std::string& bitness) {
    CAPTURE(bitness);
    const std::string result = tempFile("host-result.txt");
    REQUIRE_MESSAGE(fileExists(host), "the host program is missing: " << host);
    CHECK(run("\"" + host + "\" \"" + result + "\"") == 0);
    std::string expected;
    for (const Built& dll : kDlls)
        expected += std::string(dll.file).substr(0, 7) + " 0x00000000 " + lower(dir) + "\\" +
                    dll.file + "\n";
    CHECK(lower(readFile(result)) == expected);
}

std::string versionText() {
    return std::to_string(TALVEX_VERSION_MAJOR) + "." + std::to_string(TALVEX_VERSION_MINOR) +
           "." + std::to_string(TALVEX_VERSION_PATCH);
}

void checkUninstallEntry(const Folders& f) {
    const View view = onWin64() ? kView64 : kView32;
    const std::string dir = f.installDir();
    std::map<std::string, std::string> expected = {
        {"DisplayName", "Talvex context menus"},
        {"DisplayVersion", versionText()},
        {"InstallLocation", dir},
        {"NoModify", "1"},
        {"NoRepair", "1"},
        {"Publisher", "Talvex"},
        {"QuietUninstallString", "\"" + dir + "\\uninstall.exe\" /S"},
        {"UninstallString", "\"" + dir + "\\uninstall.exe\""},
    };
    std::map<std::string, std::string> values = readValues(HKEY_LOCAL_MACHINE, kUninstallKey, view.flag);
    // "Created <key>": the uninstaller's own notes of the parent keys that
    // registration made (the snapshot comparisons check they are used).
    for (auto it = values.begin(); it != values.end();)
        it = it->first.rfind("Created ", 0) == 0 ? values.erase(it) : std::next(it);
    CHECK(values == expected);
}

void checkInstalled(const Folders& f) {
    if (!f.dir64.empty()) {
        std::vector<std::string> files = {"korvane.dll", "quillon.dll", "uninstall.exe"};
        if (lower(f.dir32) == lower(f.dir64 + "\\x86")) files.push_back("x86");
        CHECK(listFolder(f.dir64) == files);
        checkViewRegistration(kView64, f.dir64);
        checkHost(test_paths::path("INSTALLER_HOST_X86_64"), f.dir64, "64-bit");
        CHECK(listFolder(f.dir32) == std::vector<std::string>{"korvane.dll", "quillon.dll"});
    } else {
        CHECK(listFolder(f.dir32) ==
              std::vector<std::string>{"korvane.dll", "quillon.dll", "uninstall.exe"});
    }
    checkViewRegistration(kView32, f.dir32);
    checkHost(test_paths::path("INSTALLER_HOST"), f.dir32, "32-bit");
    checkUninstallEntry(f);
}

// After an uninstall in place: only the running uninstaller is left.
void checkFilesGone(const Folders& f) {
    CHECK(listFolder(f.installDir()) == std::vector<std::string>{"uninstall.exe"});
    if (!f.dir64.empty()) CHECK_FALSE(fileExists(f.dir32));
    removeUninstaller(f);
    CHECK_FALSE(fileExists(f.installDir()));
}

}  // namespace

TEST_CASE("a silent install to Program Files registers both builds; the silent uninstall takes "
          "away exactly that and leaves the user's menus") {
    writeStore();
    const Snapshot before = snapshot();
    const Folders f = defaultFolders();

    REQUIRE(install() == 0);
    checkInstalled(f);
    checkStore();

    CHECK(uninstall(f) == 0);
    checkFilesGone(f);
    CHECK(changes(before, snapshot()) == "");
    // The test prefix starts without a "Drive" class: the one registration
    // made goes with the uninstall.
    HKEY drive = nullptr;
    CHECK(RegOpenKeyExA(HKEY_CLASSES_ROOT, "Drive", 0, KEY_READ, &drive) == ERROR_FILE_NOT_FOUND);
    if (drive) RegCloseKey(drive);
    checkStore();
}

TEST_CASE("an install over itself upgrades in place; /D= chooses the folder and later runs "
          "keep it") {
    writeStore();
    const Snapshot before = snapshot();
    const Folders f = chosenFolders("C:\\talvex-test");

    REQUIRE(install("C:\\talvex-test") == 0);
    checkInstalled(f);
    CHECK(install("C:\\talvex-test") == 0);
    checkInstalled(f);
    // Without /D= the earlier install's folder is used, not Program Files.
    CHECK(install() == 0);
    checkInstalled(f);
    CHECK_FALSE(fileExists(defaultFolders().installDir()));

    CHECK(uninstall(f) == 0);
    checkFilesGone(f);
    CHECK(changes(before, snapshot()) == "");
    checkStore();
}

TEST_CASE("an uninstall after the DLLs were deleted by hand still removes their registration") {
    writeStore();
    const Snapshot before = snapshot();
    const Folders f = chosenFolders("C:\\talvex-deleted");
    REQUIRE(install("C:\\talvex-deleted") == 0);
    for (const std::string& dir : {f.dir64, f.dir32}) {
        if (dir.empty()) continue;
        for (const Built& dll : kDlls) CHECK(DeleteFileA((dir + "\\" + dll.file).c_str()));
    }

    CHECK(uninstall(f) == 0);
    checkFilesGone(f);
    CHECK(changes(before, snapshot()) == "");
    checkStore();
}

TEST_CASE("a DLL that cannot unregister fails the uninstall with exit code 2 and no file goes; "
          "once it is repaired the uninstall finishes") {
    writeStore();
    const Snapshot before = snapshot();
    const Folders f = chosenFolders("C:\\talvex-broken");
    REQUIRE(install("C:\\talvex-broken") == 0);
    // The 32-bit korvane.dll replaced by a file that is no DLL: regsvr32
    // cannot load it, and its class stays registered.
    const std::string broken = f.dir32 + "\\korvane.dll";
    writeFile(broken, "not a DLL");

    CHECK(uninstall(f) == 2);
    CHECK(lower(readString(HKEY_CLASSES_ROOT,
                           "CLSID\\{50A2C9CD-CB78-435E-941D-4169387516E2}\\InprocServer32",
                           nullptr, kView32.flag)) == lower(broken));
    CHECK(fileExists(f.dir32 + "\\quillon.dll"));
    CHECK(fileExists(f.installDir() + "\\uninstall.exe"));
    CHECK(readString(HKEY_LOCAL_MACHINE, kUninstallKey, "DisplayName",
                     (onWin64() ? kView64 : kView32).flag) == "Talvex context menus");

    // Repaired: the second run finds the other bitness's registration (and
    // on 64-bit Windows the shared handler keys) already gone.
    REQUIRE(CopyFileA(test_paths::path("KORVANE").c_str(), broken.c_str(), FALSE));
    CHECK(uninstall(f) == 0);
    checkFilesGone(f);
    CHECK(changes(before, snapshot()) == "");
    checkStore();
}

TEST_CASE("a DLL held open by a running host: the upgrade and the uninstall both finish and "
          "say that a restart completes them") {
    writeStore();
    const Snapshot before = snapshot();
    const Folders f = chosenFolders("C:\\talvex-held");
    REQUIRE(install("C:\\talvex-held") == 0);

    // The host of the system's own bitness keeps both of its DLLs loaded.
    const std::string heldDir = onWin64() ? f.dir64 : f.dir32;
    HeldHost host(test_paths::path(onWin64() ? "INSTALLER_HOST_X86_64" : "INSTALLER_HOST"),
                  tempFile("held-result.txt"));
    REQUIRE(host.start());

    CHECK(install("C:\\talvex-held") == kRebootRequired);
    // The new files are in place at once; the held ones wait as *.old.
    CHECK(listFolder(heldDir) ==
          (onWin64() ? std::vector<std::string>{"korvane.dll", "korvane.dll.old", "quillon.dll",
                                                "quillon.dll.old", "uninstall.exe", "x86"}
                     : std::vector<std::string>{"korvane.dll", "korvane.dll.old", "quillon.dll",
                                                "quillon.dll.old", "uninstall.exe"}));
    CHECK(pendingDeletes() == std::vector<std::string>{lower(heldDir) + "\\korvane.dll.old",
                                                       lower(heldDir) + "\\quillon.dll.old"});
    checkViewRegistration(onWin64() ? kView64 : kView32, heldDir);

    CHECK(uninstall(f) == kRebootRequired);
    CHECK(host.release() == 0);
    // Unregistered and entry gone now; the files the host held go at restart.
    CHECK(changes(before, snapshot()) == "");
    checkStore();
    if (onWin64()) CHECK_FALSE(fileExists(f.dir32));  // nothing held there
    const std::vector<std::string> pending = pendingDeletes();
    for (const std::string& name : listFolder(heldDir)) {
        if (name == "uninstall.exe" || name == "x86") continue;
        CAPTURE(name);
        CHECK(std::find(pending.begin(), pending.end(), lower(heldDir) + "\\" + name) !=
              pending.end());
    }
}
