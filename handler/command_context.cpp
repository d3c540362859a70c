#include "command_context.h"

#include <shlobj.h>

#include <cstring>
#include <cwchar>

#include "context_kind.h"

namespace handler {

namespace {

enum class ItemRead { NoItem, NoPath, Read };

ItemRead readItemPath(IShellItem* item, shellext::PathField& path) {
    path[0] = L'\0';
    if (!item) return ItemRead::NoItem;
    PWSTR name = nullptr;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, &name)) || !name) return ItemRead::NoPath;
    // A path cut short names another object: a longer one is refused.
    std::size_t length = std::wcslen(name);
    bool fits = length > 0 && length < shellext::kPathChars;
    if (fits) std::wmemcpy(path, name, length + 1);
    CoTaskMemFree(name);
    return fits ? ItemRead::Read : ItemRead::NoPath;
}

ItemRead readFirstItem(IShellItemArray* items, shellext::PathField& path) {
    path[0] = L'\0';
    DWORD count = 0;
    if (!items || FAILED(items->GetCount(&count)) || count == 0) return ItemRead::NoItem;
    IShellItem* item = nullptr;
    if (FAILED(items->GetItemAt(0, &item)) || !item) return ItemRead::NoItem;
    ItemRead read = readItemPath(item, path);
    item->Release();
    return read;
}

ItemRead readSiteFolder(IUnknown* site, shellext::PathField& path) {
    path[0] = L'\0';
    IServiceProvider* services = nullptr;
    if (!site || FAILED(site->QueryInterface(IID_IServiceProvider,
                                             reinterpret_cast<void**>(&services))))
        return ItemRead::NoItem;
    IFolderView* view = nullptr;
    HRESULT found = services->QueryService(SID_SFolderView, IID_IFolderView,
                                           reinterpret_cast<void**>(&view));
    services->Release();
    if (FAILED(found) || !view) return ItemRead::NoItem;
    IShellItem* folder = nullptr;
    HRESULT got = view->GetFolder(IID_IShellItem, reinterpret_cast<void**>(&folder));
    view->Release();
    if (FAILED(got) || !folder) return ItemRead::NoItem;
    ItemRead read = readItemPath(folder, path);
    folder->Release();
    return read;
}

}  // namespace

std::vector<std::wstring> itemPaths(IShellItemArray* items) {
    std::vector<std::wstring> paths;
    DWORD count = 0;
    if (!items || FAILED(items->GetCount(&count))) return paths;
    paths.reserve(count);
    for (DWORD i = 0; i < count; ++i) {
        IShellItem* item = nullptr;
        if (FAILED(items->GetItemAt(i, &item)) || !item) continue;
        PWSTR name = nullptr;
        if (SUCCEEDED(item->GetDisplayName(SIGDN_FILESYSPATH, &name)) && name) {
            try {
                paths.emplace_back(name);
            } catch (...) {
                CoTaskMemFree(name);
                item->Release();
                throw;
            }
            CoTaskMemFree(name);
        }
        item->Release();
    }
    return paths;
}

CommandContext selectionContext(IShellItemArray* items) {
    CommandContext context;
    if (readFirstItem(items, context.path) == ItemRead::Read)
        context.kind = store::decideContextKind(shellext::factsAbout(context.path), nullptr);
    return context;
}

CommandContext backgroundContext(IShellItemArray* items, IUnknown* site) {
    CommandContext context;
    ItemRead read = readFirstItem(items, context.path);
    if (read == ItemRead::NoItem) read = readSiteFolder(site, context.path);
    if (read != ItemRead::NoItem) {
        store::ContextFacts facts;
        facts.onBackground = true;
        context.kind = store::decideContextKind(facts, nullptr);
    }
    return context;
}

bool sameContext(const CommandContext& a, const CommandContext& b) {
    bool sameKind = a.kind == b.kind || (a.kind && b.kind && std::strcmp(a.kind, b.kind) == 0);
    return sameKind && std::wcscmp(a.path, b.path) == 0;
}

}  // namespace handler
