// The in-memory key store keeps the key store contract, so that what the
// native tests see of the store is what the registry would do.
#include <doctest/doctest.h>

#include <memory>

#include "key_store_contract.h"
#include "memory_key_store.h"

namespace {

struct MemoryStoreFactory {
    static std::unique_ptr<store::KeyStore> make() {
        return std::make_unique<store::MemoryKeyStore>();
    }
};

}  // namespace

TEST_CASE_TEMPLATE_INVOKE(key_store_contract, MemoryStoreFactory);
