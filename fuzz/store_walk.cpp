// The menu store as the handler reads it. The input becomes an in-memory
// store: index lists of any bytes for the five kinds, item keys whose values
// have any type and length (absent, unterminated, too long, of the wrong
// type), sometimes no items key at all. Each kind's list is walked into a
// recording menu by a host that may grant few ids and may refuse items, and
// what the menu and the item table got is compared with a walk worked out
// here from the stored bytes alone, down to the shield of an elevated
// command without an icon and the action that choosing each entry reads
// back. The file and folder menus are walked again with a filter for a
// selection of names, items carrying "ShowFor" texts of any shape: that walk
// is compared with the stored tree pruned here, and must leave no empty
// submenu, no separator first, last or after another, and give offsets to
// what it shows alone.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "icon_location.h"
#include "chosen_command.h"
#include "memory_key_store.h"
#include "menu_store.h"
#include "menu_walk.h"
#include "name_filter.h"
#include "store_layout.h"
#include "store_writer.h"

namespace {

using fuzzing::Input;

struct RawValue {
    std::uint32_t type;
    std::vector<unsigned char> data;
};
using RawItem = std::map<std::string, RawValue>;  // by value name

const char* const kValueNames[] = {store::kCaptionValue, store::kPromptValue, store::kIconValue,
                                   store::kIsSubMenuValue, store::kActionValue};

// One value of an item key, in one of the shapes a store may hold.
bool readValue(Input& in, const char* name, RawValue& value) {
    bool isAction = std::string(name) == store::kActionValue;
    std::size_t longest = isAction ? 2100 : 300;
    switch (in.byte() % 6) {
        case 0:
            return false;
        case 1: {  // a terminated string
            std::string text = in.text(longest);
            value = {store::kTypeString, {text.begin(), text.end()}};
            value.data.push_back(0);
            return true;
        }
        case 2: {  // string bytes as they come: zeros anywhere, no terminator
            std::vector<std::uint8_t> raw = in.bytes(in.below(static_cast<std::uint32_t>(longest)));
            value = {store::kTypeString, {raw.begin(), raw.end()}};
            return true;
        }
        case 3: {
            std::vector<std::uint8_t> raw = in.bytes(4);
            value = {store::kTypeDword, {raw.begin(), raw.end()}};
            value.data.resize(4, 0);
            return true;
        }
        case 4: {
            std::uint32_t type = in.u32();
            // The store reads an expandable string expanded, as a plain one,
            // as the registry's own reading does (the key store contract
            // checks that): here it stands for the plain string it gives.
            if (type == store::kTypeExpandString) type = store::kTypeString;
            std::vector<std::uint8_t> raw = in.bytes(in.byte());
            value = {type, {raw.begin(), raw.end()}};
            return true;
        }
        default: {  // long runs of one character around the field sizes
            std::size_t length = in.u16() % 4200;
            char fill = static_cast<char>('a' + in.byte() % 26);
            value = {store::kTypeString, std::vector<unsigned char>(length, fill)};
            std::size_t zeroAt = in.u16();  // a zero inside ends the text early
            if (zeroAt < length) value.data[zeroAt] = 0;
            if (in.flag()) value.data.push_back(0);
            return true;
        }
    }
}

// What a reader of a field of `size` bytes must get from a value: the text
// up to its first zero, cut to size - 1; empty when absent or not a string.
struct TextRead {
    std::string text;
    bool cut = false;
};

TextRead expectedText(const RawItem& item, const char* name, std::size_t size) {
    TextRead read;
    auto it = item.find(name);
    if (it == item.end() || it->second.type != store::kTypeString) return read;
    const std::vector<unsigned char>& data = it->second.data;
    std::size_t length = 0;
    while (length < data.size() && data[length] != 0) ++length;
    read.text.assign(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(length));
    if (read.text.size() > size - 1) {
        read.text.resize(size - 1);
        read.cut = true;
    }
    return read;
}

std::uint32_t expectedNumber(const RawItem& item, const char* name) {
    auto it = item.find(name);
    if (it == item.end() || it->second.type != store::kTypeDword || it->second.data.size() != 4)
        return 0;
    const std::vector<unsigned char>& d = it->second.data;
    return d[0] | d[1] << 8 | d[2] << 16 | static_cast<std::uint32_t>(d[3]) << 24;
}

// One call the walk made on the menu, as text, so that two walks compare as
// two lists of lines.
class RecordingSink : public handler::MenuSink {
public:
    struct Insertion {
        handler::MenuHandle menu;
        unsigned position;
        bool separator;
        unsigned id;
        handler::MenuHandle submenu;
        bool taken;
    };
    std::vector<std::string> log;
    std::vector<Insertion> insertions;
    std::uint32_t refusals = 0;    // bit k: the k-th insertItem is refused
    std::uint32_t noBitmaps = 0;   // bit k: the k-th icon gives no bitmap

