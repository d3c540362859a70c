// The registry key store keeps the key store contract: the same cases the
// in-memory store passes natively, here against Wine's registry.
#include <doctest/doctest.h>

#include <memory>

#include "key_store_contract.h"
#include "registry_key_store.h"

namespace {

struct RegistryStoreFactory {
    static std::unique_ptr<store::KeyStore> make() {
        return std::make_unique<store::RegistryKeyStore>();
    }
};

}  // namespace

TEST_CASE_TEMPLATE_INVOKE(key_store_contract, RegistryStoreFactory);
