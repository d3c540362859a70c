// The seven registry operations the menu store needs, behind an interface so
// the store logic runs against the real registry in the libraries and against
// an in-memory key tree in native tests.
#pragma once

#include <cstdint>

namespace store {

// Opaque key handle; nullptr means "no key". A null parent means the
// current user's hive.
using KeyHandle = void*;

enum class QueryResult {
    Ok,         // *size bytes were written into data (or data was null)
    MoreData,   // data too small; *size holds the length needed
    NotFound,   // no such value (or no key)
};

class KeyStore {
public:
    virtual ~KeyStore() = default;

    virtual KeyHandle openForRead(KeyHandle parent, const char* subkey) = 0;
    // Creates the key, or opens it where it is already; `existed`, when
    // given, tells which.
    virtual KeyHandle createForWrite(KeyHandle parent, const char* subkey,
                                     bool* existed = nullptr) = 0;
    virtual void close(KeyHandle key) = 0;

    // Reads a value the way RegQueryValueExA does: with data null only the
    // length is reported. Expandable strings come back expanded, typed as
    // plain strings (as SHQueryValueExA gives them).
    virtual QueryResult query(KeyHandle key, const char* name, std::uint32_t* type, void* data,
                              std::uint32_t* size) = 0;

    virtual bool write(KeyHandle key, const char* name, std::uint32_t type, const void* data,
                       std::uint32_t size) = 0;

    // Deletes a value; true once it is gone, also when it was not there.
    virtual bool deleteValue(KeyHandle key, const char* name) = 0;

    // Deletes a key that has no subkeys.
    virtual bool deleteKey(KeyHandle parent, const char* subkey) = 0;

    // The system's error code for the last createForWrite, write,
    // deleteValue or deleteKey that failed (0 while none has), to tell the
    // user why.
    virtual std::uint32_t lastError() const = 0;
};

// Closes its key when it goes out of scope.
class ScopedKey {
public:
    ScopedKey(KeyStore& keys, KeyHandle key) : keys_(keys), key_(key) {}
    ScopedKey(const ScopedKey&) = delete;
    ScopedKey& operator=(const ScopedKey&) = delete;
    ~ScopedKey() {
        if (key_) keys_.close(key_);
    }
    KeyHandle get() const { return key_; }
    explicit operator bool() const { return key_ != nullptr; }

private:
    KeyStore& keys_;
    KeyHandle key_;
};

}  // namespace store