    handler::MenuHandle createSubmenu() override {
        ++menus_;
        log.push_back("create m" + std::to_string(menus_));
        return handle(menus_);
    }
    void insertSeparator(handler::MenuHandle menu, unsigned position) override {
        log.push_back(name(menu) + ":" + std::to_string(position) + " separator");
        insertions.push_back({menu, position, true, 0, nullptr, true});
    }
    bool insertItem(handler::MenuHandle menu, unsigned position,
                    const handler::MenuItem& item) override {
        bool taken = !(inserts_ < 32 && (refusals >> inserts_ & 1));
        ++inserts_;
        std::string caption = item.caption ? item.caption : "<null>";
        fuzzing::check(item.caption && fuzzing::terminated(item.caption, store::kCaptionSize),
                       "a menu caption is a terminated text of at most 63 characters",
                       "terminated within 64 bytes", "not terminated");
        log.push_back(line(name(menu), position, caption, item.id,
                           item.submenu ? name(item.submenu) : "", item.ownerDrawnIcon,
                           item.itemData, item.checkMarks, taken));
        insertions.push_back({menu, position, false, item.id, item.submenu, taken});
        return taken;
    }
    handler::BitmapHandle makeIconBitmap(const handler::ItemSlot& slot) override {
        bool none = bitmaps_ < 32 && (noBitmaps >> bitmaps_ & 1);
        ++bitmaps_;
        log.push_back(bitmapLine(slot.shield, slot.iconFile, slot.iconIndex, none));
        return none ? nullptr : handle(0x1000 + bitmaps_);
    }

    static std::string bitmapLine(bool shield, const std::string& file, int index, bool none) {
        return "bitmap " + (shield ? std::string("shield") : fuzzing::shown(file) + "," + std::to_string(index)) +
               (none ? " none" : "");
    }

