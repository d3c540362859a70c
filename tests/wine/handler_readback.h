// The menu korvane.dll builds for a path, hosted as Explorer hosts it
// (created by class identifier, initialised with the shell's data object,
// QueryContextMenu on a real popup menu) and read back item by item:
// captions, nesting, separators and each item's help text.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <functional>
#include <string>

#include "menu_text.h"
#include "shell_host.h"

namespace handler_readback {

// The menu, or what went wrong in `problem`.
inline menu_text::Menu menuFor(const std::string& path, std::string& problem) {
    menu_text::Menu menu;
    IShellExtInit* init = nullptr;
    HRESULT hr = CoCreateInstance(shell_host::kClsidKorvane, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IShellExtInit, reinterpret_cast<void**>(&init));
    if (FAILED(hr) || !init) {
        problem = "CoCreateInstance of korvane failed: " + std::to_string(hr);
        return menu;
    }
    IContextMenu* context = nullptr;
    IDataObject* data = shell_host::dataObjectFor({path});
    if (!data) problem = "no shell data object for " + path;
    else if (FAILED(init->Initialize(nullptr, data, nullptr))) problem = "Initialize failed";
    else if (FAILED(init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&context))))
        problem = "no IContextMenu";
    if (data) data->Release();
    init->Release();
    if (!context) return menu;

    constexpr UINT kFirst = 100;
    HMENU popup = CreatePopupMenu();
    hr = context->QueryContextMenu(popup, 0, kFirst, 0x7FFF, CMF_NORMAL);
    std::function<void(HMENU, int)> read = [&](HMENU at, int depth) {
        for (const shell_host::MenuEntry& entry : shell_host::readMenu(at)) {
            menu_text::Node node;
            node.depth = depth;
            node.separator = (entry.type & MFT_SEPARATOR) != 0;
            node.submenu = entry.submenu != nullptr;
            node.caption = entry.text;
            if (!node.separator) {
                char help[260] = {};
                context->GetCommandString(entry.id - kFirst, GCS_HELPTEXTA, nullptr, help,
                                          sizeof help);
                node.prompt = help;
            }
            menu.push_back(node);
            if (entry.submenu) read(entry.submenu, depth + 1);
        }
    };
    read(popup, 0);
    const UINT count = HRESULT_CODE(hr);
    if (count != menu.size() + 1)
        problem = "QueryContextMenu's result counts " + std::to_string(count) +
                  " (entries + 1), the menu holds " + std::to_string(menu.size()) + " entries";
    DestroyMenu(popup);
    context->Release();
    return menu;
}

}  // namespace handler_readback
