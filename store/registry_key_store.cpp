#include "registry_key_store.h"

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

namespace store {

namespace {

HKEY hkey(KeyHandle key) { return key ? static_cast<HKEY>(key) : HKEY_CURRENT_USER; }

// Expands an expandable string held in `raw` (not necessarily terminated).
// Returns the expanded text, terminator included.
std::vector<char> expand(const char* raw, std::uint32_t length) {
    std::string source(raw, length);
    source.resize(std::strlen(source.c_str()));
    DWORD needed = ExpandEnvironmentStringsA(source.c_str(), nullptr, 0);
    std::vector<char> out(needed ? needed : 1, '\0');
    if (!needed || ExpandEnvironmentStringsA(source.c_str(), out.data(), needed) == 0) {
        out.assign(source.begin(), source.end());
        out.push_back('\0');
    }
    out.resize(std::strlen(out.data()) + 1);
    return out;
}

}  // namespace

KeyHandle RegistryKeyStore::openForRead(KeyHandle parent, const char* subkey) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(hkey(parent), subkey, 0, KEY_READ, &key) != ERROR_SUCCESS) return nullptr;
    return key;
}

bool RegistryKeyStore::succeeded(long status) {
    if (status == ERROR_SUCCESS) return true;
    lastError_ = static_cast<std::uint32_t>(status);
    return false;
}

KeyHandle RegistryKeyStore::createForWrite(KeyHandle parent, const char* subkey, bool* existed) {
    HKEY key = nullptr;
    DWORD disposition = 0;
    if (!succeeded(RegCreateKeyExA(hkey(parent), subkey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                                   KEY_READ | KEY_WRITE, nullptr, &key, &disposition)))
        return nullptr;
    if (existed) *existed = disposition == REG_OPENED_EXISTING_KEY;
    return key;
}

void RegistryKeyStore::close(KeyHandle key) {
    if (key) RegCloseKey(static_cast<HKEY>(key));
}

QueryResult RegistryKeyStore::query(KeyHandle key, const char* name, std::uint32_t* type,
                                    void* data, std::uint32_t* size) {
    if (!key) return QueryResult::NotFound;
    DWORD valueType = 0;
    DWORD length = data ? *size : 0;
    LONG status = RegQueryValueExA(static_cast<HKEY>(key), name, nullptr, &valueType,
                                   static_cast<BYTE*>(data), &length);
    if (status != ERROR_SUCCESS && status != ERROR_MORE_DATA) return QueryResult::NotFound;
    if (valueType != REG_EXPAND_SZ) {
        if (type) *type = valueType;
        *size = length;
        return status == ERROR_SUCCESS ? QueryResult::Ok : QueryResult::MoreData;
    }

    // Expandable strings are handed out expanded, as plain strings.
    std::vector<char> raw(length + 1, '\0');
    DWORD rawLength = length;
    if (RegQueryValueExA(static_cast<HKEY>(key), name, nullptr, &valueType,
                         reinterpret_cast<BYTE*>(raw.data()), &rawLength) != ERROR_SUCCESS)
        return QueryResult::NotFound;
    std::vector<char> expanded = expand(raw.data(), rawLength);
    if (type) *type = REG_SZ;
    std::uint32_t needed = static_cast<std::uint32_t>(expanded.size());
    if (!data) {
        *size = needed;
        return QueryResult::Ok;
    }
    if (*size < needed) {
        *size = needed;
        return QueryResult::MoreData;
    }
    std::memcpy(data, expanded.data(), needed);
    *size = needed;
    return QueryResult::Ok;
}

bool RegistryKeyStore::write(KeyHandle key, const char* name, std::uint32_t type,
                             const void* data, std::uint32_t size) {
    if (!key) return succeeded(ERROR_INVALID_HANDLE);
    return succeeded(RegSetValueExA(static_cast<HKEY>(key), name, 0, type,
                                    static_cast<const BYTE*>(data), size));
}

bool RegistryKeyStore::deleteValue(KeyHandle key, const char* name) {
    if (!key) return succeeded(ERROR_INVALID_HANDLE);
    LONG status = RegDeleteValueA(static_cast<HKEY>(key), name);
    return status == ERROR_FILE_NOT_FOUND || succeeded(status);
}

bool RegistryKeyStore::deleteKey(KeyHandle parent, const char* subkey) {
    return succeeded(RegDeleteKeyA(hkey(parent), subkey));
}

}  // namespace store