    static std::string line(const std::string& menu, unsigned position, const std::string& caption,
                            unsigned id, const std::string& submenu, bool drawn,
                            std::size_t itemData, handler::BitmapHandle checkMarks, bool taken) {
        return menu + ":" + std::to_string(position) + " " + fuzzing::shown(caption) + " #" +
               std::to_string(id) + (submenu.empty() ? "" : " ->" + submenu) +
               (drawn ? " draw" + std::to_string(itemData) : "") +
               (checkMarks ? " bitmap" + std::to_string(reinterpret_cast<std::uintptr_t>(checkMarks))
                           : "") +
               (taken ? "" : " refused");
    }
    static handler::MenuHandle handle(std::uintptr_t number) {
        return reinterpret_cast<handler::MenuHandle>(number);
    }
    static std::string name(handler::MenuHandle menu) {
        return "m" + std::to_string(reinterpret_cast<std::uintptr_t>(menu));
    }

private:
    std::uintptr_t menus_ = 1;  // menu 1 is the host's
    unsigned inserts_ = 0;
    unsigned bitmaps_ = 0;
};

struct ExpectedSlot {
    std::string prompt, iconFile;
    int iconIndex = 0;
    bool shield = false;
    std::uint32_t id = 0;
    std::string action;  // what choosing it starts
};

// A command that runs elevated and has no icon of its own shows the shield.
bool expectedShield(const RawItem& item, const std::string& icon) {
    return icon.empty() && expectedNumber(item, store::kIsSubMenuValue) == 0 &&
           expectedNumber(item, store::kRunAsValue) == store::kRunAsElevated;
}

struct ExpectedWalk {
    unsigned result = 1;
    bool tableTouched = false;
    std::vector<ExpectedSlot> slots;
    std::vector<std::string> log;
};

// Each slot of a walk's table against the one expected at its offset, and
// what choosing its entry reads from the store against the entry's action.
void checkSlots(store::KeyStore& keys, const std::vector<handler::ItemSlot>& table,
                const std::vector<ExpectedSlot>& slots, const std::string& context) {
    for (std::size_t i = 0; i < table.size() && i < slots.size(); ++i) {
        const handler::ItemSlot& slot = table[i];
        const ExpectedSlot& want = slots[i];
        std::string at = context + ", slot " + std::to_string(i);
        fuzzing::check(fuzzing::terminated(slot.prompt, sizeof slot.prompt) &&
                           fuzzing::terminated(slot.iconFile, sizeof slot.iconFile),
                       "every slot text is terminated in its field", "terminated",
                       "a field without its terminator", at);
        fuzzing::checkEqual(want.prompt, slot.prompt, "the slot's prompt", at);
        fuzzing::checkEqual(want.iconFile, slot.iconFile, "the slot's icon file", at);
        fuzzing::checkEqual(static_cast<std::uint64_t>(want.iconIndex),
                            static_cast<std::uint64_t>(slot.iconIndex), "the slot's icon index", at);
        fuzzing::checkEqual(want.shield, slot.shield, "whether the slot shows the shield", at);
        fuzzing::checkEqual(want.id, slot.id, "the slot's item id", at);
        if (want.id != 0)
            fuzzing::checkEqual(want.action, handler::readChosenCommand(keys, slot.id).action,
                                "the action choosing the entry starts", at);
    }
}

// The walk as the store's notation describes it, from the stored bytes.
ExpectedWalk expectedWalk(const std::vector<unsigned char>* listBytes,
                          const std::map<std::uint32_t, RawItem>& items, bool itemsKey,
                          const handler::MenuRequest& request, std::uint32_t refusals,
                          std::uint32_t noBitmaps) {
    ExpectedWalk walk;
    if (!request.kind || request.lastId < request.firstId || !listBytes) return walk;
    std::size_t count = listBytes->size() / 4;
    std::size_t room = static_cast<std::size_t>(request.lastId - request.firstId) + 1;
    if (count > room) count = room;
    if (count == 0) return walk;
    walk.result = static_cast<unsigned>(count) + 1;
    walk.tableTouched = true;
    walk.slots.resize(count);

    struct Open {
        std::uint32_t key;
        unsigned position;
        std::uintptr_t menu;
    };
    bool bitmaps = request.iconMode == handler::IconMode::Bitmaps;
    std::vector<Open> open{{0, request.indexMenu + (bitmaps ? 1u : 0u), 1}};
    std::uintptr_t menus = 1;
    unsigned inserts = 0, bitmapCalls = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned char* p = listBytes->data() + i * 4;
        std::uint32_t id = p[0] | p[1] << 8, parent = p[2] | p[3] << 8;
        while (open.size() > 1 && open.back().key != parent) open.pop_back();
        Open& top = open.back();
        std::string menuName = "m" + std::to_string(top.menu);
        if (id == 0) {
            walk.log.push_back(menuName + ":" + std::to_string(top.position++) + " separator");
            continue;
        }
        auto found = items.find(id);
        if (!itemsKey || found == items.end()) continue;
        const RawItem& item = found->second;
        ExpectedSlot& slot = walk.slots[i];
        slot.id = id;
        std::string caption = expectedText(item, store::kCaptionValue, store::kCaptionSize).text;
        slot.prompt = expectedText(item, store::kPromptValue, store::kPromptSize).text;
        std::string icon = expectedText(item, store::kIconValue, store::kIconSize).text;
        bool submenu = expectedNumber(item, store::kIsSubMenuValue) != 0;
        slot.shield = expectedShield(item, icon);
        handler::BitmapHandle checkMarks = nullptr;
        if (!icon.empty()) {
            char file[store::kIconSize];
            slot.iconIndex = store::parseIconLocation(icon.c_str(), file, sizeof file);
            slot.iconFile = file;
        }
        if ((!icon.empty() || slot.shield) && bitmaps) {
            bool none = bitmapCalls < 32 && (noBitmaps >> bitmapCalls & 1);
            ++bitmapCalls;
            walk.log.push_back(RecordingSink::bitmapLine(slot.shield, slot.iconFile, slot.iconIndex, none));
            if (!none) checkMarks = RecordingSink::handle(0x1000 + bitmapCalls);
        }
        std::string submenuName;
        if (submenu) {
            ++menus;
            walk.log.push_back("create m" + std::to_string(menus));
            submenuName = "m" + std::to_string(menus);
        } else {
            // A command cut to its field must not start: its slot has no action.
            TextRead action = expectedText(item, store::kActionValue, store::kActionSize);
            if (!action.cut) slot.action = action.text;
        }
        bool taken = !(inserts < 32 && (refusals >> inserts & 1));
        ++inserts;
        bool drawn = (!icon.empty() || slot.shield) && !bitmaps;
        walk.log.push_back(RecordingSink::line(menuName, top.position, caption,
                                               request.firstId + static_cast<unsigned>(i),
                                               submenuName, drawn, drawn ? i : 0, checkMarks,
                                               taken));
        if (taken) {
            ++top.position;
            if (submenu) open.push_back({id, 0, menus});
        }
    }
    return walk;
}

