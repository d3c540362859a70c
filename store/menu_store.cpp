#include "menu_store.h"

#include <cstring>

namespace store {

void itemKeyName(std::uint32_t id, char (&name)[kItemKeyNameSize]) {
    char digits[kItemKeyNameSize];
    std::size_t count = 0;
    id &= 0xFFFFu;  // index entries hold 16 bits
    do {
        digits[count++] = static_cast<char>('0' + id % 10);
        id /= 10;
    } while (id != 0 && count < kItemKeyNameSize - 1);
    for (std::size_t i = 0; i < count; ++i) name[i] = digits[count - 1 - i];
    name[count] = '\0';
}

void copyField(char* field, std::size_t size, const char* text) {
    if (size == 0) return;
    std::size_t i = 0;
    if (text) {
        for (; i + 1 < size && text[i] != '\0'; ++i) field[i] = text[i];
    }
    field[i] = '\0';
}

namespace {

// readText, telling also whether the value is there at all (of any type).
bool readTextValue(KeyStore& keys, KeyHandle key, const char* name, char* field, std::size_t size,
                   bool& present) {
    present = false;
    if (size == 0) return true;
    field[0] = '\0';
    if (!key) return true;
    std::uint32_t type = 0;
    std::uint32_t length = static_cast<std::uint32_t>(size);
    QueryResult result = keys.query(key, name, &type, field, &length);
    present = result != QueryResult::NotFound;
    if (result == QueryResult::Ok) {
        if (type != kTypeString) {
            field[0] = '\0';
            return true;
        }
        // A stored string need not carry its terminator; one that fills
        // the field without any zero has lost its last character. A zero
        // anywhere in it ends the text there, whole, as it does in a value
        // longer than the field.
        std::size_t end = length < size ? length : size - 1;
        bool whole = length < size || std::memchr(field, '\0', size) != nullptr;
        field[end] = '\0';
        return whole;
    }
    if (result != QueryResult::MoreData) {
        field[0] = '\0';
        return true;
    }
    // Longer than the field: read it whole and keep the part that fits.
    std::vector<char> whole(static_cast<std::size_t>(length) + 1, '\0');
    std::uint32_t wholeLength = length;
    if (keys.query(key, name, &type, whole.data(), &wholeLength) != QueryResult::Ok ||
        type != kTypeString) {
        field[0] = '\0';
        return true;
    }
    whole[wholeLength < length ? wholeLength : length] = '\0';
    copyField(field, size, whole.data());
    return std::strlen(whole.data()) < size;
}

// readNumber, telling also whether the value is there at all (of any type
// or length).
std::uint32_t readNumberValue(KeyStore& keys, KeyHandle key, const char* name, bool& present) {
    present = false;
    if (!key) return 0;
    unsigned char bytes[4] = {0, 0, 0, 0};
    std::uint32_t type = 0;
    std::uint32_t length = sizeof bytes;
    QueryResult result = keys.query(key, name, &type, bytes, &length);
    present = result != QueryResult::NotFound;
    if (result != QueryResult::Ok) return 0;
    if (type != kTypeDword || length != sizeof bytes) return 0;
    return static_cast<std::uint32_t>(bytes[0]) | static_cast<std::uint32_t>(bytes[1]) << 8 |
           static_cast<std::uint32_t>(bytes[2]) << 16 | static_cast<std::uint32_t>(bytes[3]) << 24;
}

// An optional setting: a number above `highest` is none this reader knows,
// and reads as the default 0. Notes in `held` that the key has the value.
std::uint32_t readSetting(KeyStore& keys, KeyHandle key, const char* name, std::uint32_t highest,
                          OptionalValue bit, std::uint8_t& held) {
    bool present = false;
    std::uint32_t value = readNumberValue(keys, key, name, present);
    if (present) held = static_cast<std::uint8_t>(held | bit);
    return value <= highest ? value : 0;
}

}  // namespace

bool readText(KeyStore& keys, KeyHandle key, const char* name, char* field, std::size_t size) {
    bool present = false;
    return readTextValue(keys, key, name, field, size, present);
}

std::uint32_t readNumber(KeyStore& keys, KeyHandle key, const char* name) {
    bool present = false;
    return readNumberValue(keys, key, name, present);
}

namespace {

std::vector<unsigned char> readBytes(KeyStore& keys, KeyHandle key, const char* name) {
    std::vector<unsigned char> bytes;
    if (!key) return bytes;
    std::uint32_t type = 0;
    std::uint32_t length = 0;
    if (keys.query(key, name, &type, nullptr, &length) != QueryResult::Ok || length == 0)
        return bytes;
    bytes.resize(length);
    // The value may change between the two queries; take what the second gives.
    if (keys.query(key, name, &type, bytes.data(), &length) != QueryResult::Ok) {
        bytes.clear();
        return bytes;
    }
    if (length < bytes.size()) bytes.resize(length);
    return bytes;
}

void putNumber(unsigned char* out, std::uint32_t value) {
    out[0] = static_cast<unsigned char>(value);
    out[1] = static_cast<unsigned char>(value >> 8);
    out[2] = static_cast<unsigned char>(value >> 16);
    out[3] = static_cast<unsigned char>(value >> 24);
}

bool writeString(KeyStore& keys, KeyHandle key, const char* name, const char* text,
                 std::size_t fieldSize) {
    std::size_t length = ::strnlen(text, fieldSize - 1);
    std::vector<char> bytes(text, text + length);
    bytes.push_back('\0');
    return keys.write(key, name, kTypeString, bytes.data(),
                      static_cast<std::uint32_t>(bytes.size()));
}

bool writeNumber(KeyStore& keys, KeyHandle key, const char* name, std::uint32_t value) {
    unsigned char bytes[4];
    putNumber(bytes, value);
    return keys.write(key, name, kTypeDword, bytes, sizeof bytes);
}

}  // namespace

std::vector<IndexEntry> decodeIndex(const unsigned char* bytes, std::size_t length) {
    std::vector<IndexEntry> entries(length / kIndexEntryBytes);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const unsigned char* p = bytes + i * kIndexEntryBytes;
        entries[i].id = static_cast<std::uint16_t>(p[0] | p[1] << 8);
        entries[i].parent = static_cast<std::uint16_t>(p[2] | p[3] << 8);
    }
    return entries;
}

