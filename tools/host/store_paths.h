// The store's registry paths under the current user's hive, pinned here as
// the external contract that users' backups and earlier versions rely on.
// The tests, benchmarks and demo hosts deliberately take them from this one
// copy instead of the product's own layout header, so that a change of
// the product's paths fails the tests.
#pragma once

namespace store_paths {

constexpr char kStoreKey[] = "Software\\Talvex\\Korvane";
constexpr char kIndexKey[] = "Software\\Talvex\\Korvane\\index";
constexpr char kItemsKey[] = "Software\\Talvex\\Korvane\\items";
constexpr char kEditorKey[] = "Software\\Talvex\\Quillon";  // "IsBackground"

}  // namespace store_paths