// The filtered walk as the rules describe it: the stored list as a tree,
// entries of missing items dropped; items the filter turns down go with
// everything in them, submenus left with no item go, separators first,
// last or after another go; past the host's last id the tree is cut and
// pruned again. Offsets count the tree's entries in order; a submenu the
// menu refuses takes its entries with it, leaving their slots empty.
ExpectedWalk expectedFilteredWalk(const std::vector<unsigned char>& listBytes,
                                  const std::map<std::uint32_t, RawItem>& items, bool itemsKey,
                                  const handler::MenuRequest& request,
                                  const std::function<bool(const RawItem&)>& shows,
                                  std::uint32_t refusals, std::uint32_t noBitmaps) {
    struct Node {
        std::uint32_t id;  // 0: a separator; the root's is 0 too
        bool submenu;
        bool shown;
        std::vector<std::size_t> entries;
        std::size_t offset = 0;
    };
    std::vector<Node> nodes{{0, true, true, {}}};
    struct Open {
        std::uint32_t key;
        std::size_t node;
    };
    std::vector<Open> open{{0, 0}};
    for (std::size_t i = 0; i + 4 <= listBytes.size(); i += 4) {
        const unsigned char* p = listBytes.data() + i;
        std::uint32_t id = p[0] | p[1] << 8, parent = p[2] | p[3] << 8;
        while (open.size() > 1 && open.back().key != parent) open.pop_back();
        std::size_t menu = open.back().node;
        auto found = items.find(id);
        if (id != 0 && (!itemsKey || found == items.end())) continue;
        bool submenu = id != 0 && expectedNumber(found->second, store::kIsSubMenuValue) != 0;
        nodes.push_back({id, submenu, id == 0 || shows(found->second), {}});
        nodes[menu].entries.push_back(nodes.size() - 1);
        if (submenu) open.push_back({id, nodes.size() - 1});
    }

    auto isItem = [&](std::size_t node) { return nodes[node].id != 0; };
    std::function<void(std::size_t)> prune = [&](std::size_t menu) {
        std::vector<std::size_t> tidy;
        for (std::size_t node : nodes[menu].entries) {
            if (isItem(node)) {
                if (!nodes[node].shown) continue;
                if (nodes[node].submenu) {
                    prune(node);
                    if (nodes[node].entries.empty()) continue;
                }
            } else if (tidy.empty() || !isItem(tidy.back())) {
                continue;
            }
            tidy.push_back(node);
        }
        while (!tidy.empty() && !isItem(tidy.back())) tidy.pop_back();
        nodes[menu].entries = tidy;
    };
    std::size_t count = 0;
    std::function<void(std::size_t)> number = [&](std::size_t menu) {
        for (std::size_t node : nodes[menu].entries) {
            nodes[node].offset = count++;
            if (nodes[node].submenu) number(node);
        }
    };
    std::function<void(std::size_t, std::size_t&)> cut = [&](std::size_t menu, std::size_t& room) {
        std::vector<std::size_t> kept;
        for (std::size_t node : nodes[menu].entries) {
            if (room == 0) break;
            --room;
            kept.push_back(node);
            if (nodes[node].submenu) cut(node, room);
        }
        nodes[menu].entries = kept;
    };
    prune(0);
    number(0);
    std::size_t room = static_cast<std::size_t>(request.lastId - request.firstId) + 1;
    if (count > room) {
        cut(0, room);
        prune(0);
        count = 0;
        number(0);
    }

    ExpectedWalk walk;
    if (count == 0) return walk;
    walk.result = static_cast<unsigned>(count) + 1;
    walk.tableTouched = true;
    walk.slots.resize(count);
    bool bitmaps = request.iconMode == handler::IconMode::Bitmaps;
    std::uintptr_t menus = 1;
    unsigned inserts = 0, bitmapCalls = 0;
    std::function<void(std::size_t, std::uintptr_t, unsigned)> emit =
        [&](std::size_t menu, std::uintptr_t handle, unsigned position) {
            std::string menuName = "m" + std::to_string(handle);
            for (std::size_t node : nodes[menu].entries) {
                const Node& entry = nodes[node];
                if (!isItem(node)) {
                    walk.log.push_back(menuName + ":" + std::to_string(position++) + " separator");
                    continue;
                }
                const RawItem& item = items.at(entry.id);
                ExpectedSlot& slot = walk.slots[entry.offset];
                slot.id = entry.id;
                std::string caption = expectedText(item, store::kCaptionValue, store::kCaptionSize).text;
                slot.prompt = expectedText(item, store::kPromptValue, store::kPromptSize).text;
                std::string icon = expectedText(item, store::kIconValue, store::kIconSize).text;
                slot.shield = expectedShield(item, icon);
                handler::BitmapHandle checkMarks = nullptr;
                if (!icon.empty()) {
                    char file[store::kIconSize];
                    slot.iconIndex = store::parseIconLocation(icon.c_str(), file, sizeof file);
                    slot.iconFile = file;
                }
                if ((!icon.empty() || slot.shield) && bitmaps) {
                    bool none = bitmapCalls < 32 && (noBitmaps >> bitmapCalls & 1);
                    ++bitmapCalls;
                    walk.log.push_back(
                        RecordingSink::bitmapLine(slot.shield, slot.iconFile, slot.iconIndex, none));
                    if (!none) checkMarks = RecordingSink::handle(0x1000 + bitmapCalls);
                }
                std::uintptr_t submenu = 0;
                if (entry.submenu) {
                    submenu = ++menus;
                    walk.log.push_back("create m" + std::to_string(submenu));
                } else {
                    TextRead action = expectedText(item, store::kActionValue, store::kActionSize);
                    if (!action.cut) slot.action = action.text;
                }
                bool taken = !(inserts < 32 && (refusals >> inserts & 1));
                ++inserts;
                bool drawn = (!icon.empty() || slot.shield) && !bitmaps;
                walk.log.push_back(RecordingSink::line(
                    menuName, position, caption, request.firstId + static_cast<unsigned>(entry.offset),
                    submenu ? "m" + std::to_string(submenu) : "", drawn, drawn ? entry.offset : 0,
                    checkMarks, taken));
                if (!taken) continue;
                ++position;
                if (submenu) emit(node, submenu, 0);
            }
        };
    emit(0, 1, request.indexMenu + (bitmaps ? 1u : 0u));
    return walk;
}

