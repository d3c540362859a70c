#include "memory_key_store.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace store {

namespace {

std::string lower(const std::string& text) {
    std::string out = text;
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::vector<std::string> splitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string part;
    for (char c : path) {
        if (c == '\\') {
            if (!part.empty()) parts.push_back(lower(part));
            part.clear();
        } else {
            part += c;
        }
    }
    if (!part.empty()) parts.push_back(lower(part));
    return parts;
}

void dumpNode(const MemoryKeyStore::Node& node, const std::string& path, std::ostringstream& out) {
    for (const auto& [name, value] : node.values) {
        out << path << " [" << name << "] type " << value.type << ":";
        for (unsigned char byte : value.data) out << ' ' << static_cast<int>(byte);
        out << '\n';
    }
    for (const auto& [name, child] : node.subkeys) {
        std::string childPath = path.empty() ? name : path + "\\" + name;
        out << childPath << '\n';
        dumpNode(*child, childPath, out);
    }
}

constexpr std::uint32_t kPlainString = 1;
constexpr std::uint32_t kExpandableString = 2;

// An expandable string's text up to its first zero with each %NAME% of a
// set environment variable replaced by its value, as the system expands
// it: an unset name stays as written, percent signs and all, and a lone %
// is kept. With its terminating zero.
std::vector<unsigned char> expandVariables(const std::vector<unsigned char>& raw) {
    std::string text(raw.begin(), raw.end());
    text.resize(std::strlen(text.c_str()));
    std::string out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t open = text.find('%', at);
        std::size_t close = open == std::string::npos ? open : text.find('%', open + 1);
        if (close == std::string::npos) {
            out += text.substr(at);
            break;
        }
        out += text.substr(at, open - at);
        const std::string name = text.substr(open + 1, close - open - 1);
        const char* value = name.empty() ? nullptr : std::getenv(name.c_str());
        out += value ? std::string(value) : text.substr(open, close - open + 1);
        at = close + 1;
    }
    std::vector<unsigned char> expanded(out.begin(), out.end());
    expanded.push_back(0);
    return expanded;
}

// The registry's codes for a key that is not there, and for deleting one
// that still has subkeys.
constexpr std::uint32_t kNotFound = 2;
constexpr std::uint32_t kAccessDenied = 5;

}  // namespace

// A handle names a node by its path, so that a key deleted behind an open
// handle makes the handle fail instead of dangle.
struct MemoryKeyStore::Handle {
    std::string path;
};

MemoryKeyStore::MemoryKeyStore() = default;
MemoryKeyStore::~MemoryKeyStore() = default;

const MemoryKeyStore::Node* MemoryKeyStore::find(const std::string& path) const {
    const Node* node = &root_;
    for (const std::string& part : splitPath(path)) {
        auto it = node->subkeys.find(part);
        if (it == node->subkeys.end()) return nullptr;
        node = it->second.get();
    }
    return node;
}

MemoryKeyStore::Node* MemoryKeyStore::resolve(KeyHandle parent, const std::string& path,
                                              bool create) {
    std::string full = parent ? static_cast<Handle*>(parent)->path + "\\" + path : path;
    Node* node = &root_;
    for (const std::string& part : splitPath(full)) {
        auto it = node->subkeys.find(part);
        if (it == node->subkeys.end()) {
            if (!create) return nullptr;
            it = node->subkeys.emplace(part, std::make_unique<Node>()).first;
        }
        node = it->second.get();
    }
    return node;
}

KeyHandle MemoryKeyStore::openForRead(KeyHandle parent, const char* subkey) {
    if (!subkey || !resolve(parent, subkey, false)) return nullptr;
    ++open_;
    return new Handle{parent ? static_cast<Handle*>(parent)->path + "\\" + subkey : subkey};
}

void MemoryKeyStore::refuseWritesAfter(std::size_t allowed, std::uint32_t error) {
    refusing_ = true;
    allowed_ = allowed;
    refusalError_ = error;
}

bool MemoryKeyStore::refused() {
    if (!refusing_) return false;
    if (allowed_ > 0) {
        --allowed_;
        return false;
    }
    lastError_ = refusalError_;
    return true;
}

bool MemoryKeyStore::failed(std::uint32_t error) {
    lastError_ = error;
    return false;
}

void MemoryKeyStore::noteChange(const char* what, KeyHandle key, const char* subkey,
                                const char* value) {
    if (!recording_) return;
    std::string path = key ? static_cast<Handle*>(key)->path : "";
    if (subkey) path += (path.empty() ? "" : "\\") + std::string(subkey);
    changes_.push_back(std::string(what) + " " + path + (value ? " [" + std::string(value) + "]" : ""));
}

