// An in-memory key tree with the registry's behaviour: case-insensitive
// names, backslash-separated paths, subkeys that block deletion. Used by the
// native tests in place of the registry.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "key_store.h"

namespace store {

class MemoryKeyStore : public KeyStore {
public:
    struct Value {
        std::uint32_t type = 0;
        std::vector<unsigned char> data;
    };
    struct Node {
        std::map<std::string, std::unique_ptr<Node>> subkeys;  // by lower-case name
        std::map<std::string, Value> values;                    // by lower-case name
    };

    MemoryKeyStore();
    ~MemoryKeyStore() override;

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

    // A registry that says no: once `allowed` more creates, writes and
    // deletes (of values or keys) have gone through, each one fails with the system error code
    // `error` until acceptWrites(). Off unless switched on.
    void refuseWritesAfter(std::size_t allowed, std::uint32_t error);
    void acceptWrites() { refusing_ = false; }

    // Every create, write and delete asked of the store since the last
    // recordChanges(), refused or not, one line each: "create <path>",
    // "write <path> [<name>]", "delete <path> [<name>]" for a value and
    // "delete <path>" for a key. Paths as the caller spelled them.
    void recordChanges() {
        changes_.clear();
        recording_ = true;
    }
    const std::vector<std::string>& changes() const { return changes_; }

    // Test conveniences, paths relative to the user's hive.
    bool hasKey(const std::string& path) const;
    const Value* value(const std::string& path, const std::string& name) const;
    void setValue(const std::string& path, const std::string& name, std::uint32_t type,
                  const void* data, std::size_t size);
    void setString(const std::string& path, const std::string& name, const std::string& text);
    void setNumber(const std::string& path, const std::string& name, std::uint32_t number);
    void removeKeyTree(const std::string& path);
    std::size_t openHandles() const { return open_; }
    // Every key and value below the hive, one per line, for comparing whole stores.
    std::string dump() const;

private:
    struct Handle;
    Node* resolve(KeyHandle parent, const std::string& path, bool create);
    const Node* find(const std::string& path) const;
    // Counts a create, write or delete against the refusal; true when it
    // is refused.
    bool refused();
    bool failed(std::uint32_t error);
    void noteChange(const char* what, KeyHandle key, const char* subkey, const char* value);

    Node root_;
    bool recording_ = false;
    std::vector<std::string> changes_;
    std::size_t open_ = 0;
    std::uint32_t lastError_ = 0;
    bool refusing_ = false;
    std::size_t allowed_ = 0;
    std::uint32_t refusalError_ = 0;
};

}  // namespace store
