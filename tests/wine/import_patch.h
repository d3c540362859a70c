// Replaces one function that a loaded module imports, in that module's
// import address table, for as long as the patch lives: the module's calls
// reach the replacement, every other caller the real function. It makes
// Wine behave like a Windows volume that Wine does not emulate.
#pragma once

#include <windows.h>

#include <cstring>

namespace import_patch {

class ImportPatch {
public:
    ImportPatch(HMODULE module, const char* library, const char* function, ULONG_PTR replacement)
        : slot_(findSlot(reinterpret_cast<BYTE*>(module), library, function)) {
        if (slot_) original_ = *slot_, patched_ = write(replacement);
    }
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;
    ~ImportPatch() {
        if (patched_) write(original_);
    }
    // False when the module does not import the function by name.
    bool patched() const { return patched_; }

private:
    static ULONG_PTR* findSlot(BYTE* base, const char* library, const char* function) {
        if (!base) return nullptr;
        auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + reinterpret_cast<IMAGE_DOS_HEADER*>(base)->e_lfanew);
        DWORD imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
        for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports); imports && d->Name; ++d) {
            if (_stricmp(reinterpret_cast<char*>(base + d->Name), library) != 0 || !d->OriginalFirstThunk) continue;
            auto* name = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
            auto* slot = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
            for (; name->u1.AddressOfData; ++name, ++slot)
                if (!IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal) &&
                    std::strcmp(reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData)->Name, function) == 0)
                    return reinterpret_cast<ULONG_PTR*>(&slot->u1.Function);
        }
        return nullptr;
    }
    bool write(ULONG_PTR value) {
        DWORD protection = 0;
        if (!VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &protection)) return false;
        *slot_ = value;
        VirtualProtect(slot_, sizeof *slot_, protection, &protection);
        return true;
    }

    ULONG_PTR* slot_;
    ULONG_PTR original_ = 0;
    bool patched_ = false;
};

// GetShortPathNameW as Windows answers it on a volume without 8.3 names:
// the path comes back unchanged.
inline DWORD WINAPI longPathAsShort(LPCWSTR path, LPWSTR out, DWORD size) {
    const DWORD length = static_cast<DWORD>(lstrlenW(path));
    if (!out || size <= length) return length + 1;
    lstrcpyW(out, path);
    return length;
}

// While it lives, quillon.dll sees a volume without short names.
struct NoShortNames : ImportPatch {
    NoShortNames()
        : ImportPatch(GetModuleHandleA("quillon.dll"), "kernel32.dll", "GetShortPathNameW",
                      reinterpret_cast<ULONG_PTR>(&longPathAsShort)) {}
};

// RegCreateKeyExA a little late: a save's writes begin by creating the
// index key, so each save of quillon.dll is held between its plan and its
// writes, and two saves at once overlap.
inline LONG WINAPI slowCreateKey(HKEY parent, LPCSTR name, DWORD reserved, LPSTR type,
                                 DWORD options, REGSAM access, LPSECURITY_ATTRIBUTES security,
                                 PHKEY key, LPDWORD done) {
    Sleep(20);
    return RegCreateKeyExA(parent, name, reserved, type, options, access, security, key, done);
}

// While it lives, the saves of this quillon.dll are held as above.
struct SlowSaves : ImportPatch {
    explicit SlowSaves(HMODULE quillon)
        : ImportPatch(quillon, "advapi32.dll", "RegCreateKeyExA",
                      reinterpret_cast<ULONG_PTR>(&slowCreateKey)) {}
};

}  // namespace import_patch
