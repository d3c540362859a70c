// DllRegisterServer and DllUnregisterServer: one table of handler keys,
// walked by both.
#include <windows.h>
#include <objbase.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>

#include "module.h"
#include "win32_handles.h"

namespace {

using handler::OwnedKey;

// Shell classes whose context menus get the handler. The last one decides
// the result of registering and unregistering.
const char* const kHandlerKeyFormats[] = {
    "*\\shellex\\ContextMenuHandlers\\%s",
    "Directory\\Background\\shellex\\ContextMenuHandlers\\%s",
    "Directory\\shellex\\ContextMenuHandlers\\%s",
};

constexpr std::size_t kTextSize = 260;

// The class identifier in its registry form, "{...}" with upper-case hex.
bool classIdText(char (&text)[kTextSize]) {
    text[0] = '\0';
    LPOLESTR wide = nullptr;
    if (FAILED(StringFromIID(handler::kKorvaneClassId, &wide)) || !wide) return false;
    int converted = WideCharToMultiByte(CP_ACP, 0, wide, -1, text, kTextSize, nullptr, nullptr);
    IMalloc* allocator = nullptr;
    if (SUCCEEDED(CoGetMalloc(1, &allocator)) && allocator) {
        allocator->Free(wide);
        allocator->Release();
    }
    return converted > 0;
}

OwnedKey createKey(HKEY parent, const char* name) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(parent, name, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return OwnedKey();
    return OwnedKey(key);
}

void setString(HKEY key, const char* name, const char* text) {
    RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                   static_cast<DWORD>(std::strlen(text) + 1));
}

bool formatKey(char (&out)[kTextSize], const char* format, const char* argument) {
    int written = std::snprintf(out, kTextSize, format, argument);
    return written > 0 && static_cast<std::size_t>(written) < kTextSize;
}

}  // namespace

extern "C" HRESULT WINAPI DllRegisterServer() {
    char classId[kTextSize];
    char classKeyName[kTextSize];
    if (!classIdText(classId) || !formatKey(classKeyName, "CLSID\\%s", classId))
        return E_UNEXPECTED;
    char modulePath[kTextSize] = {};
    GetModuleFileNameA(handler::moduleHandle(), modulePath, sizeof modulePath);
    modulePath[kTextSize - 1] = '\0';

    if (OwnedKey classKey = createKey(HKEY_CLASSES_ROOT, classKeyName)) {
        setString(classKey.get(), nullptr, handler::kFriendlyName);
        if (OwnedKey server = createKey(classKey.get(), "InprocServer32")) {
            setString(server.get(), nullptr, modulePath);
            setString(server.get(), "ThreadingModel", "Apartment");
        }
    }
    bool lastCreated = false;
    for (const char* format : kHandlerKeyFormats) {
        char name[kTextSize];
        OwnedKey key;
        if (formatKey(name, format, handler::kFriendlyName)) key = createKey(HKEY_CLASSES_ROOT, name);
        if (key) setString(key.get(), nullptr, classId);
        lastCreated = static_cast<bool>(key);
    }
    return lastCreated ? S_OK : E_UNEXPECTED;
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    char classId[kTextSize];
    char classKeyName[kTextSize];
    if (!classIdText(classId) || !formatKey(classKeyName, "CLSID\\%s", classId))
        return E_UNEXPECTED;
    SHDeleteKeyA(HKEY_CLASSES_ROOT, classKeyName);
    bool lastDeleted = false;
    for (const char* format : kHandlerKeyFormats) {
        char name[kTextSize];
        lastDeleted = formatKey(name, format, handler::kFriendlyName) &&
                      RegDeleteKeyA(HKEY_CLASSES_ROOT, name) == ERROR_SUCCESS;
    }
    return lastDeleted ? S_OK : E_UNEXPECTED;
}
