// Shared by the Wine tests of korvane.dll's COM server and registration:
// the class identifier, the DLL's location, and a few small helpers.
#pragma once

#include <windows.h>

#include <shlobj.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "shell_host.h"
#include "test_paths.h"

namespace server_test {

using shell_host::kClsidKorvane;
using shell_host::kClsidText;
constexpr const char kFriendlyName[] = TALVEX_KORVANE_NAME;

// The DLL's file, from the test's environment (REGISTER korvane).
inline std::string dllPath() { return test_paths::path("KORVANE"); }

// A recognisable non-null value to pre-fill out-pointers with, so a method
// that leaves them untouched is caught.
inline void* garbagePointer() {
    return reinterpret_cast<void*>(static_cast<std::uintptr_t>(0xDEADBEEFu));
}

inline std::string hresultText(HRESULT hr) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

// The four exports, looked up on a module the test loaded itself so that
// the object count read back is the DLL's own.
struct Exports {
    HMODULE module = nullptr;
    HRESULT(STDAPICALLTYPE* canUnloadNow)() = nullptr;
    HRESULT(STDAPICALLTYPE* getClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(STDAPICALLTYPE* registerServer)() = nullptr;
    HRESULT(STDAPICALLTYPE* unregisterServer)() = nullptr;

    bool load() {
        module = LoadLibraryA(dllPath().c_str());
        if (!module) return false;
        canUnloadNow = reinterpret_cast<decltype(canUnloadNow)>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
        getClassObject = reinterpret_cast<decltype(getClassObject)>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
        registerServer = reinterpret_cast<decltype(registerServer)>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllRegisterServer")));
        unregisterServer = reinterpret_cast<decltype(unregisterServer)>(
            reinterpret_cast<void*>(GetProcAddress(module, "DllUnregisterServer")));
        return canUnloadNow && getClassObject && registerServer && unregisterServer;
    }
};

// A real shell data object for one path, as Explorer hands it to a handler.
inline IDataObject* shellDataObject(const std::string& path) {
    return shell_host::dataObjectFor({path});
}

// Creates (or truncates) a small file in the temporary folder; returns its path.
inline std::string makeTempFile(const char* name) {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    std::string path = std::string(dir) + name;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        DWORD written = 0;
        WriteFile(file, "x", 1, &written, nullptr);
        CloseHandle(file);
    }
    return path;
}

}  // namespace server_test
