// Loads quillon.dll (the first argument) and notes in the result file (the
// second) each TlsFree and DeleteObject the module calls from then on; then
// either unloads it ("free") or ends the process with it loaded ("exit").
#include <windows.h>

#include <cstring>

#include "import_patch.h"

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

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    g_result = CreateFileA(argv[2], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    HMODULE quillon = LoadLibraryA(argv[1]);
    if (g_result == INVALID_HANDLE_VALUE || !quillon) return 2;
    // Never restored: the patches go with the module.
    auto* tls = new import_patch::ImportPatch(quillon, "kernel32.dll", "TlsFree",
                                              reinterpret_cast<ULONG_PTR>(&noteTlsFree));
    auto* gdi = new import_patch::ImportPatch(quillon, "gdi32.dll", "DeleteObject",
                                              reinterpret_cast<ULONG_PTR>(&noteDeleteObject));
    if (!tls->patched() || !gdi->patched()) return 3;
    if (std::strcmp(argv[3], "free") == 0) {
        FreeLibrary(quillon);
        return 0;
    }
    ExitProcess(0);
}
