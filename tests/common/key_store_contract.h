// The contract every key store keeps, the registry's own behaviour as the
// menu store relies on it, written once. A store runs it with a factory:
//
//   struct MyStoreFactory {
//       static std::unique_ptr<store::KeyStore> make();
//   };
//   TEST_CASE_TEMPLATE_INVOKE(key_store_contract, MyStoreFactory);
//
// Every case works below one scratch key of the current user's hive and
// removes it again.
#pragma once

#include <doctest/doctest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "key_store.h"

namespace key_store_contract {

constexpr const char kScratch[] = "Software\\Talvex\\KeyStoreContract";
constexpr std::uint32_t kString = 1, kExpandable = 2, kBinary = 3, kNumber = 4, kMultiString = 7;
constexpr std::uint32_t kNotFoundError = 2;

inline const char* resultName(store::QueryResult result) {
    switch (result) {
        case store::QueryResult::Ok: return "Ok";
        case store::QueryResult::MoreData: return "MoreData";
        case store::QueryResult::NotFound: return "NotFound";
    }
    return "?";
}

// One query as text: "Ok type 1: 61 62 00", "MoreData needs 3", "NotFound".
inline std::string queried(store::KeyStore& keys, store::KeyHandle key, const char* name,
                           std::uint32_t room = 64) {
    std::vector<unsigned char> data(room + 1, 0xCC);
    std::uint32_t type = 0, size = room;
    store::QueryResult result = keys.query(key, name, &type, data.data(), &size);
    std::string text = resultName(result);
    if (result == store::QueryResult::MoreData) return text + " needs " + std::to_string(size);
    if (result != store::QueryResult::Ok) return text;
    text += " type " + std::to_string(type) + ":";
    char hex[4];
    for (std::uint32_t i = 0; i < size; ++i) {
        std::snprintf(hex, sizeof hex, " %02x", data[i]);
        text += hex;
    }
    if (data[room] != 0xCC) text += " (wrote past the buffer)";
    return text;
}

// The length a query without a buffer reports.
inline std::string lengthOf(store::KeyStore& keys, store::KeyHandle key, const char* name) {
    std::uint32_t type = 0, size = 0;
    store::QueryResult result = keys.query(key, name, &type, nullptr, &size);
    return std::string(resultName(result)) +
           (result == store::QueryResult::Ok ? " " + std::to_string(size) : "");
}

inline bool exists(store::KeyStore& keys, store::KeyHandle parent, const char* path) {
    store::KeyHandle key = keys.openForRead(parent, path);
    if (key) keys.close(key);
    return key != nullptr;
}

inline void setVariable(const char* name, const char* value) {
#ifdef _WIN32
    _putenv((std::string(name) + "=" + value).c_str());  // the system's copy too
#else
    setenv(name, value, 1);
#endif
}

// Deletes the scratch tree through the store itself, deepest first.
inline void removeScratch(store::KeyStore& keys) {
    for (const char* path : {"Software\\Talvex\\KeyStoreContract\\a\\b",
                             "Software\\Talvex\\KeyStoreContract\\a", kScratch})
        keys.deleteKey(nullptr, path);
}

struct Scratch {
    std::unique_ptr<store::KeyStore> keys;
    store::KeyHandle key = nullptr;
    template <typename Factory>
    static Scratch make() {
        Scratch s;
        s.keys = Factory::make();
        removeScratch(*s.keys);
        s.key = s.keys->createForWrite(nullptr, kScratch);
        REQUIRE(s.key != nullptr);
        return s;
    }
    ~Scratch() {
        if (!keys) return;
        keys->close(key);
        removeScratch(*keys);
    }
    Scratch() = default;
    Scratch(Scratch&&) = default;
    bool put(const char* name, std::uint32_t type, const void* data, std::uint32_t size) {
        return keys->write(key, name, type, data, size);
    }
};

}  // namespace key_store_contract

