// Replaces one function that a loaded module imports, in that module's
// import address table, for as long as the patch lives: the module's calls
// then reach the replacement while every other caller keeps the real one.
// Used to make Wine behave like a Windows volume it does not emulate.
#pragma once

#include <windows.h>

#include <cstring>

namespace import_patch {

class ImportPatch {
public:
    ImportPatch(HMODULE module, const char* library, const char* function, ULONG_PTR replacement) {
        slot_ = findSlot(module, library, function);
        if (!slot_) return;
        original_ = *slot_;
        patched_ = write(replacement);
    }
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;
    ~ImportPatch() {
        if (patched_) write(original_);
    }
    // False when the module does not import the function by name.
    bool patched() const { return patched_; }

private:
    static ULONG_PTR* findSlot(HMODULE module, const char* library, const char* function) {
        if (!module) return nullptr;
        auto* base = reinterpret_cast<BYTE*>(module);
        auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
        auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        if (!imports.VirtualAddress) return nullptr;
        for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name; ++d) {
            if (_stricmp(reinterpret_cast<char*>(base + d->Name), library) != 0 || !d->OriginalFirstThunk)
                continue;
            auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
            for (; names->u1.AddressOfData; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
                auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<char*>(byName->Name), function) == 0)
                    return reinterpret_cast<ULONG_PTR*>(&slots->u1.Function);
            }
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

    ULONG_PTR* slot_ = nullptr;
    ULONG_PTR original_ = 0;
    bool patched_ = false;
};

// GetShortPathNameW as Windows answers on a volume without 8.3 names: the
// path comes back unchanged.
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

}  // namespace import_patch
