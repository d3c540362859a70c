#include "registration.h"

#include <objbase.h>
#include <shlwapi.h>

#include <cstdio>
#include <cstring>

#include "owned_handle.h"

namespace shellext {

namespace {

constexpr std::size_t kTextSize = 260;

// The class identifier in its registry form, "{...}" with upper-case hex.
bool classIdText(const CLSID& classId, char (&text)[kTextSize]) {
    text[0] = '\0';
    LPOLESTR wide = nullptr;
    if (FAILED(StringFromIID(classId, &wide)) || !wide) return false;
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

HRESULT registerServer(const ServerRegistration& server, HINSTANCE module) {
    char classId[kTextSize];
    char classKeyName[kTextSize];
    if (!classIdText(server.classId, classId) || !formatKey(classKeyName, "CLSID\\%s", classId))
        return E_UNEXPECTED;
    char modulePath[kTextSize] = {};
    GetModuleFileNameA(module, modulePath, sizeof modulePath);
    modulePath[kTextSize - 1] = '\0';

    if (OwnedKey classKey = createKey(HKEY_CLASSES_ROOT, classKeyName)) {
        setString(classKey.get(), nullptr, server.friendlyName);
        if (OwnedKey inproc = createKey(classKey.get(), "InprocServer32")) {
            setString(inproc.get(), nullptr, modulePath);
            setString(inproc.get(), "ThreadingModel", "Apartment");
        }
    }
    bool lastCreated = false;
    for (std::size_t i = 0; i < server.handlerKeyCount; ++i) {
        char name[kTextSize];
        OwnedKey key;
        if (formatKey(name, server.handlerKeyFormats[i], server.friendlyName))
            key = createKey(HKEY_CLASSES_ROOT, name);
        if (key) setString(key.get(), nullptr, classId);
        lastCreated = static_cast<bool>(key);
    }
    return lastCreated ? S_OK : E_UNEXPECTED;
}

HRESULT unregisterServer(const ServerRegistration& server) {
    char classId[kTextSize];
    char classKeyName[kTextSize];
    if (!classIdText(server.classId, classId) || !formatKey(classKeyName, "CLSID\\%s", classId))
        return E_UNEXPECTED;
    SHDeleteKeyA(HKEY_CLASSES_ROOT, classKeyName);
    bool lastDeleted = false;
    for (std::size_t i = 0; i < server.handlerKeyCount; ++i) {
        char name[kTextSize];
        lastDeleted = formatKey(name, server.handlerKeyFormats[i], server.friendlyName) &&
                      RegDeleteKeyA(HKEY_CLASSES_ROOT, name) == ERROR_SUCCESS;
    }
    return lastDeleted ? S_OK : E_UNEXPECTED;
}

}  // namespace shellext
