// A menu tree in one form for the three places the editing runs read it
// from (the page's tree and fields, the store, the handler's menu), so that
// any two can be compared and a difference printed as a reader can follow it.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace menu_text {

// One node in pre-order; depth 0 is the top level.
struct Node {
    int depth = 0;
    bool separator = false;
    bool submenu = false;
    std::string caption, prompt, icon, action;
};
using Menu = std::vector<Node>;

// Which parts of a node a comparison looks at: the handler's menu, say,
// shows captions and prompts but no actions.
enum Parts : unsigned {
    kShape = 1,  // depth, separator or command or submenu
    kCaption = 2,
    kPrompt = 4,
    kIcon = 8,
    kAction = 16,
    kEverything = 31,
};

// A text as a reader can tell it from others: quoted, with C escapes for
// quotes, backslashes, control characters and bytes above 126, and a long
// one shortened around a checksum, so that two long texts that differ
// never print alike.
inline std::string shown(const std::string& text) {
    auto escape = [](const std::string& part) {
        std::string out;
        for (unsigned char c : part) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += static_cast<char>(c);
            } else if (c < 32 || c > 126) {
                char hex[8];
                std::snprintf(hex, sizeof hex, "\\x%02X", c);
                out += hex;
            } else {
                out += static_cast<char>(c);
            }
        }
        return out;
    };
    if (text.size() <= 72) return "\"" + escape(text) + "\"";
    std::uint32_t sum = 2166136261u;  // FNV-1a
    for (unsigned char c : text) sum = (sum ^ c) * 16777619u;
    char tag[64];
    std::snprintf(tag, sizeof tag, "...<%u chars, fnv %08X>...", static_cast<unsigned>(text.size()),
                  sum);
    return "\"" + escape(text.substr(0, 24)) + tag + escape(text.substr(text.size() - 24)) + "\"";
}

inline std::string line(const Node& node, unsigned parts) {
    std::string out(static_cast<std::size_t>(node.depth) * 2, ' ');
    if (node.separator) return out + "---";
    out += node.submenu ? "submenu" : "command";
    if (parts & kCaption) out += " " + shown(node.caption);
    if (parts & kPrompt) out += " prompt " + shown(node.prompt);
    if (parts & kIcon) out += " icon " + shown(node.icon);
    if ((parts & kAction) && !node.submenu) out += " action " + shown(node.action);
    return out;
}

inline std::string describe(const Menu& menu, unsigned parts) {
    std::string out;
    for (const Node& node : menu) out += "    " + line(node, parts) + "\n";
    return out.empty() ? "    (empty)\n" : out;
}

// The captions alone, nested: "Tools(Edit,---,View),Last".
inline std::string outline(const Menu& menu) {
    std::string out;
    int depth = 0;
    for (size_t i = 0; i < menu.size(); ++i) {
        for (; depth > menu[i].depth; --depth) out += ")";
        if (i > 0 && out.back() != '(') out += ",";
        out += menu[i].separator ? "---" : menu[i].caption;
        if (i + 1 < menu.size() && menu[i + 1].depth > menu[i].depth) {
            out += "(";
            ++depth;
        }
    }
    for (; depth > 0; --depth) out += ")";
    return out;
}

// "" when the two agree in `parts`; otherwise where they part and both
// menus whole.
inline std::string difference(const Menu& expected, const Menu& actual, unsigned parts) {
    const size_t n = expected.size() > actual.size() ? expected.size() : actual.size();
    for (size_t i = 0; i < n; ++i) {
        const std::string e = i < expected.size() ? line(expected[i], parts) : "(no node)";
        const std::string a = i < actual.size() ? line(actual[i], parts) : "(no node)";
        if (e == a) continue;
        return "  first difference at node " + std::to_string(i + 1) + " in pre-order:\n" +
               "    expected: " + e + "\n    actual:   " + a + "\n" +
               "  expected, whole (" + std::to_string(expected.size()) + " nodes):\n" +
               describe(expected, parts) + "  actual, whole (" + std::to_string(actual.size()) +
               " nodes):\n" + describe(actual, parts);
    }
    return "";
}

}  // namespace menu_text
