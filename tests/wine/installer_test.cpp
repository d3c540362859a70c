// talvex-setup.exe run silently in a fresh prefix, as a user or a deployment
// tool runs it: where the files go, what each registry view holds, whether
// hosts of each bitness can create both classes, the Uninstall entry, and
// that the uninstaller takes away exactly what the installer made and
// nothing of the user's menus. Then the bad inputs: an install over itself,
// DLLs deleted by hand, a DLL that cannot unregister, a DLL held open. Last
// the package steps of 64-bit Windows 11, with stand-ins that record the
// calls of certutil.exe and powershell.exe, and the refusal of Windows on
// Arm.
//
// The program is 32-bit, like the installer; in a 64-bit prefix it reads
// the 64-bit view with KEY_WOW64_64KEY and starts the 64-bit host from the
// x86_64 tree (TEST_PATH_INSTALLER_HOST_X86_64).
#include <doctest/doctest.h>

#include <windows.h>
#include <shlobj.h>

#include <wincrypt.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "installer_support.h"
#include "store_paths.h"
#include "talvex_names.h"
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
    {"korvane.dll", TALVEX_KORVANE_CLSID, TALVEX_KORVANE_NAME, "ContextMenuHandlers",
     {TALVEX_FILE_CLASS, TALVEX_FOLDER_CLASS, TALVEX_BACKGROUND_CLASS, TALVEX_DRIVE_CLASS}},
    {"quillon.dll", TALVEX_QUILLON_CLSID, TALVEX_QUILLON_NAME, "PropertySheetHandlers",
     {TALVEX_FILE_CLASS, TALVEX_FOLDER_CLASS, TALVEX_DRIVE_CLASS}},
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
    // "Created <key>" and "Added certificate": the uninstaller's own notes
    // of what registration made (the snapshot comparisons check they are
    // used).
    for (auto it = values.begin(); it != values.end();)
        it = it->first.rfind("Created ", 0) == 0 || it->first == "Added certificate"
                 ? values.erase(it)
                 : std::next(it);
    CHECK(values == expected);
}

// Where the Start menu shortcut to the menus window leads for every user;
// "<none>" without one.
std::string menusShortcutTarget() {
    char programs[MAX_PATH] = "";
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_COMMON_PROGRAMS, nullptr, SHGFP_TYPE_CURRENT, programs)))
        return "<no Start menu folder for all users>";
    const std::string link = std::string(programs) + "\\" TALVEX_MENUS_TITLE ".lnk";
    if (GetFileAttributesA(link.c_str()) == INVALID_FILE_ATTRIBUTES) return "<none>";
    std::string target = "<a shortcut that does not read>";
    CoInitialize(nullptr);
    IShellLinkA* shortcut = nullptr;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&shortcut))) &&
        SUCCEEDED(shortcut->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)))) {
        char path[MAX_PATH] = "";
        if (SUCCEEDED(file->Load(std::wstring(link.begin(), link.end()).c_str(), STGM_READ)) &&
            SUCCEEDED(shortcut->GetPath(path, MAX_PATH, nullptr, 0)))
            target = path;
    }
    if (file) file->Release();
    if (shortcut) shortcut->Release();
    CoUninitialize();
    return target;
}

void checkInstalled(const Folders& f) {
    CHECK(lower(menusShortcutTarget()) == lower(f.installDir() + "\\talvex.exe"));
    if (!f.dir64.empty()) {
        std::vector<std::string> files = {"korvane.dll", "quillon.dll", "talvex.cer",
                                          "talvex.exe", "talvex.msix", "uninstall.exe"};
        if (lower(f.dir32) == lower(f.dir64 + "\\x86")) files.push_back("x86");
        CHECK(listFolder(f.dir64) == files);
        checkViewRegistration(kView64, f.dir64);
        checkHost(test_paths::path("INSTALLER_HOST_X86_64"), f.dir64, "64-bit");
        CHECK(listFolder(f.dir32) == std::vector<std::string>{"korvane.dll", "quillon.dll"});
        CHECK(readFile(f.dir64 + "\\talvex.exe") == readFile(test_paths::path("TALVEX_X86_64")));
    } else {
        CHECK(listFolder(f.dir32) == std::vector<std::string>{"korvane.dll", "quillon.dll",
                                                              "talvex.exe", "uninstall.exe"});
        CHECK(readFile(f.dir32 + "\\talvex.exe") == readFile(test_paths::path("TALVEX")));
    }
    checkViewRegistration(kView32, f.dir32);
    checkHost(test_paths::path("INSTALLER_HOST"), f.dir32, "32-bit");
    checkUninstallEntry(f);
}