// The rules a filtered walk keeps whatever the store holds, read off the
// insertions of a menu that took every item.
void checkMenuRules(const RecordingSink& sink, const handler::MenuRequest& request, unsigned result,
                    std::size_t tableSize, const std::string& context) {
    const auto& insertions = sink.insertions;
    fuzzing::checkEqual(insertions.size() + 1, result,
                        "a filtered walk returns the entries it inserted plus one", context);
    if (!insertions.empty())
        fuzzing::checkEqual(insertions.size(), tableSize, "one table slot per entry shown", context);
    std::map<handler::MenuHandle, std::vector<const RecordingSink::Insertion*>> menus;
    for (std::size_t k = 0; k < insertions.size(); ++k) {
        const RecordingSink::Insertion& entry = insertions[k];
        menus[entry.menu].push_back(&entry);
        if (entry.submenu) menus[entry.submenu];  // a submenu is a menu, even left empty
        if (!entry.separator)
            fuzzing::checkEqual(request.firstId + k, entry.id,
                                "an item's id counts the entries shown before it", context);
    }
    for (const auto& [menu, entries] : menus) {
        std::string where = context + ", menu " + RecordingSink::name(menu);
        fuzzing::check(!entries.empty(), "no submenu is left empty", "at least one item", "none",
                       where);
        for (std::size_t k = 0; k < entries.size(); ++k) {
            if (!entries[k]->separator) continue;
            bool first = k == 0, last = k + 1 == entries.size();
            bool afterAnother = !first && entries[k - 1]->separator;
            fuzzing::check(!first && !last && !afterAnother,
                           "a separator stands between two items",
                           "items on both sides", first ? "first in its menu" : last ? "last in its menu"
                                                                                 : "after another separator",
                           where + ", entry " + std::to_string(k));
        }
    }
}

