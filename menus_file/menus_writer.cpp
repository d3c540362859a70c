#include "menus_writer.h"

#include <nlohmann/json.hpp>

#include "menus_reader.h"

namespace menus_file {

namespace {

using Json = nlohmann::ordered_json;

const char* const kSelectionWords[] = {"first", "each", "all"};

class Writer {
public:
    explicit Writer(const CodePage& codePage, std::string& problem)
        : codePage_(codePage), problem_(problem) {}

    bool list(const MenuList& entries, const std::string& where, Json& out) {
        out = Json::array();
        for (std::size_t i = 0; i < entries.size(); ++i) {
            Json entry;
            if (!this->entry(entries[i], where + ", entry " + std::to_string(i + 1), entry))
                return false;
            out.push_back(std::move(entry));
        }
        return true;
    }

private:
    bool entry(const MenuEntry& e, const std::string& at, Json& out) {
        out = Json::object();
        if (e.separator) {
            out["separator"] = true;
            return true;
        }
        if (!text(out, "caption", e.caption, at, true) || !text(out, "prompt", e.prompt, at) ||
            !text(out, "icon", e.icon, at))
            return false;
        if (!e.submenu) {
            if (!text(out, "action", e.action, at, true)) return false;
            if (e.selection != store::kSelectionFirstOnly && e.selection <= store::kSelectionAllAtOnce)
                out["selection"] = kSelectionWords[e.selection];
        }
        if (!text(out, "showFor", e.showFor, at)) return false;
        if (!e.submenu && e.runAs) out["runAs"] = true;
        if (!e.submenu) return true;
        Json items;
        if (!list(e.items, at, items)) return false;
        out["items"] = std::move(items);
        return true;
    }

    bool text(Json& out, const char* key, const std::string& stored, const std::string& at,
              bool always = false) {
        if (stored.empty() && !always) return true;
        std::string utf8;
        if (!codePage_.toUtf8(stored, utf8)) {
            problem_ = at + ": the stored \"" + std::string(key) +
                       "\" is not text in this system's code page (" +
                       std::to_string(codePage_.number()) + ")";
            return false;
        }
        out[key] = std::move(utf8);
        return true;
    }

    const CodePage& codePage_;
    std::string& problem_;
};

}  // namespace

bool writeMenus(const Menus& menus, const CodePage& codePage, std::string& out,
                std::string& problem) {
    Json file = Json::object();
    file["format"] = kFormatName;
    file["version"] = kFormatVersion;
    Json kinds = Json::object();
    Writer writer(codePage, problem);
    for (int i = 0; i < store::kContextKindCount; ++i) {
        const auto& list = menus.kinds[static_cast<std::size_t>(i)];
        if (!list) continue;
        Json entries;
        if (!writer.list(*list, "\"" + std::string(store::kContextKinds[i]) + "\" menu", entries))
            return false;
        kinds[store::kContextKinds[i]] = std::move(entries);
    }
    file["menus"] = std::move(kinds);
    // Texts outside ASCII stay as they are, readable in any UTF-8 editor.
    try {
        out = file.dump(2) + "\n";
    } catch (const nlohmann::json::exception&) {
        problem = "a stored text did not convert to UTF-8";
        return false;
    }
    return true;
}

}  // namespace menus_file
