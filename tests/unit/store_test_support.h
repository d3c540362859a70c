// The store writer under the names the store and handler tests use; they fill
// an in-memory store the way a save lays it out.
#pragma once

#include <cstdint>
#include <string>

#include "memory_key_store.h"
#include "store_writer.h"

namespace testing_support {

using store::putIndex;
using store::putItem;

inline std::string itemPath(std::uint32_t id) { return store::itemKeyPath(id); }

}  // namespace testing_support
