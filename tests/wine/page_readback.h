// The tree a user built on the page, read back the way the user sees it:
// every node selected in turn, its text and the four fields read from the
// edits, its kind from which fields the page enables. Runs on the dialog
// thread in one call, and puts the selection back where it was.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <utility>
#include <vector>

#include "menu_text.h"
#include "resource_ids.h"
#include "sheet_driver.h"

namespace page_readback {

constexpr int kTree = IDC_TREE;
constexpr int kCaption = IDC_CAPTION, kPrompt = IDC_PROMPT, kIcon = IDC_ICON_PATH,
              kAction = IDC_ACTION;
const std::string kSeparatorText(30, '-');

using sheet_driver::treeItemText;
using sheet_driver::treeNext;

// Every node with its depth, in pre-order. Dialog thread only.
inline std::vector<std::pair<HTREEITEM, int>> preorder(HWND tree) {
    std::vector<std::pair<HTREEITEM, int>> nodes;
    std::vector<HTREEITEM> stack;
    HTREEITEM item = treeNext(tree, nullptr, TVGN_ROOT);
    while (item) {
        nodes.emplace_back(item, static_cast<int>(stack.size()));
        if (HTREEITEM child = treeNext(tree, item, TVGN_CHILD)) {
            stack.push_back(item);
            item = child;
            continue;
        }
        while (item && !treeNext(tree, item, TVGN_NEXT)) {
            item = stack.empty() ? nullptr : stack.back();
            if (!stack.empty()) stack.pop_back();
        }
        if (item) item = treeNext(tree, item, TVGN_NEXT);
    }
    return nodes;
}

inline std::string editText(HWND page, int id) {
    HWND edit = GetDlgItem(page, id);
    std::vector<char> buffer(static_cast<size_t>(GetWindowTextLengthA(edit)) + 2);
    GetWindowTextA(edit, buffer.data(), static_cast<int>(buffer.size()));
    return buffer.data();
}

inline void selectNode(HWND tree, HTREEITEM item) {
    SendMessageA(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
}

// The page's tree with every field; `problem` says where the page
// contradicts itself (a node whose text is not its caption, a separator
// with fields).
inline menu_text::Menu read(sheet_driver::Page& page, std::string& problem) {
    menu_text::Menu menu;
    page.thread().run([&] {
        HWND window = page.window();
        HWND tree = GetDlgItem(window, kTree);
        const auto nodes = preorder(tree);
        HTREEITEM caret = treeNext(tree, nullptr, TVGN_CARET);
        // Selecting the selected node again tells the page nothing: leave it
        // first, so that its fields are shown afresh like every other's.
        if (caret) selectNode(tree, nullptr);
        for (const auto& [item, depth] : nodes) {
            selectNode(tree, item);
            menu_text::Node node;
            node.depth = depth;
            const std::string text = treeItemText(tree, item);
            const bool itemFields = IsWindowEnabled(GetDlgItem(window, kCaption)) != 0;
            const bool actionFields = IsWindowEnabled(GetDlgItem(window, kAction)) != 0;
            node.separator = !itemFields;
            node.submenu = itemFields && !actionFields;
            node.caption = editText(window, kCaption);
            node.prompt = editText(window, kPrompt);
            node.icon = editText(window, kIcon);
            node.action = editText(window, kAction);
            const std::string where = "node " + std::to_string(menu.size() + 1) + " " +
                                      menu_text::shown(text) + ": ";
            if (node.separator) {
                if (text != kSeparatorText)
                    problem += where + "its fields are disabled, as a separator's, but its text "
                                       "is not the separator text\n";
                if (actionFields) problem += where + "the action is enabled without the caption\n";
                if (!(node.caption + node.prompt + node.icon + node.action).empty())
                    problem += where + "a separator shows field texts\n";
                node.caption = node.prompt = node.icon = node.action = "";
            } else if (text != node.caption) {
                problem += where + "the tree shows " + menu_text::shown(text) +
                           " but the caption field holds " + menu_text::shown(node.caption) + "\n";
            }
            menu.push_back(node);
        }
        if (caret) {
            selectNode(tree, nullptr);
            selectNode(tree, caret);
        }
    });
    return menu;
}

}  // namespace page_readback