KeyHandle MemoryKeyStore::createForWrite(KeyHandle parent, const char* subkey, bool* existed) {
    noteChange("create", parent, subkey, nullptr);
    if (refused()) return nullptr;
    if (!subkey || (parent && !resolve(parent, "", false))) {
        failed(kNotFound);
        return nullptr;
    }
    if (existed) *existed = resolve(parent, subkey, false) != nullptr;
    resolve(parent, subkey, true);
    ++open_;
    return new Handle{parent ? static_cast<Handle*>(parent)->path + "\\" + subkey : subkey};
}

void MemoryKeyStore::close(KeyHandle key) {
    if (!key) return;
    --open_;
    delete static_cast<Handle*>(key);
}

QueryResult MemoryKeyStore::query(KeyHandle key, const char* name, std::uint32_t* type,
                                  void* data, std::uint32_t* size) {
    Node* node = key ? resolve(key, "", false) : nullptr;
    if (!node) return QueryResult::NotFound;
    auto it = node->values.find(lower(name ? name : ""));
    if (it == node->values.end()) return QueryResult::NotFound;
    const bool expandable = it->second.type == kExpandableString;
    const std::vector<unsigned char> bytes =
        expandable ? expandVariables(it->second.data) : it->second.data;
    if (type) *type = expandable ? kPlainString : it->second.type;
    std::uint32_t length = static_cast<std::uint32_t>(bytes.size());
    if (data && *size < length) {
        *size = length;
        return QueryResult::MoreData;
    }
    if (data && length) std::memcpy(data, bytes.data(), length);
    *size = length;
    return QueryResult::Ok;
}

bool MemoryKeyStore::write(KeyHandle key, const char* name, std::uint32_t type, const void* data,
                           std::uint32_t size) {
    noteChange("write", key, nullptr, name ? name : "");
    if (refused()) return false;
    Node* node = key ? resolve(key, "", false) : nullptr;
    if (!node) return failed(kNotFound);
    Value& value = node->values[lower(name ? name : "")];
    value.type = type;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    value.data.assign(bytes, bytes + size);
    return true;
}

bool MemoryKeyStore::deleteValue(KeyHandle key, const char* name) {
    noteChange("delete", key, nullptr, name ? name : "");
    if (refused()) return false;
    Node* node = key ? resolve(key, "", false) : nullptr;
    if (!node) return failed(kNotFound);
    node->values.erase(lower(name ? name : ""));
    return true;
}

bool MemoryKeyStore::deleteKey(KeyHandle parent, const char* subkey) {
    noteChange("delete", parent, subkey ? subkey : "", nullptr);
    if (refused()) return false;
    std::vector<std::string> parts = splitPath(subkey ? subkey : "");
    if (parts.empty()) return failed(kNotFound);
    std::string leaf = parts.back();
    parts.pop_back();
    std::string parentPath;
    for (const std::string& part : parts) parentPath += part + "\\";
    Node* owner = resolve(parent, parentPath, false);
    if (!owner) return failed(kNotFound);
    auto it = owner->subkeys.find(leaf);
    if (it == owner->subkeys.end()) return failed(kNotFound);
    if (!it->second->subkeys.empty()) return failed(kAccessDenied);
    owner->subkeys.erase(it);
    return true;
}

bool MemoryKeyStore::hasKey(const std::string& path) const { return find(path) != nullptr; }

const MemoryKeyStore::Value* MemoryKeyStore::value(const std::string& path,
                                                   const std::string& name) const {
    const Node* node = find(path);
    if (!node) return nullptr;
    auto it = node->values.find(lower(name));
    return it == node->values.end() ? nullptr : &it->second;
}

void MemoryKeyStore::setValue(const std::string& path, const std::string& name,
                              std::uint32_t type, const void* data, std::size_t size) {
    Node* node = resolve(nullptr, path, true);
    Value& value = node->values[lower(name)];
    value.type = type;
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    value.data.assign(bytes, bytes + size);
}

void MemoryKeyStore::setString(const std::string& path, const std::string& name,
                               const std::string& text) {
    setValue(path, name, 1, text.c_str(), text.size() + 1);
}

void MemoryKeyStore::setNumber(const std::string& path, const std::string& name,
                               std::uint32_t number) {
    unsigned char bytes[4] = {static_cast<unsigned char>(number),
                              static_cast<unsigned char>(number >> 8),
                              static_cast<unsigned char>(number >> 16),
                              static_cast<unsigned char>(number >> 24)};
    setValue(path, name, 4, bytes, 4);
}

void MemoryKeyStore::removeKeyTree(const std::string& path) {
    std::vector<std::string> parts = splitPath(path);
    if (parts.empty()) return;
    std::string leaf = parts.back();
    parts.pop_back();
    Node* node = &root_;
    for (const std::string& part : parts) {
        auto it = node->subkeys.find(part);
        if (it == node->subkeys.end()) return;
        node = it->second.get();
    }
    node->subkeys.erase(leaf);
}

std::string MemoryKeyStore::dump() const {
    std::ostringstream out;
    dumpNode(root_, "", out);
    return out.str();
}

}  // namespace store
