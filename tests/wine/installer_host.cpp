// A host of the installed DLLs, as Explorer is one: creates both classes by
// class identifier, in its own bitness, and writes to the result file (the
// first argument) one line per class: "<name> <HRESULT> <loaded file>".
// Exit code 0 when both were created.
//
// With --hold it keeps both objects (and so both DLLs) loaded after writing
// the file, sets the named event "TalvexHostReady" and waits for
// "TalvexHostRelease" (both made by the caller), at most two minutes.
#include <windows.h>

#include <objbase.h>

#include <cstdio>
#include <cstring>

#include "talvex_names.h"

namespace {

struct Class {
    const char* name;
    const wchar_t* classId;
    const char* module;
};

const Class kClasses[] = {
    {"korvane", L"" TALVEX_KORVANE_CLSID, "korvane.dll"},
    {"quillon", L"" TALVEX_QUILLON_CLSID, "quillon.dll"},
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: installer_host <result-file> [--hold]\n");
        return 2;
    }
    const bool hold = argc > 2 && std::strcmp(argv[2], "--hold") == 0;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out) {
        std::fprintf(stderr, "installer_host: cannot write %s\n", argv[1]);
        return 2;
    }
    IUnknown* objects[2] = {};
    int failures = 0;
    for (int i = 0; i < 2; ++i) {
        CLSID classId;
        CLSIDFromString(const_cast<wchar_t*>(kClasses[i].classId), &classId);
        HRESULT hr = CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown,
                                      reinterpret_cast<void**>(&objects[i]));
        char file[MAX_PATH] = "-";
        if (HMODULE module = GetModuleHandleA(kClasses[i].module))
            GetModuleFileNameA(module, file, sizeof file);
        std::fprintf(out, "%s 0x%08lX %s\n", kClasses[i].name, static_cast<unsigned long>(hr),
                     file);
        if (hr != S_OK) ++failures;
    }
    std::fclose(out);
    if (hold) {
        HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, "TalvexHostReady");
        HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, "TalvexHostRelease");
        if (ready) SetEvent(ready);
        if (release) WaitForSingleObject(release, 120000);
        if (ready) CloseHandle(ready);
        if (release) CloseHandle(release);
    }
    for (IUnknown* object : objects)
        if (object) object->Release();
    CoUninitialize();
    return failures == 0 ? 0 : 1;
}
