#include "menus_reader.h"

#include <cstdio>
#include <cstring>
#include <set>

#include "located_json.h"

namespace menus_file {

namespace {

using Type = JsonValue::Type;

std::string quoted(const std::string& text) { return "\"" + text + "\""; }

// A code point as the reader can find it in the file: itself and its number.
std::string characterName(std::uint32_t code) {
    char number[16];
    std::snprintf(number, sizeof number, "U+%04X", static_cast<unsigned>(code));
    if (code < 0x20 || code == 0x7F || (code >= 0x80 && code < 0xA0)) return number;
    std::string utf8;
    if (code < 0x80) {
        utf8 += static_cast<char>(code);
    } else if (code < 0x800) {
        utf8 += static_cast<char>(0xC0 | code >> 6);
        utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        utf8 += static_cast<char>(0xE0 | code >> 12);
        utf8 += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        utf8 += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        utf8 += static_cast<char>(0xF0 | code >> 18);
        utf8 += static_cast<char>(0x80 | (code >> 12 & 0x3F));
        utf8 += static_cast<char>(0x80 | (code >> 6 & 0x3F));
        utf8 += static_cast<char>(0x80 | (code & 0x3F));
    }
    return quoted(utf8) + " (" + number + ")";
}

struct TextField {
    const char* key;
    std::size_t size;  // the store's field, terminator included
    std::string MenuEntry::*text;
};

const TextField kTextFields[] = {
    {"caption", store::kCaptionSize, &MenuEntry::caption},
    {"prompt", store::kPromptSize, &MenuEntry::prompt},
    {"icon", store::kIconSize, &MenuEntry::icon},
    {"action", store::kActionSize, &MenuEntry::action},
    {"showFor", store::kShowForSize, &MenuEntry::showFor},
};

class Reader {
public:
    Reader(const CodePage& codePage, ReadProblem& problem) : codePage_(codePage), problem_(problem) {}

    bool file(const JsonValue& root, Menus& out) {
        if (root.type != Type::Object)
            return fail(root, "the file", "should be an object {...} holding \"format\", "
                                          "\"version\" and \"menus\", not " +
                                              std::string(typeName(root.type)));
        if (!noRepeats(root, "the file")) return false;
        const JsonValue *format = nullptr, *version = nullptr, *menus = nullptr;
        for (const auto& [key, value] : root.members) {
            if (key == "format") format = &value;
            else if (key == "version") version = &value;
            else if (key == "menus") menus = &value;
            else return unknownKey(value, "the file", key, "\"format\", \"version\" and \"menus\"");
        }
        if (!format || format->type != Type::String || format->text != kFormatName)
            return fail(format ? *format : root, "the file",
                        "this is not a menus file: \"format\" must be \"talvex-menus\"");
        if (!version || version->type != Type::Number || !version->integral ||
            version->number != kFormatVersion)
            return fail(version ? *version : root, "the file",
                        "\"version\" must be 1, the only version this program reads");
        if (!menus || menus->type != Type::Object)
            return fail(menus ? *menus : root, "the file",
                        "\"menus\" is missing or not an object {...} with a list per menu kind");
        if (!noRepeats(*menus, "\"menus\"")) return false;
        std::size_t items = 0;
        for (const auto& [kind, list] : menus->members) {
            int index = kindIndex(kind);
            if (index < 0)
                return unknownKey(list, "\"menus\"", kind,
                                  "the kinds \"*\", \"Directory\", \"Background\", \"Drive\" and "
                                  "\"CDROM\"");
            const std::string where = quoted(kind) + " menu";
            if (list.type != Type::Array)
                return fail(list, where, "should be a list [...], not " + std::string(typeName(list.type)));
            std::size_t entries = 0;
            MenuList read;
            if (!entriesOf(list, where, read, entries)) return false;
            items += itemCount(read);
            if (items > store::kMaxStoredId)
                return fail(list, where,
                            "the file's items come to " + std::to_string(items) +
                                ": the store numbers at most 999 items in all menus");
            out.kinds[static_cast<std::size_t>(index)] = std::move(read);
        }
        return true;
    }

private:
    bool entriesOf(const JsonValue& list, const std::string& where, MenuList& out,
                   std::size_t& entries) {
        out.reserve(list.elements.size());
        for (std::size_t i = 0; i < list.elements.size(); ++i) {
            const std::string at = where + ", entry " + std::to_string(i + 1);
            // Counted before going deeper, so that the nesting stays within
            // the list's limit too.
            if (++entries > store::kMaxIndexEntries)
                return fail(list.elements[i], at,
                            "one entry too many: a menu holds at most 1024 entries, submenus' "
                            "entries and separators included");
            MenuEntry entry;
            if (!entryOf(list.elements[i], at, entry, entries)) return false;
            out.push_back(std::move(entry));
        }
        return true;
    }

