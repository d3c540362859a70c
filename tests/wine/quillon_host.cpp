// A host of quillon.dll (the first argument, loaded by its path) in a
// process of its own, for what only a whole process shows:
//
//   quillon_host DLL RESULT free|exit
//     notes in the file RESULT each TlsFree and DeleteObject the module
//     calls from then on, and unloads it (free) or ends the process with it
//     loaded (exit);
//   quillon_host DLL PATH save ROUNDS
//     shows the page for PATH in a sheet of its own and, once the named
//     event "TalvexSaveGo" is set, adds a command and applies ROUNDS times,
//     each save held between its plan and its writes: a host of the other
//     bitness saving meanwhile overlaps it. It releases the semaphore
//     "TalvexSaveReady" once its page is up. Exit code 0 when every save
//     was taken.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "import_patch.h"
#include "own_sheet.h"
#include "resource_ids.h"
#include "shell_host.h"

namespace {

HANDLE g_result = INVALID_HANDLE_VALUE;

void note(const char* call) {
    DWORD written = 0;
    WriteFile(g_result, call, static_cast<DWORD>(std::strlen(call)), &written, nullptr);
}

BOOL WINAPI noteTlsFree(DWORD slot) {
    note("TlsFree ");
    return TlsFree(slot);
}

BOOL WINAPI noteDeleteObject(HGDIOBJ object) {
    note("DeleteObject ");
    return DeleteObject(object);
}

int noteFrees(HMODULE quillon, const char* result, bool unload) {
    g_result = CreateFileA(result, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (g_result == INVALID_HANDLE_VALUE) return 2;
    // Never restored: the patches go with the module.
    auto* tls = new import_patch::ImportPatch(quillon, "kernel32.dll", "TlsFree",
                                              reinterpret_cast<ULONG_PTR>(&noteTlsFree));
    auto* gdi = new import_patch::ImportPatch(quillon, "gdi32.dll", "DeleteObject",
                                              reinterpret_cast<ULONG_PTR>(&noteDeleteObject));
    if (!tls->patched() || !gdi->patched()) return 3;
    if (unload) {
        FreeLibrary(quillon);
        return 0;
    }
    ExitProcess(0);
}

int saveRounds(HMODULE quillon, const char* path, int rounds) {
    constexpr CLSID kQuillon = shellext::kQuillonClassId;
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(quillon, "DllGetClassObject")));
    IClassFactory* factory = nullptr;
    IShellExtInit* init = nullptr;
    IShellPropSheetExt* extension = nullptr;
    IDataObject* selection = shell_host::dataObjectFor({path});
    std::vector<HPROPSHEETPAGE> pages;
    if (!getClassObject || !selection ||
        FAILED(getClassObject(kQuillon, IID_IClassFactory, reinterpret_cast<void**>(&factory))) ||
        FAILED(factory->CreateInstance(nullptr, IID_IShellExtInit, reinterpret_cast<void**>(&init))) ||
        FAILED(init->Initialize(nullptr, selection, nullptr)) ||
        FAILED(init->QueryInterface(IID_IShellPropSheetExt, reinterpret_cast<void**>(&extension))))
        return 2;
    extension->AddPages(own_sheet::collectPage, reinterpret_cast<LPARAM>(&pages));
    if (pages.size() != 1) return 2;
    HWND sheet = own_sheet::showInOwnSheet(pages);
    HWND page = reinterpret_cast<HWND>(SendMessageA(sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
    if (!page) return 2;

    import_patch::SlowSaves slow(quillon);
    HANDLE ready = OpenSemaphoreA(SEMAPHORE_MODIFY_STATE, FALSE, "TalvexSaveReady");
    HANDLE go = OpenEventA(SYNCHRONIZE, FALSE, "TalvexSaveGo");
    if (!slow.patched() || !ready || !go) return 3;
    ReleaseSemaphore(ready, 1, nullptr);
    if (WaitForSingleObject(go, 60000) != WAIT_OBJECT_0) return 3;
    int refused = 0;
    for (int round = 0; round < rounds; ++round) {
        SendMessageA(page, WM_COMMAND, MAKEWPARAM(IDT_NEW_COMMAND, BN_CLICKED), 0);
        SendMessageA(sheet, PSM_PRESSBUTTON, PSBTN_APPLYNOW, 0);
        own_sheet::pump();
        // A save taken leaves the page unmodified: the Apply button is off.
        if (IsWindowEnabled(GetDlgItem(sheet, 0x3021))) ++refused;
    }
    DestroyWindow(sheet);
    own_sheet::pump();
    extension->Release();
    init->Release();
    factory->Release();
    selection->Release();
    return refused == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    shell_host::ComScope com;
    HMODULE quillon = LoadLibraryA(argv[1]);
    if (!quillon) return 2;
    if (std::strcmp(argv[3], "save") == 0)
        return argc < 5 ? 2 : saveRounds(quillon, argv[2], std::atoi(argv[4]));
    return noteFrees(quillon, argv[2], std::strcmp(argv[3], "free") == 0);
}