// After an uninstall in place: only the running uninstaller is left.
void checkFilesGone(const Folders& f) {
    CHECK(menusShortcutTarget() == "<none>");
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
                           std::string("CLSID\\") + TALVEX_KORVANE_CLSID + "\\InprocServer32",
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
                                                "quillon.dll.old", "talvex.cer", "talvex.exe",
                                                "talvex.msix", "uninstall.exe", "x86"}
                     : std::vector<std::string>{"korvane.dll", "korvane.dll.old", "quillon.dll",
                                                "quillon.dll.old", "talvex.exe",
                                                "uninstall.exe"}));
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

namespace {

// The package steps run on 64-bit Windows 11 only. Wine reports an older
// Windows, so the test sets the build number the installer reads, and
// whether the user has brought back the classic menu.
void setWindows(const std::string& build, bool classicMenu) {
    HKEY key;
    REQUIRE(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows NT\\CurrentVersion",
                            0, nullptr, 0, KEY_WRITE | kView64.flag, nullptr, &key,
                            nullptr) == ERROR_SUCCESS);
    RegSetValueExA(key, "CurrentBuildNumber", 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(build.c_str()),
                   static_cast<DWORD>(build.size() + 1));
    RegCloseKey(key);
    const char* classic =
        "Software\\Classes\\CLSID\\{86ca1aa0-34aa-4e8b-a509-50c905bae2a2}\\InprocServer32";
    RegDeleteKeyExA(HKEY_CURRENT_USER, classic, kView64.flag, 0);
    if (classicMenu &&
        RegCreateKeyExA(HKEY_CURRENT_USER, classic, 0, nullptr, 0, KEY_WRITE | kView64.flag,
                        nullptr, &key, nullptr) == ERROR_SUCCESS)
        RegCloseKey(key);
}

// certutil.exe and powershell.exe of the 64-bit system folder become the
// recording stand-in, which Wine is told to run instead of its own.
void placeStandIns() {
    PVOID redirection = nullptr;
    const bool redirected = onWin64() && Wow64DisableWow64FsRedirection(&redirection);
    for (const char* program : {"certutil.exe", "WindowsPowerShell\\v1.0\\powershell.exe"}) {
        const std::string target = env("windir") + "\\System32\\" + program;
        CHECK_MESSAGE(CopyFileA(test_paths::path("INSTALLER_STAND_IN").c_str(), target.c_str(),
                                FALSE),
                      "cannot write " << target);
    }
    if (redirected) Wow64RevertWow64FsRedirection(redirection);
    HKEY key;
    REQUIRE(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Wine\\DllOverrides", 0, nullptr, 0,
                            KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS);
    for (const char* program : {"certutil.exe", "powershell.exe"})
        RegSetValueExA(key, program, 0, REG_SZ, reinterpret_cast<const BYTE*>("native"), 7);
    RegCloseKey(key);
    SetEnvironmentVariableA("INSTALLER_CALLS", tempFile("installer-calls.txt").c_str());
}

// The thumbprint by which Windows names a certificate: SHA-1 of its bytes.
std::string thumbprint(const std::string& cerFile) {
    const std::string der = readFile(cerFile);
    BYTE hash[20];
    DWORD size = sizeof hash;
    REQUIRE(CryptHashCertificate(0, CALG_SHA1, 0, reinterpret_cast<const BYTE*>(der.data()),
                                 static_cast<DWORD>(der.size()), hash, &size));
    std::string hex;
    char two[3];
    for (BYTE b : hash) hex += (std::snprintf(two, sizeof two, "%02X", b), two);
    return hex;
}

// The calls since the last look, shortened to "certutil <arguments>" and
// "powershell <command>" where the 64-bit program was started as intended,
// with the certificate's thumbprint as {sha1}; on 32-bit Windows there must
// be none.
std::vector<std::string> takeCalls(const std::string& sha1) {
    const std::string file = env("INSTALLER_CALLS"), system = "\"" + env("windir") + "\\System32\\";
    const std::pair<std::string, std::string> shorter[] = {
        {system + "certutil.exe\" ", "certutil "},
        {system + "WindowsPowerShell\\v1.0\\powershell.exe\" -NoProfile -NonInteractive "
                  "-ExecutionPolicy Bypass -Command \"$ErrorActionPreference = 'Stop'; ",
         "powershell "},
        {sha1, "{sha1}"}};
    std::vector<std::string> calls;
    std::istringstream lines(fileExists(file) ? readFile(file) : "");
    for (std::string line; std::getline(lines, line); calls.push_back(line))
        for (const auto& [from, to] : shorter)
            if (std::size_t at = line.find(from); !from.empty() && at != std::string::npos)
                line.replace(at, from.size(), to);
    DeleteFileA(file.c_str());
    return calls;
}