std::vector<unsigned char> encodeIndex(const std::vector<IndexEntry>& entries) {
    std::vector<unsigned char> bytes(entries.size() * kIndexEntryBytes);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        unsigned char* p = bytes.data() + i * kIndexEntryBytes;
        p[0] = static_cast<unsigned char>(entries[i].id);
        p[1] = static_cast<unsigned char>(entries[i].id >> 8);
        p[2] = static_cast<unsigned char>(entries[i].parent);
        p[3] = static_cast<unsigned char>(entries[i].parent >> 8);
    }
    return bytes;
}

std::vector<IndexEntry> readIndexList(KeyStore& keys, const char* kind) {
    ScopedKey index(keys, keys.openForRead(nullptr, kIndexKey));
    std::vector<unsigned char> bytes = readBytes(keys, index.get(), kind);
    return decodeIndex(bytes.data(), bytes.size());
}

bool readItem(KeyStore& keys, KeyHandle itemsKey, std::uint32_t id, StoredItem& item,
              ActionRead actionRead, std::uint8_t optional) {
    item.caption[0] = item.prompt[0] = item.icon[0] = item.action[0] = item.showFor[0] = '\0';
    item.isSubmenu = 0;
    item.actionCut = false;
    item.selection = kSelectionFirstOnly;
    item.runAs = 0;
    item.storedOptional = 0;
    if (!itemsKey) return false;
    char name[kItemKeyNameSize];
    itemKeyName(id, name);
    ScopedKey key(keys, keys.openForRead(itemsKey, name));
    if (!key) return false;
    readText(keys, key.get(), kCaptionValue, item.caption, sizeof item.caption);
    readText(keys, key.get(), kPromptValue, item.prompt, sizeof item.prompt);
    readText(keys, key.get(), kIconValue, item.icon, sizeof item.icon);
    item.isSubmenu = readNumber(keys, key.get(), kIsSubMenuValue);
    const bool commandValues = item.isSubmenu == 0 || actionRead == ActionRead::Always;
    if (commandValues)
        item.actionCut = !readText(keys, key.get(), kActionValue, item.action, sizeof item.action);
    if (commandValues && (optional & kOptionalSelection))
        item.selection = readSetting(keys, key.get(), kSelectionValue, kSelectionAllAtOnce,
                                     kOptionalSelection, item.storedOptional);
    bool showFor = false;
    if (optional & kOptionalShowFor)
        readTextValue(keys, key.get(), kShowForValue, item.showFor, sizeof item.showFor, showFor);
    if (showFor) item.storedOptional = static_cast<std::uint8_t>(item.storedOptional | kOptionalShowFor);
    if (commandValues && (optional & kOptionalRunAs))
        item.runAs = readSetting(keys, key.get(), kRunAsValue, kRunAsElevated, kOptionalRunAs,
                                 item.storedOptional);
    return true;
}

