// The "Context Menu" page in Wine's own Properties dialog when the registry
// refuses its save: a volatile key takes no normal subkeys, so every item
// key (or even the index key) that a save creates below one is refused.
#include <doctest/doctest.h>

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <shlwapi.h>

#include <string>

#include "box_answerer.h"
#include "handler_readback.h"
#include "import_patch.h"
#include "page_texts.h"
#include "resource_ids.h"
#include "sheet_driver.h"
#include "shell_host.h"
#include "store_checks.h"
#include "store_paths.h"

using namespace sheet_driver;
using namespace page_texts;

namespace {

using store_paths::kStoreKey;

// Deletes the key with everything below it and creates it again, empty.
void recreate(const char* key, DWORD options) {
    SHDeleteKeyA(HKEY_CURRENT_USER, key);
    HKEY handle = nullptr;
    REQUIRE(RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, options, KEY_WRITE, nullptr,
                            &handle, nullptr) == ERROR_SUCCESS);
    RegCloseKey(handle);
}

// How the page's message must begin: the system's words follow kNotSaved.
std::string refusalFor(DWORD error) {
    char words[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                   words, sizeof words, nullptr);
    std::string text = words;
    return kNotSaved + text.erase(text.find_last_not_of(" \r\n") + 1);
}

}  // namespace

TEST_CASE("a save the registry refuses is told, keeps the edits and the sheet, and is written later") {
    shell_host::ComScope com;
    shell_host::SampleFolder folder;
    const std::string file = folder.root + "\\a.txt";
    shell_host::clearStore();
    shell_host::putIndex("*", {{0, 0}});
    DialogThread ui;
    Sheet sheet(ui, file);
    REQUIRE(sheet);
    Page page(sheet);
    REQUIRE(page);
    page.command(IDT_NEW_COMMAND);
    page.type(IDC_CAPTION, "Kept");
    box_answerer::BoxAnswerer boxes({ui.id()});
    std::vector<box_answerer::Box> seen;
    auto titlesSeen = [&] {  // of the boxes answered since the last look, in order
        seen = boxes.take();
        std::string titles;
        for (const box_answerer::Box& box : seen) titles += "[" + box.title + "]";
        return titles;
    };
    const std::string told = refusalFor(ERROR_CHILD_MUST_BE_VOLATILE);

    // Apply, OK and Yes on Cancel with no item key to be had; last, Apply
    // with not even the index key. Each is told why; the sheet stays open
    // with the edits and the store is as it was.
    struct Way { const char* what; const char* volatileKey; int button; };
    for (Way way : {Way{"Apply, items key volatile", stored::kItemsKey, PSBTN_APPLYNOW},
                    Way{"OK, items key volatile", stored::kItemsKey, PSBTN_OK},
                    Way{"Yes on Cancel, items key volatile", stored::kItemsKey, PSBTN_CANCEL},
                    Way{"Apply, store key volatile", kStoreKey, PSBTN_APPLYNOW}}) {
        CAPTURE(way.what);
        recreate(way.volatileKey, REG_OPTION_VOLATILE);
        const std::string before = store_checks::snapshot();
        boxes.plan(kComfirm, IDYES);
        sheet.press(way.button);
        boxes.forgetPlans();
        REQUIRE(titlesSeen() == (way.button == PSBTN_CANCEL ? "[Comfirm][Quillon]" : "[Quillon]"));
        CHECK(seen.back().text.substr(0, told.size()) == told);
        CHECK(seen.back().owner == sheet.window());
        CHECK(sheet.open());
        CHECK(page.tree() == "Kept,---");
        CHECK(page.tab() == "*Context Menu");
        CHECK(store_checks::snapshot() == before);
    }

    // The key made normal again while the page is open: Apply writes the
    // page's whole tree, and the handler's menu shows it.
    recreate(kStoreKey, REG_OPTION_NON_VOLATILE);
    sheet.apply();
    CHECK(titlesSeen() == "");
    CHECK(page.tab() == "Context Menu");
    CHECK(stored::tree("*") == "Kept#1,---");
    std::string problem;
    CHECK(menu_text::outline(handler_readback::menuFor(file, problem)) == "Kept,---");
    CHECK(problem == "");

    // Another editor holds the store's lock past the wait: refused and kept.
    page.type(IDC_CAPTION, "Kept again");
    {
        HANDLE held = CreateMutexA(nullptr, FALSE, TALVEX_STORE_LOCK);
        REQUIRE(held);
        REQUIRE(WaitForSingleObject(held, 0) == WAIT_OBJECT_0);
        const std::string before = store_checks::snapshot();
        ui.run([&] { SendMessageA(sheet.window(), PSM_PRESSBUTTON, PSBTN_APPLYNOW, 0); }, 15000);
        ReleaseMutex(held);
        CloseHandle(held);
        REQUIRE(titlesSeen() == "[Quillon]");
        CHECK(seen.back().text.find("busy for too long") != std::string::npos);
        CHECK(sheet.open());
        CHECK(page.tab() == "*Context Menu");
        CHECK(store_checks::snapshot() == before);
    }

    // Refused as the sheet closes from another tab: the words say the edits go.
    recreate(stored::kItemsKey, REG_OPTION_VOLATILE);
    sheet.showTab("General");
    boxes.plan(kComfirm, IDYES);
    sheet.press(PSBTN_CANCEL);
    CHECK(sheet.waitClosed());
    REQUIRE(titlesSeen() == "[Comfirm][Quillon]");
    CHECK(seen.back().text.find("changes made on this page are lost") != std::string::npos);
    CHECK(seen.back().text.find("nothing you built") == std::string::npos);
}