// The folder of the package steps' installs, in UTF-8 as the stand-in
// records the calls: an apostrophe and the typographic quotes U+201A, U+2019
// and U+2018 (all in code page 1252), each of which ends a single-quoted
// PowerShell string. PowerShell must receive each of them doubled.
const std::string kQuotedUtf8 = u8"C:\\Talvex's \u201ABob\u2019s\u2018 menus";
const std::string kQuotedForPowerShell =
    u8"C:\\Talvex''s \u201A\u201ABob\u2019\u2019s\u2018\u2018 menus";

// The folder for this test's A functions: UTF-8 text in the process's code
// page, which must have every character of it.
Folders quotedFolders() {
    const int wideLength = MultiByteToWideChar(CP_UTF8, 0, kQuotedUtf8.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, kQuotedUtf8.c_str(), -1, &wide[0], wideLength);
    BOOL lossy = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1,
                                           nullptr, 0, nullptr, &lossy);
    std::string folder(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, &folder[0], length,
                        nullptr, &lossy);
    REQUIRE_MESSAGE(!lossy, "code page " << GetACP() << " cannot spell the folder " << kQuotedUtf8
                                         << ": run the test in a locale whose code page has "
                                            "it (C.UTF-8 gives 1252)");
    folder.resize(folder.size() - 1);
    return chosenFolders(folder);
}

const std::string kInStore = "certutil -store TrustedPeople {sha1}";
const std::string kVerify = "certutil -verify \"" + kQuotedUtf8 + "\\talvex.cer\"";
const std::string kTrust = "certutil -addstore TrustedPeople \"" + kQuotedUtf8 + "\\talvex.cer\"";
const std::string kUntrust = "certutil -delstore TrustedPeople {sha1}";
const std::string kRegister = "powershell Add-AppxPackage -Path '" + kQuotedForPowerShell +
                              "\\talvex.msix' -ExternalLocation '" + kQuotedForPowerShell + "'\"";
const std::string kProvision =
    "powershell $f = (Get-AppxPackage -Name '" TALVEX_PACKAGE_NAME "').PackageFamilyName; "
    "if (-not $f) { throw 'The package is not registered.' }; "
    "Add-Type -AssemblyName System.Runtime.WindowsRuntime; "
    "$m = [Windows.Management.Deployment.PackageManager,Windows.Management.Deployment,"
    "ContentType=WindowsRuntime]::new(); "
    "$t = [WindowsRuntimeSystemExtensions].GetMethods() | Where-Object { "
    "$_.Name -eq 'AsTask' -and $_.GetParameters().Count -eq 1 -and "
    "$_.GetParameters()[0].ParameterType.Name -like 'IAsyncOperationWithProgress*' }; "
    "$r = $t[0].MakeGenericMethod([Windows.Management.Deployment.DeploymentResult], "
    "[Windows.Management.Deployment.DeploymentProgress]).Invoke($null, "
    "@($m.ProvisionPackageForAllUsersAsync($f))).GetAwaiter().GetResult(); "
    "if ($r.ExtendedErrorCode) { throw $r.ErrorText }\"";
const std::string kUnprovision = "powershell Get-AppxProvisionedPackage -Online | Where-Object "
                                 "DisplayName -EQ '" TALVEX_PACKAGE_NAME "' | "
                                 "Remove-AppxProvisionedPackage -Online\"";
const std::string kUnregister = "powershell Get-AppxPackage -AllUsers -Name '" TALVEX_PACKAGE_NAME
                                "' | Remove-AppxPackage -AllUsers\"";

struct PackageRow {
    const char* what;
    const char* build;
    bool classicMenu;
    const char* failing;  // the calls whose stand-in fails, '|' between them
    std::vector<std::string> installCalls, uninstallCalls;  // 64-bit Windows
    bool packaged, certificateAdded;
    // Between install and uninstall: PackagedMenu lost, and the Windows build
    // changed (nullptr: kept).
    bool flagLost = false;
    const char* buildAtUninstall = nullptr;
};