// Counts the walk's questions, answered by the selection's filter.
class CountingFilter : public handler::ItemFilter {
public:
    explicit CountingFilter(handler::SelectionFilter& filter) : filter_(filter) {}
    bool shows(const char* showFor) override {
        ++calls;
        return filter_.shows(showFor);
    }
    std::size_t calls = 0;

private:
    handler::SelectionFilter& filter_;
};

// Store bytes as UTF-16 units of the same numbers (a single-byte code page).
std::u16string latin1(const char* text) {
    std::u16string out;
    for (; *text; ++text) out += static_cast<char16_t>(static_cast<unsigned char>(*text));
    return out;
}

// Pattern lists made of the pieces that matter to them.
std::string patternText(Input& in) {
    static const char* const pieces[] = {"*", "?", ";", "!", " ", "\t", ".txt", ".TXT", "a", "\xC9",
                                         "\xE9", "*.jpg", "b", "~", "\\", ":"};
    std::string out;
    for (std::size_t n = in.byte() % 12; n > 0; --n) out += pieces[in.byte() % 16];
    return out;
}

// A selected object's path: a few pieces, a lone surrogate among them.
std::u16string selectedPath(Input& in) {
    static const char16_t* const pieces[] = {u"C:", u"\\", u"a", u"A.TXT", u"b.jpg", u"\u00E9",
                                             u"\u00C9", u"\U0001F600", u"\xD800", u"~", u"x.txt", u" "};
    std::u16string out;
    for (std::size_t n = in.byte() % 6; n > 0; --n) out += pieces[in.byte() % 12];
    return out;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string out;
    for (const std::string& line : lines) out += line + "\n    ";
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Input in(data, size);
    store::MemoryKeyStore keys;

    // The lists: raw bytes, or entries of one-byte ids and parents (which
    // meet the items below more often), with up to three stray bytes.
    std::map<std::string, std::vector<unsigned char>> lists;
    for (const char* kind : store::kContextKinds) {
        std::uint8_t shape = in.byte();
        if (shape % 4 == 0) continue;
        std::vector<unsigned char> bytes;
        if (shape % 4 == 1) {
            std::vector<std::uint8_t> raw = in.bytes(in.u16() % 4400);
            bytes.assign(raw.begin(), raw.end());
        } else {
            std::size_t entries = in.byte();
            for (std::size_t i = 0; i < entries && !in.empty(); ++i) {
                std::uint8_t id = in.byte(), parent = in.byte();
                bytes.insert(bytes.end(), {id, 0, parent, 0});
            }
            std::vector<std::uint8_t> stray = in.bytes(shape / 4 % 4);
            bytes.insert(bytes.end(), stray.begin(), stray.end());
        }
        keys.setValue(store::kIndexKey, kind, store::kTypeBinary, bytes.data(), bytes.size());
        lists[kind] = bytes;
    }

    bool itemsKey = in.byte() % 8 != 0;
    std::map<std::uint32_t, RawItem> items;
    std::size_t itemCount = in.byte() % 40;
    for (std::size_t i = 0; i < itemCount && !in.empty(); ++i) {
        std::uint32_t id = in.flag() ? in.u16() : in.byte();
        if (id == 0) continue;  // no key is named "0" by an entry that shows an item
        RawItem& item = items[id];
        std::string path = store::itemKeyPath(id);
        keys.setValue(path, "", store::kTypeString, "", 1);  // the key exists even with no values
        for (const char* name : kValueNames) {
            RawValue value;
            if (!readValue(in, name, value)) continue;
            keys.setValue(path, name, value.type, value.data.data(), value.data.size());
            item[name] = value;
        }
    }
    if (!itemsKey) keys.removeKeyTree(store::kItemsKey);

    handler::MenuRequest request{};
    request.menu = RecordingSink::handle(1);
    request.indexMenu = in.byte();
    request.firstId = in.u16();
    std::uint8_t grant = in.byte();
    // Mostly a host that grants a few ids, sometimes plenty, sometimes none.
    request.lastId = grant < 200 ? request.firstId + grant % 8 : grant < 250 ? 0x7FFF : in.u16();
    request.iconMode = in.flag() ? handler::IconMode::Bitmaps : handler::IconMode::OwnerDrawn;
    std::uint32_t refusals = in.flag() ? in.u32() : 0;
    std::uint32_t noBitmaps = in.flag() ? in.u32() : 0;

    // The selection and the items' "ShowFor" texts, read last so that inputs
    // made before keep their meaning.
    bool filtering = in.flag();
    std::vector<std::u16string> selected;
    for (std::size_t n = 1 + in.byte() % 4; filtering && n > 0; --n) selected.push_back(selectedPath(in));
    for (auto& [id, item] : items) {
        if (!filtering || in.empty()) break;
        RawValue value;
        if (in.flag()) {
            std::string text = patternText(in);
            value = {store::kTypeString, {text.begin(), text.end()}};
            value.data.push_back(0);
        } else if (!readValue(in, handler::kShowForValue, value)) {
            continue;
        }
        if (!itemsKey) continue;
        keys.setValue(store::itemKeyPath(id), handler::kShowForValue, value.type, value.data.data(),
                      value.data.size());
        item[handler::kShowForValue] = value;
    }
    // Then RunAs: an elevated command without an icon of its own shows the
    // shield, in any menu.
    for (auto& [id, item] : items) {
        if (in.empty()) break;
        RawValue value;
        if (in.flag()) value = {store::kTypeDword, {1, 0, 0, 0}};
        else if (!readValue(in, store::kRunAsValue, value)) continue;
        if (!itemsKey) continue;
        keys.setValue(store::itemKeyPath(id), store::kRunAsValue, value.type, value.data.data(),
                      value.data.size());
        item[store::kRunAsValue] = value;
    }
    std::vector<std::u16string> names;
    for (const std::u16string& path : selected) names.push_back(handler::nameOf(path));
    auto shows = [&](const RawItem& item) {
        std::string text = expectedText(item, handler::kShowForValue, handler::kShowForSize).text;
        return text.empty() || handler::NameFilter(latin1(text.c_str())).shows(names);
    };

    for (int k = -1; k < store::kContextKindCount; ++k) {
        request.kind = k < 0 ? nullptr : store::kContextKinds[k];
        std::string kindName = request.kind ? request.kind : "<none>";
        RecordingSink sink;
        sink.refusals = refusals;
        sink.noBitmaps = noBitmaps;
        std::vector<handler::ItemSlot> table(3);  // an earlier construction's table
        unsigned result = handler::buildMenu(keys, request, sink, table);

        auto list = request.kind ? lists.find(request.kind) : lists.end();
        ExpectedWalk expected = expectedWalk(list == lists.end() ? nullptr : &list->second, items,
                                             itemsKey, request, refusals, noBitmaps);
        std::string context = "kind " + kindName + ", first id " + std::to_string(request.firstId) +
                              ", last id " + std::to_string(request.lastId);
        fuzzing::checkEqual(expected.result, result, "buildMenu returns the entries given ids plus one",
                            context);
        fuzzing::check(sink.log == expected.log, "the calls on the menu follow the stored list",
                       joined(expected.log), joined(sink.log), context);
        fuzzing::checkEqual(0, keys.openHandles(), "every key the walk opened is closed", context);
        if (!expected.tableTouched)
            fuzzing::checkEqual(3, table.size(), "a menu with no entries leaves the table alone",
                                context);
        else
            fuzzing::checkEqual(expected.slots.size(), table.size(), "one table slot per entry",
                                context);
        if (expected.tableTouched) checkSlots(keys, table, expected.slots, context);

        if (!filtering) continue;
        handler::SelectionFilter selection(selected, latin1);
        CountingFilter filter(selection);
        handler::MenuRequest filtered = request;
        filtered.filter = &filter;
        RecordingSink filteredSink;
        filteredSink.refusals = refusals;
        filteredSink.noBitmaps = noBitmaps;
        std::vector<handler::ItemSlot> filteredTable(3);
        unsigned filteredResult = handler::buildMenu(keys, filtered, filteredSink, filteredTable);
        std::string filteredContext = context + ", filtered";
        fuzzing::checkEqual(0, keys.openHandles(), "every key the filtered walk opened is closed",
                            filteredContext);
        bool applies = handler::filtersApplyTo(request.kind);
        if (!applies) {
            fuzzing::checkEqual(0, filter.calls, "a menu filters do not apply to asks no filter",
                                filteredContext);
            fuzzing::check(filteredSink.log == sink.log && filteredResult == result,
                           "a menu filters do not apply to is walked whole", joined(sink.log),
                           joined(filteredSink.log), filteredContext);
            continue;
        }
        // A list none of whose items names the objects it is for is the
        // list as it stands, exactly as without a filter.
        bool inUse = false;
        if (itemsKey && list != lists.end())
            for (const store::IndexEntry& entry :
                 store::decodeIndex(list->second.data(), list->second.size())) {
                auto item = items.find(entry.id);
                if (entry.id != 0 && item != items.end() &&
                    !expectedText(item->second, handler::kShowForValue, handler::kShowForSize)
                         .text.empty())
                    inUse = true;
            }
        if (!inUse) {
            fuzzing::check(filteredSink.log == sink.log && filteredResult == result &&
                               filteredTable.size() == table.size(),
                           "a list without ShowFor texts is walked whole, filter or not",
                           joined(sink.log), joined(filteredSink.log), filteredContext);
            for (std::size_t i = 0; i < table.size() && i < filteredTable.size(); ++i)
                fuzzing::checkEqual(table[i].id, filteredTable[i].id,
                                    "the slots of a list without ShowFor texts", filteredContext);
            continue;
        }
        if (request.lastId >= request.firstId && list != lists.end()) {
            expected = expectedFilteredWalk(list->second, items, itemsKey, request, shows, refusals,
                                            noBitmaps);
        } else {
            expected = ExpectedWalk();
        }
        fuzzing::checkEqual(expected.result, filteredResult,
                            "a filtered walk returns the entries shown plus one", filteredContext);
        fuzzing::check(filteredSink.log == expected.log,
                       "the filtered menu is the stored tree pruned", joined(expected.log),
                       joined(filteredSink.log), filteredContext);
        if (refusals == 0)
            checkMenuRules(filteredSink, request, filteredResult, filteredTable.size(), filteredContext);
        if (!expected.tableTouched) {
            fuzzing::checkEqual(3, filteredTable.size(),
                                "a filtered menu that shows nothing leaves the table alone",
                                filteredContext);
            continue;
        }
        fuzzing::checkEqual(expected.slots.size(), filteredTable.size(), "one table slot per entry shown",
                            filteredContext);
        checkSlots(keys, filteredTable, expected.slots, filteredContext);
    }
    return 0;
}