namespace {

// The SID of this process's user, as text.
std::string userSid() {
    HANDLE token = nullptr;
    REQUIRE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    BYTE buffer[256];
    DWORD size = sizeof buffer;
    REQUIRE(GetTokenInformation(token, TokenUser, buffer, size, &size));
    CloseHandle(token);
    LPSTR text = nullptr;
    REQUIRE(ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text));
    std::string sid = text;
    LocalFree(text);
    return sid;
}

// The security of the object behind `handle`, in the SDDL form.
std::string securityOf(HANDLE handle) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (GetSecurityInfo(handle, SE_KERNEL_OBJECT, DACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION,
                        nullptr, nullptr, nullptr, nullptr, &descriptor) != ERROR_SUCCESS)
        return "<unreadable>";
    LPSTR text = nullptr;
    std::string sddl = "<unconvertible>";
    if (ConvertSecurityDescriptorToStringSecurityDescriptorA(
            descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION | LABEL_SECURITY_INFORMATION, &text,
            nullptr)) {
        sddl = text;
        LocalFree(text);
    }
    LocalFree(descriptor);
    return sddl;
}

// Whether a mutex made with a Low label gives it back when asked.
bool systemKeepsLabels() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA("S:(ML;;NW;;;LW)", SDDL_REVISION_1,
                                                              &descriptor, nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    HANDLE probe = CreateMutexA(&attributes, FALSE, nullptr);
    LocalFree(descriptor);
    const bool kept = probe && securityOf(probe).find("S:(ML;;NW;;;LW)") != std::string::npos;
    if (probe) CloseHandle(probe);
    return kept;
}

// CreateMutexA as Windows answers a process that a lock's security grants
// less than all access (Wine does not check it).
int g_refusedCreations = 0;
HANDLE WINAPI refusedCreation(LPSECURITY_ATTRIBUTES, BOOL, LPCSTR) {
    ++g_refusedCreations;
    SetLastError(ERROR_ACCESS_DENIED);
    return nullptr;
}

}  // namespace

TEST_CASE("the store's lock is open to every process of the user, and one made by another with "
          "less access is used as granted") {
    shell_host::ComScope com;
    shell_host::SampleFolder folder;
    const std::string file = folder.root + "\\a.txt";
    shell_host::clearStore();
    shell_host::putItem(1, "First", false, "x.exe");
    shell_host::putIndex("*", {{1, 0}});
    const std::string user = userSid();
    DialogThread ui;
    Sheet sheet(ui, file);
    REQUIRE(sheet);
    Page page(sheet);
    REQUIRE(page);
    REQUIRE(page.select("First"));

    // A lock made first by a process that grants the user only waiting on
    // it and releasing it: creating it is refused, the page opens it.
    const std::string narrow = "D:(A;;0x120001;;;" + user + ")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    REQUIRE(ConvertStringSecurityDescriptorToSecurityDescriptorA(narrow.c_str(), SDDL_REVISION_1,
                                                                 &descriptor, nullptr));
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
    HANDLE other = CreateMutexA(&attributes, FALSE, TALVEX_STORE_LOCK);
    LocalFree(descriptor);
    REQUIRE(other);
    {
        import_patch::ImportPatch refused(GetModuleHandleA("quillon.dll"), "kernel32.dll",
                                          "CreateMutexA", reinterpret_cast<ULONG_PTR>(&refusedCreation));
        REQUIRE(refused.patched());
        page.type(IDC_CAPTION, "Saved beside a narrow lock");
        sheet.apply();
    }
    CHECK(g_refusedCreations == 1);
    CHECK(stored::tree("*") == "Saved beside a narrow lock#1");
    CHECK(page.tab() == "Context Menu");
    sheet.press(PSBTN_CANCEL);
    CHECK(sheet.waitClosed());
    CloseHandle(other);  // the page's handle went with it: no lock is left

    // A lock the page makes itself, read back: all access for the user and
    // the system, labelled Low so that no integrity level is shut out.
    Sheet second(ui, file);
    REQUIRE(second);
    Page again(second);
    REQUIRE(again);
    REQUIRE(again.select("Saved beside a narrow lock"));
    again.type(IDC_CAPTION, "Saved with its own lock");
    second.apply();  // the page keeps its lock from its first save on
    CHECK(stored::tree("*") == "Saved with its own lock#1");
    HANDLE own = OpenMutexA(READ_CONTROL, FALSE, TALVEX_STORE_LOCK);
    REQUIRE(own);
    const std::string security = securityOf(own);
    CloseHandle(own);
    CHECK_MESSAGE(security.find("(A;;0x1f0001;;;" + user + ")") != std::string::npos,
                  "expected all access for " << user << " in " << security);
    if (systemKeepsLabels())
        CHECK_MESSAGE(security.find("S:(ML;;NW;;;LW)") != std::string::npos,
                      "expected a Low label with no write-up in " << security);
    else
        MESSAGE("this system keeps no integrity labels on mutexes (Wine): the label is not checked");
    second.press(PSBTN_CANCEL);
    CHECK(second.waitClosed());
}
