// The menu store's key operations on the real registry, under the current
// user's hive.
#pragma once

#include "key_store.h"

namespace store {

class RegistryKeyStore : public KeyStore {
public:
    KeyHandle openForRead(KeyHandle parent, const char* subkey) override;
    KeyHandle createForWrite(KeyHandle parent, const char* subkey,
                             bool* existed = nullptr) override;
    void close(KeyHandle key) override;
    QueryResult query(KeyHandle key, const char* name, std::uint32_t* type, void* data,
                      std::uint32_t* size) override;
    bool write(KeyHandle key, const char* name, std::uint32_t type, const void* data,
               std::uint32_t size) override;
    bool deleteValue(KeyHandle key, const char* name) override;
    bool deleteKey(KeyHandle parent, const char* subkey) override;
    std::uint32_t lastError() const override { return lastError_; }

private:
    // Keeps a failed call's status; true when it succeeded.
    bool succeeded(long status);

    std::uint32_t lastError_ = 0;
};

}  // namespace store