    bool entryOf(const JsonValue& value, const std::string& at, MenuEntry& entry,
                 std::size_t& entries) {
        entry.line = value.line;
        if (value.type != Type::Object)
            return fail(value, at, "should be an object {...}, not " + std::string(typeName(value.type)));
        if (!noRepeats(value, at)) return false;
        for (const auto& member : value.members)
            if (member.first == "separator") return separator(value, member.second, at, entry);
        const JsonValue* items = nullptr;
        for (const auto& member : value.members)
            if (member.first == "items") items = &member.second;
        entry.submenu = items != nullptr;
        bool hasCaption = false;
        for (const auto& [key, field] : value.members) {
            if (key == "items") continue;
            if (key == "caption") hasCaption = true;
            if (key == "selection" || key == "runAs" || key == "action") {
                if (entry.submenu)
                    return fail(field, at, quoted(key) + " belongs to commands; this entry has "
                                           "\"items\", which makes it a submenu");
            }
            if (key == "selection") {
                if (!selection(field, at, entry)) return false;
            } else if (key == "runAs") {
                if (field.type != Type::Boolean)
                    return fail(field, at, "\"runAs\" should be true or false, not " +
                                               std::string(typeName(field.type)));
                entry.runAs = field.boolean;
            } else if (!text(key, field, at, entry)) {
                return false;
            }
        }
        if (!hasCaption)
            return fail(value, at, "\"caption\" is missing (a separator is {\"separator\": true})");
        if (!items) return true;
        if (items->type != Type::Array)
            return fail(*items, at, "\"items\" should be a list [...], not " +
                                        std::string(typeName(items->type)));
        return entriesOf(*items, at, entry.items, entries);
    }

    bool separator(const JsonValue& value, const JsonValue& flag, const std::string& at,
                   MenuEntry& entry) {
        if (flag.type != Type::Boolean || !flag.boolean)
            return fail(flag, at, "\"separator\" can only be true; leave it out for an item");
        for (const auto& member : value.members)
            if (member.first != "separator")
                return fail(member.second, at, "a separator has no " + quoted(member.first));
        entry.separator = true;
        return true;
    }

    bool selection(const JsonValue& field, const std::string& at, MenuEntry& entry) {
        static const char* const words[] = {"first", "each", "all"};
        if (field.type == Type::String)
            for (std::uint32_t i = 0; i < 3; ++i)
                if (field.text == words[i]) {
                    entry.selection = i;
                    return true;
                }
        return fail(field, at, "\"selection\" should be \"first\", \"each\" or \"all\"");
    }

    bool text(const std::string& key, const JsonValue& field, const std::string& at,
              MenuEntry& entry) {
        const TextField* known = nullptr;
        for (const TextField& f : kTextFields)
            if (key == f.key) known = &f;
        if (!known)
            return unknownKey(field, at, key,
                              "\"caption\", \"prompt\", \"icon\", \"action\", \"selection\", "
                              "\"showFor\", \"runAs\", \"items\" and \"separator\"");
        if (field.type != Type::String)
            return fail(field, at, quoted(key) + " should be text, not " + typeName(field.type));
        if (field.text.find('\0') != std::string::npos)
            return fail(field, at, quoted(key) + " holds the character U+0000, which the store "
                                                 "cannot keep");
        std::string stored;
        std::uint32_t refused = 0;
        if (!codePage_.fromUtf8(field.text, stored, refused))
            return fail(field, at,
                        quoted(key) + " holds the character " + characterName(refused) +
                            ", which this system's code page (" + std::to_string(codePage_.number()) +
                            ") cannot hold; the store keeps texts in that code page");
        if (stored.size() >= known->size)
            return fail(field, at,
                        quoted(key) + " is " + std::to_string(stored.size()) + " bytes long in code page " +
                            std::to_string(codePage_.number()) + "; the store keeps at most " +
                            std::to_string(known->size - 1));
        entry.*(known->text) = std::move(stored);
        return true;
    }

    // A set, not pairs of keys: an object of a million keys must not take
    // a million squared steps to refuse.
    bool noRepeats(const JsonValue& object, const std::string& at) {
        std::set<std::string> seen;
        for (const auto& [key, value] : object.members)
            if (!seen.insert(key).second) return fail(value, at, quoted(key) + " is given twice");
        return true;
    }

    bool unknownKey(const JsonValue& value, const std::string& at, const std::string& key,
                    const std::string& known) {
        return fail(value, at, quoted(key) + " is not one of " + known);
    }

    bool fail(const JsonValue& value, const std::string& at, const std::string& what) {
        problem_.line = value.line;
        problem_.column = 0;
        problem_.text = at + ": " + what;
        return false;
    }

    const CodePage& codePage_;
    ReadProblem& problem_;
};

}  // namespace

std::string describe(const ReadProblem& problem) {
    std::string where = "line " + std::to_string(problem.line);
    if (problem.column) where += ", column " + std::to_string(problem.column);
    return where + ": " + problem.text;
}

bool readMenus(const std::string& fileText, const CodePage& codePage, Menus& out,
               ReadProblem& problem) {
    out = Menus();
    problem = ReadProblem();
    // Notepad's "Unicode" is UTF-16: say so, rather than call its first byte
    // bad JSON.
    if (fileText.size() >= 2 && (fileText.compare(0, 2, "\xFF\xFE") == 0 || fileText.compare(0, 2, "\xFE\xFF") == 0)) {
        problem = {1, 1, "the file is UTF-16; a menus file is UTF-8 (save it again as UTF-8)"};
        return false;
    }
    JsonValue root;
    JsonError syntax;
    if (!readJson(fileText, root, syntax)) {
        problem.line = syntax.line;
        problem.column = syntax.column;
        problem.text = syntax.message;
        return false;
    }
    Menus read;
    if (!Reader(codePage, problem).file(root, read)) return false;
    out = std::move(read);
    return true;
}

}  // namespace menus_file