// Every run on Windows 11 starts by removing the package, registered or not,
// and every uninstall there removes it.
const PackageRow kPackageRows[] = {
    {"Windows 11: signer trusted, package registered, recorded and provisioned, all taken back",
     "22000", false, "-store|-verify",
     {kUnprovision, kUnregister, kInStore, kVerify, kTrust, kRegister, kProvision},
     {kUnprovision, kUnregister, kUntrust}, true, true},
    {"Windows 10: no package", "19045", false, "", {}, {}, false, false},
    {"the classic menu restored: no package, and none left from before", "22631", true, "",
     {kUnprovision, kUnregister}, {kUnprovision, kUnregister}, false, false},
    {"a signer from a trusted authority: TrustedPeople untouched", "26100", false, "-store",
     {kUnprovision, kUnregister, kInStore, kVerify, kRegister, kProvision},
     {kUnprovision, kUnregister}, true, false},
    {"the certificate refused: no package", "22000", false, "-store|-verify|-addstore",
     {kUnprovision, kUnregister, kInStore, kVerify, kTrust}, {kUnprovision, kUnregister}, false,
     false},
    {"the registration refused: nothing recorded", "22000", false,
     "-store|-verify|Add-AppxPackage",
     {kUnprovision, kUnregister, kInStore, kVerify, kTrust, kRegister},
     {kUnprovision, kUnregister, kUntrust}, false, true},
    {"the provisioning refused: the installing user's registration kept and recorded", "22000",
     false, "-store|-verify|ProvisionPackageForAllUsersAsync",
     {kUnprovision, kUnregister, kInStore, kVerify, kTrust, kRegister, kProvision},
     {kUnprovision, kUnregister, kUntrust}, true, true},
    {"PackagedMenu lost before the uninstall: the package is removed all the same", "22000",
     false, "-store|-verify",
     {kUnprovision, kUnregister, kInStore, kVerify, kTrust, kRegister, kProvision},
     {kUnprovision, kUnregister, kUntrust}, true, true, true},
    {"Windows back on an older build, PackagedMenu lost, name and publisher left: the package "
     "is removed",
     "22000", false, "-store|-verify",
     {kUnprovision, kUnregister, kInStore, kVerify, kTrust, kRegister, kProvision},
     {kUnprovision, kUnregister, kUntrust}, true, true, true, "19045"},
};

// What the setup recorded under HKLM\Software\Talvex (64-bit view) and in its
// Uninstall entry: on 64-bit Windows, the package's name, its publisher as
// the package build wrote it, and PackagedMenu while it is registered; the
// thumbprint of a certificate it added.
void checkPackaged(bool packaged, bool certificateAdded, const std::string& sha1) {
    const REGSAM view = kView64.flag;
    const bool recorded = packaged && onWin64();
    const std::string publisher = readFile(test_paths::path("PACKAGE_PUBLISHER"));
    const std::pair<const char*, std::string> values[] = {
        {TALVEX_PACKAGE_NAME_VALUE, recorded ? TALVEX_PACKAGE_NAME : "<missing>"},
        {TALVEX_PACKAGE_PUBLISHER_VALUE, recorded ? publisher : "<missing>"},
        {TALVEX_PACKAGED_MENU_VALUE, recorded ? "1" : "<missing>"},
    };
    for (const auto& [value, expected] : values) {
        const std::string name = value;
        const std::string found = readUtf8(HKEY_LOCAL_MACHINE, TALVEX_MACHINE_KEY, value, view);
        CHECK_MESSAGE(found == expected, "HKLM\\" TALVEX_MACHINE_KEY " " << name << ": expected \""
                                                                      << expected << "\", found \""
                                                                      << found << "\"");
    }
    CHECK(readString(HKEY_LOCAL_MACHINE, kUninstallKey, "Added certificate", view) ==
          (certificateAdded && onWin64() ? sha1 : "<missing>"));
}

}  // namespace

TEST_CASE("the package steps run on 64-bit Windows 11 only, never fail the install, and the "
          "uninstaller takes back what they did") {
    placeStandIns();
    const Folders quoted = quotedFolders();
    const std::vector<std::string> none;
    for (const PackageRow& row : kPackageRows) {
        const std::string what = row.what;
        CAPTURE(what);
        setWindows(row.build, row.classicMenu);
        SetEnvironmentVariableA("INSTALLER_FAILING", row.failing);
        writeStore();
        const Snapshot before = snapshot();

        const SetupRun installed = install(quoted.installDir());
        CAPTURE(installed);
        REQUIRE(installed == 0);
        checkInstalled(quoted);
        const std::string sha1 = onWin64() ? thumbprint(quoted.dir64 + "\\talvex.cer") : "-";
        CHECK(takeCalls(sha1) == (onWin64() ? row.installCalls : none));
        checkPackaged(row.packaged, row.certificateAdded, sha1);
        // The log says why a step failed: what the program printed.
        const std::string failing = row.failing;
        const std::string refusal =
            "refused by the test (" + failing.substr(failing.rfind('|') + 1);
        if (onWin64() && !failing.empty())
            CHECK(installed.log.find(refusal + ")") != std::string::npos);

        if (row.flagLost) {
            HKEY key;
            if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, TALVEX_MACHINE_KEY, 0, KEY_SET_VALUE | kView64.flag,
                              &key) == ERROR_SUCCESS) {
                RegDeleteValueA(key, TALVEX_PACKAGED_MENU_VALUE);
                RegCloseKey(key);
            }
        }
        if (row.buildAtUninstall) setWindows(row.buildAtUninstall, row.classicMenu);
        CHECK(uninstall(quoted) == 0);
        CHECK(takeCalls(sha1) == (onWin64() ? row.uninstallCalls : none));
        checkFilesGone(quoted);
        if (row.buildAtUninstall) setWindows(row.build, row.classicMenu);
        CHECK(changes(before, snapshot()) == "");
    }
    setWindows("19045", false);
}