bool writeIndexList(KeyStore& keys, KeyHandle indexKey, const char* kind,
                    const std::vector<IndexEntry>& entries) {
    if (!indexKey || entries.size() > kMaxIndexEntries) return false;
    std::vector<unsigned char> bytes = encodeIndex(entries);
    return keys.write(indexKey, kind, kTypeBinary, bytes.data(),
                      static_cast<std::uint32_t>(bytes.size()));
}

namespace {

// Writes an optional setting that differs from its default 0; at the
// default, removes it where the key may hold it.
bool writeSetting(KeyStore& keys, KeyHandle key, const char* name, std::uint32_t value,
                  bool mayHold) {
    if (value != 0) return writeNumber(keys, key, name, value);
    return !mayHold || keys.deleteValue(key, name);
}

}  // namespace

bool writeItem(KeyStore& keys, KeyHandle itemsKey, std::uint32_t id, const StoredItem& item) {
    if (!itemsKey || id == 0 || id > kMaxStoredId) return false;
    char name[kItemKeyNameSize];
    itemKeyName(id, name);
    bool existed = false;
    ScopedKey key(keys, keys.createForWrite(itemsKey, name, &existed));
    if (!key) return false;
    bool ok = writeString(keys, key.get(), kCaptionValue, item.caption, sizeof item.caption);
    ok = writeString(keys, key.get(), kPromptValue, item.prompt, sizeof item.prompt) && ok;
    ok = writeString(keys, key.get(), kIconValue, item.icon, sizeof item.icon) && ok;
    ok = writeNumber(keys, key.get(), kIsSubMenuValue, item.isSubmenu) && ok;
    if (!item.actionCut)
        ok = writeString(keys, key.get(), kActionValue, item.action, sizeof item.action) && ok;

    // A key made just now holds none of the optional values.
    const std::uint8_t mayHold = existed ? item.storedOptional : 0;
    ok = writeSetting(keys, key.get(), kSelectionValue, item.selection,
                      (mayHold & kOptionalSelection) != 0) &&
         ok;
    if (item.showFor[0] != '\0')
        ok = writeString(keys, key.get(), kShowForValue, item.showFor, sizeof item.showFor) && ok;
    else if (mayHold & kOptionalShowFor)
        ok = keys.deleteValue(key.get(), kShowForValue) && ok;
    ok = writeSetting(keys, key.get(), kRunAsValue, item.runAs, (mayHold & kOptionalRunAs) != 0) && ok;
    return ok;
}

bool deleteItem(KeyStore& keys, KeyHandle itemsKey, std::uint32_t id) {
    if (!itemsKey || id == 0) return false;
    char name[kItemKeyNameSize];
    itemKeyName(id, name);
    return keys.deleteKey(itemsKey, name);
}

std::uint32_t readMaxId(KeyStore& keys, KeyHandle itemsKey) {
    return readNumber(keys, itemsKey, kMaxIdValue);
}

bool writeMaxId(KeyStore& keys, KeyHandle itemsKey, std::uint32_t maxId) {
    return itemsKey && writeNumber(keys, itemsKey, kMaxIdValue, maxId);
}

std::vector<std::uint32_t> readFreeIds(KeyStore& keys, KeyHandle itemsKey) {
    std::vector<unsigned char> bytes = readBytes(keys, itemsKey, kFreeIdsValue);
    std::vector<std::uint32_t> ids(bytes.size() / 4);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const unsigned char* p = bytes.data() + i * 4;
        ids[i] = static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
                 static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
    }
    return ids;
}

bool writeFreeIds(KeyStore& keys, KeyHandle itemsKey, const std::vector<std::uint32_t>& ids) {
    if (!itemsKey) return false;
    std::vector<unsigned char> bytes(ids.size() * 4);
    for (std::size_t i = 0; i < ids.size(); ++i) putNumber(bytes.data() + i * 4, ids[i]);
    return keys.write(itemsKey, kFreeIdsValue, kTypeBinary, bytes.data(),
                      static_cast<std::uint32_t>(bytes.size()));
}

void writeBackgroundFlag(KeyStore& keys, bool isBackground) {
    ScopedKey key(keys, keys.createForWrite(nullptr, kBackgroundKey));
    if (key) writeNumber(keys, key.get(), kIsBackgroundValue, isBackground ? 1u : 0u);
}

bool readBackgroundFlag(KeyStore& keys) {
    ScopedKey key(keys, keys.openForRead(nullptr, kBackgroundKey));
    return readNumber(keys, key.get(), kIsBackgroundValue) != 0;
}

}  // namespace store