TEST_CASE_TEMPLATE_DEFINE("key store contract", Factory, key_store_contract) {
    using namespace key_store_contract;
    Scratch s = Scratch::template make<Factory>();
    store::KeyStore& keys = *s.keys;

    SUBCASE("each value type comes back as written, and names ignore case") {
        const std::uint32_t number = 0x01020304;
        const unsigned char binary[] = {0, 1, 0, 255};
        CHECK(s.put("Number", kNumber, &number, 4));
        CHECK(s.put("Bytes", kBinary, binary, sizeof binary));
        CHECK(s.put("Text", kString, "ab", 3));
        CHECK(s.put("List", kMultiString, "a\0b\0", 5));
        CHECK(s.put("Empty", kBinary, "", 0));
        CHECK(queried(keys, s.key, "number") == "Ok type 4: 04 03 02 01");
        CHECK(queried(keys, s.key, "BYTES") == "Ok type 3: 00 01 00 ff");
        CHECK(queried(keys, s.key, "Text") == "Ok type 1: 61 62 00");
        CHECK(queried(keys, s.key, "List") == "Ok type 7: 61 00 62 00 00");
        CHECK(queried(keys, s.key, "Empty") == "Ok type 3:");
        CHECK(lengthOf(keys, s.key, "Text") == "Ok 3");
        // A later write replaces the value, type and all.
        CHECK(s.put("text", kNumber, &number, 4));
        CHECK(queried(keys, s.key, "Text") == "Ok type 4: 04 03 02 01");
    }

    SUBCASE("a buffer of the value's size is enough; one byte less asks for more") {
        CHECK(s.put("Text", kString, "abcd", 5));
        CHECK(queried(keys, s.key, "Text", 5) == "Ok type 1: 61 62 63 64 00");
        CHECK(queried(keys, s.key, "Text", 4) == "MoreData needs 5");
        CHECK(queried(keys, s.key, "Text", 0) == "MoreData needs 5");
    }

    SUBCASE("expandable strings come back expanded, as plain strings") {
        setVariable("TALVEX_CONTRACT", "C:\\Tools");
        const char raw[] = "%TALVEX_CONTRACT%\\x.ico";
        CHECK(s.put("Icon", kExpandable, raw, sizeof raw));
        CHECK(queried(keys, s.key, "Icon") ==
              "Ok type 1: 43 3a 5c 54 6f 6f 6c 73 5c 78 2e 69 63 6f 00");  // C:\Tools\x.ico
        CHECK(lengthOf(keys, s.key, "Icon") == "Ok 15");
        CHECK(queried(keys, s.key, "Icon", 14) == "MoreData needs 15");
        // A variable that is not set stays as it is written.
        const char unknown[] = "%TALVEX_NOT_SET%";
        CHECK(s.put("Other", kExpandable, unknown, sizeof unknown));
        CHECK(queried(keys, s.key, "Other", 64).rfind("Ok type 1: 25 54 41", 0) == 0);
        CHECK(lengthOf(keys, s.key, "Other") == "Ok 17");
    }

    SUBCASE("missing keys and values are not found, and nothing is made by looking") {
        CHECK(keys.openForRead(s.key, "none") == nullptr);
        CHECK(keys.openForRead(nullptr, "Software\\Talvex\\KeyStoreContract\\none") == nullptr);
        CHECK(queried(keys, s.key, "none") == "NotFound");
        CHECK(queried(keys, nullptr, "none") == "NotFound");
        CHECK(keys.openForRead(s.key, "none") == nullptr);
    }

    SUBCASE("a value deleted by name is gone, and one that is not there counts as gone") {
        const std::uint32_t number = 7;
        CHECK(s.put("Kept", kNumber, &number, 4));
        CHECK(s.put("Text", kString, "ab", 3));
        CHECK(keys.deleteValue(s.key, "TEXT"));
        CHECK(queried(keys, s.key, "Text") == "NotFound");
        CHECK(keys.deleteValue(s.key, "Text"));
        CHECK(keys.deleteValue(s.key, "Never"));
        CHECK(queried(keys, s.key, "Kept") == "Ok type 4: 07 00 00 00");
    }

    SUBCASE("creating a key tells whether it was there") {
        bool existed = true;
        store::KeyHandle made = keys.createForWrite(s.key, "a", &existed);
        REQUIRE(made != nullptr);
        CHECK_MESSAGE(!existed, "a new key was reported as one that was there");
        keys.close(made);
        store::KeyHandle again = keys.createForWrite(nullptr, "Software\\Talvex\\KeyStoreContract\\A", &existed);
        REQUIRE(again != nullptr);
        CHECK_MESSAGE(existed, "a key that was there was reported as new");
        keys.close(again);
    }

    SUBCASE("keys are made a path at a time, deleted only without subkeys") {
        store::KeyHandle deep = keys.createForWrite(s.key, "A\\B");
        REQUIRE(deep != nullptr);
        CHECK(keys.write(deep, "v", kString, "x", 2));
        keys.close(deep);
        store::KeyHandle read = keys.openForRead(nullptr, "Software\\Talvex\\KeyStoreContract\\a\\b");
        REQUIRE(read != nullptr);
        CHECK(queried(keys, read, "V") == "Ok type 1: 78 00");
        keys.close(read);

        CHECK_FALSE(keys.deleteKey(s.key, "a"));  // it has a subkey
        CHECK(exists(keys, s.key, "a\\b"));
        CHECK(keys.deleteKey(s.key, "a\\b"));
        CHECK(keys.deleteKey(s.key, "A"));
        CHECK_FALSE(exists(keys, s.key, "a"));
        CHECK_FALSE(keys.deleteKey(s.key, "a"));
        CHECK(keys.lastError() == kNotFoundError);
    }
}