TEST_CASE("an upgrade on Windows 11 removes the earlier package first, keeps the certificate "
          "that the first install trusted and removes one it no longer ships") {
    placeStandIns();
    const Folders quoted = quotedFolders();
    setWindows("22000", false);
    writeStore();
    const Snapshot before = snapshot();
    SetEnvironmentVariableA("INSTALLER_FAILING", "-store|-verify");
    REQUIRE(install(quoted.installDir()) == 0);
    const std::string sha1 = onWin64() ? thumbprint(quoted.dir64 + "\\talvex.cer") : "-";
    takeCalls(sha1);

    SetEnvironmentVariableA("INSTALLER_FAILING", "-verify");  // in TrustedPeople now
    CHECK(install(quoted.installDir()) == 0);
    const std::vector<std::string> upgrade = {kUnprovision, kUnregister, kInStore, kRegister,
                                              kProvision};
    CHECK(takeCalls(sha1) == (onWin64() ? upgrade : std::vector<std::string>{}));
    checkPackaged(true, true, sha1);

    // A setup built with another certificate (each build tree makes its own)
    // takes the one the earlier install trusted out again.
    HKEY key;
    if (onWin64() && RegOpenKeyExA(HKEY_LOCAL_MACHINE, kUninstallKey, 0,
                                   KEY_WRITE | kView64.flag, &key) == ERROR_SUCCESS) {
        RegSetValueExA(key, "Added certificate", 0, REG_SZ,
                       reinterpret_cast<const BYTE*>("0A1B"), 5);
        RegCloseKey(key);
    }
    SetEnvironmentVariableA("INSTALLER_FAILING", "-store|-verify");
    CHECK(install(quoted.installDir()) == 0);
    const std::vector<std::string> otherCertificate = {
        kUnprovision, kUnregister, "certutil -delstore TrustedPeople 0A1B", kInStore, kVerify,
        kTrust,       kRegister,   kProvision};
    CHECK(takeCalls(sha1) == (onWin64() ? otherCertificate : std::vector<std::string>{}));
    checkPackaged(true, true, sha1);

    CHECK(uninstall(quoted) == 0);
    const std::vector<std::string> removal = {kUnprovision, kUnregister, kUntrust};
    CHECK(takeCalls(sha1) == (onWin64() ? removal : std::vector<std::string>{}));
    checkFilesGone(quoted);
    CHECK(changes(before, snapshot()) == "");
}

TEST_CASE("Windows on Arm is refused before anything is changed: exit code 2 and the reason in "
          "the log") {
    writeStore();
    const Snapshot before = snapshot();
    const Folders f = defaultFolders();
    // As a 32-bit program on Windows on Arm sees it, and as an x64 one does.
    for (const std::string variable : {"PROCESSOR_ARCHITEW6432", "PROCESSOR_ARCHITECTURE"}) {
        CAPTURE(variable);
        const std::string was = env(variable.c_str());
        SetEnvironmentVariableA(variable.c_str(), "ARM64");
        const SetupRun refused = install();
        SetEnvironmentVariableA(variable.c_str(), was.empty() ? nullptr : was.c_str());
        CHECK(refused == 2);
        CHECK_MESSAGE(refused.log.find("Talvex does not support Windows on Arm yet") !=
                          std::string::npos,
                      "the log does not say that Windows on Arm is not supported: " << refused);
        CHECK_MESSAGE(!fileExists(f.installDir()), f.installDir() << " was made");
        CHECK_MESSAGE(!fileExists(f.dir32), f.dir32 << " was made");
        CHECK(changes(before, snapshot()) == "");
    }
}
