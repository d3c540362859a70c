// korvane.dll's command objects hosted as Explorer's first right-click menu
// hosts them: created through DllGetClassObject (the package declares them,
// nothing registers them), given the shell's item arrays, and walked through
// their subcommands. For the Wine tests and the benchmark.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "shell_host.h"

namespace command_host {

constexpr CLSID kSelectionClass = shellext::kSelectionCommandClassId;
constexpr CLSID kBackgroundClass = shellext::kBackgroundCommandClassId;

// A root command of `module` (korvane.dll, loaded); null when it serves none.
inline IExplorerCommand* createRoot(HMODULE module, const CLSID& classId) {
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    auto get = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    IClassFactory* factory = nullptr;
    if (!get || FAILED(get(classId, IID_IClassFactory, reinterpret_cast<void**>(&factory))))
        return nullptr;
    IExplorerCommand* command = nullptr;
    if (FAILED(factory->CreateInstance(nullptr, IID_IExplorerCommand,
                                       reinterpret_cast<void**>(&command))))
        command = nullptr;
    factory->Release();
    return command;
}

// The shell's item array holding the one item at `path` (UTF-8).
inline IShellItemArray* itemsFor(const std::string& path) {
    IShellItem* item = nullptr;
    if (FAILED(SHCreateItemFromParsingName(shell_host::wide(path).c_str(), nullptr, IID_IShellItem,
                                           reinterpret_cast<void**>(&item))))
        return nullptr;
    IShellItemArray* items = nullptr;
    if (FAILED(SHCreateShellItemArrayFromShellItem(item, IID_IShellItemArray,
                                                   reinterpret_cast<void**>(&items))))
        items = nullptr;
    item->Release();
    return items;
}

// The shell's item array holding the items at `paths` (UTF-8), in order.
inline IShellItemArray* itemsFor(const std::vector<std::string>& paths) {
    std::vector<LPITEMIDLIST> lists;
    for (const std::string& path : paths)
        if (LPITEMIDLIST list = shell_host::idListFor(path)) lists.push_back(list);
    IShellItemArray* items = nullptr;
    if (lists.size() != paths.size() ||
        FAILED(SHCreateShellItemArrayFromIDLists(static_cast<UINT>(lists.size()),
                                                 const_cast<LPCITEMIDLIST*>(lists.data()), &items)))
        items = nullptr;
    for (LPITEMIDLIST list : lists) CoTaskMemFree(list);
    return items;
}

// A string the command gives through `ask` (UTF-8, freed); "<none>" when
// it gives none. `result` receives what the call returned.
template <typename Ask>
std::string taken(Ask&& ask, HRESULT* result = nullptr) {
    LPWSTR text = nullptr;
    HRESULT status = ask(&text);
    if (result) *result = status;
    if (!text) return "<none>";
    std::string out = SUCCEEDED(status) ? shell_host::utf8(text) : "<failed but gave a string>";
    CoTaskMemFree(text);
    return out;
}

// Its subcommands, each with one reference for the caller.
inline std::vector<IExplorerCommand*> subcommands(IExplorerCommand* command) {
    std::vector<IExplorerCommand*> all;
    IEnumExplorerCommand* list = nullptr;
    if (FAILED(command->EnumSubCommands(&list)) || !list) return all;
    IExplorerCommand* next[4] = {};
    ULONG given = 0;
    while (SUCCEEDED(list->Next(4, next, &given)) && given > 0)
        all.insert(all.end(), next, next + given);
    list->Release();
    return all;
}

// Everything Explorer asks of a command and its subcommands, to any depth,
// state first (a root reads its menu then), as
// "title{icon|tooltip|flags/state}[subcommands]" joined by ", "; a
// separator is "-". `visited` counts the subcommands asked.
inline std::string walk(IExplorerCommand* command, IShellItemArray* items,
                        std::size_t* visited = nullptr) {
    EXPCMDSTATE state = 0;
    command->GetState(items, FALSE, &state);  // first, as Explorer asks
    HRESULT titled = E_FAIL;
    std::string title = taken([&](LPWSTR* text) { return command->GetTitle(items, text); }, &titled);
    EXPCMDFLAGS flags = 0;
    command->GetFlags(&flags);
    // A separator: S_FALSE, and an empty title for hosts that test for success.
    if (flags & ECF_ISSEPARATOR) return titled == S_FALSE && title.empty() ? "-" : "-?" + title;
    std::string icon = taken([&](LPWSTR* text) { return command->GetIcon(items, text); });
    std::string tip = taken([&](LPWSTR* text) { return command->GetToolTip(items, text); });
    std::string out = title + "{" + icon + "|" + tip + "|" + std::to_string(flags) + "/" +
                      std::to_string(state) + "}";
    if (flags & ECF_HASSUBCOMMANDS) {
        out += "[";
        std::vector<IExplorerCommand*> subs = subcommands(command);
        for (std::size_t i = 0; i < subs.size(); ++i) {
            if (visited) ++*visited;
            out += (i ? ", " : "") + walk(subs[i], items, visited);
            subs[i]->Release();
        }
        out += "]";
    }
    return out;
}

}  // namespace command_host
