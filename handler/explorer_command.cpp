#include "explorer_command.h"

#include <shlwapi.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <utility>

#include "code_page_text.h"
#include "com_boundary.h"
#include "command_start.h"
#include "menu_store.h"
#include "name_filter.h"
#include "registry_key_store.h"
#include "resources/korvane_resources.h"
#include "server_module.h"
#include "trace.h"
#include "win32_menu.h"

namespace handler {

namespace {

constexpr std::size_t kOwnTitle = RootShape::kOwnTitle;

using shellext::traced;
using shellext::traceText;

bool sameKind(const char* kind, const char* other) {
    return kind && std::strcmp(kind, other) == 0;
}

// For the trace: how many items a call was given.
std::string itemsText(IShellItemArray* items) {
    DWORD count = 0;
    if (!items) return "items=null";
    if (FAILED(items->GetCount(&count))) return "items=?";
    return traceText("items=%lu", count);
}

// Hands out a new object of T as its first interface, with one reference.
template <typename T, typename Interface, typename... Args>
HRESULT createObject(Interface** result, Args&&... args) {
    *result = nullptr;
    T* object = new (std::nothrow) T(std::forward<Args>(args)...);
    if (!object) return E_OUTOFMEMORY;
    object->AddRef();
    *result = object;
    return S_OK;
}

// The shell frees what it is given with CoTaskMemFree. Empty text is no
// text: the shell then shows none.
HRESULT giveText(const std::wstring& text, LPWSTR* out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (text.empty()) return E_NOTIMPL;
    return SHStrDupW(text.c_str(), out);
}

// "korvane.dll,-id": the shell's form for an icon resource of a module.
std::wstring ownIconLocation() {
    std::wstring path(32768, L'\0');
    DWORD length = GetModuleFileNameW(shellext::moduleHandle(), &path[0],
                                      static_cast<DWORD>(path.size()));
    if (length == 0 || length >= path.size()) return std::wstring();
    path.resize(length);
    return path + L",-" + std::to_wstring(IDI_KORVANE);
}

const ItemSlot& slotOf(const CommandMenu& menu, std::size_t node) {
    return menu.tree.table[menu.tree.nodes[node].offset];
}

HRESULT titleOf(const CommandMenu& menu, std::size_t node, LPWSTR* name) {
    if (node == kOwnTitle) return giveText(wideFromCodePage(kRootTitle), name);
    if (!name) return E_POINTER;
    *name = nullptr;
    const CommandNode& entry = menu.tree.nodes[node];
    // A separator shows only when it has no title: S_FALSE says so, and the
    // empty text beside it serves a host that tests for success alone.
    if (entry.type == CommandNode::Type::Separator) {
        *name = static_cast<LPWSTR>(CoTaskMemAlloc(sizeof(wchar_t)));
        if (!*name) return E_OUTOFMEMORY;
        **name = L'\0';
        return S_FALSE;
    }
    std::wstring caption = wideFromCodePage(entry.caption.c_str());
    return SHStrDupW(caption.c_str(), name);
}

HRESULT iconOf(const CommandMenu& menu, std::size_t node, LPWSTR* icon) {
    if (node == kOwnTitle) return giveText(ownIconLocation(), icon);
    if (menu.tree.nodes[node].type == CommandNode::Type::Separator) return giveText(L"", icon);
    const ItemSlot& slot = slotOf(menu, node);
    if (slot.shield) return giveText(shieldIconLocation(), icon);
    return giveText(wideFromCodePage(iconLocation(slot).c_str()), icon);
}

HRESULT toolTipOf(const CommandMenu& menu, std::size_t node, LPWSTR* tip) {
    if (node == kOwnTitle || menu.tree.nodes[node].type == CommandNode::Type::Separator)
        return giveText(L"", tip);
    return giveText(wideFromCodePage(slotOf(menu, node).prompt), tip);
}

class SubCommand;

class CommandEnumerator final : public shellext::ComObject<IEnumExplorerCommand> {
public:
    CommandEnumerator(SharedMenu menu, std::size_t list, std::size_t next = 0)
        : ComObject(kInterfaces), menu_(std::move(menu)), list_(list), next_(next) {}

    STDMETHODIMP Next(ULONG wanted, IExplorerCommand** commands, ULONG* given) override;
    STDMETHODIMP Skip(ULONG count) override {
        std::size_t skipped = std::min<std::size_t>(entries().size() - next_, count);
        next_ += skipped;
        return traced("CommandEnumerator::Skip", [&] { return traceText("%lu", count); },
                      skipped == count ? S_OK : S_FALSE);
    }
    STDMETHODIMP Reset() override {
        next_ = 0;
        return traced("CommandEnumerator::Reset", S_OK);
    }
    STDMETHODIMP Clone(IEnumExplorerCommand** copy) override {
        return traced("CommandEnumerator::Clone",
                      copy ? createObject<CommandEnumerator>(copy, menu_, list_, next_) : E_POINTER);
    }

private:
    static const shellext::InterfaceEntry kInterfaces[2];
    const std::vector<std::size_t>& entries() const { return menu_->tree.menus[list_]; }
    HRESULT next(ULONG wanted, IExplorerCommand** commands, ULONG* given);

    SharedMenu menu_;
    std::size_t list_;
    std::size_t next_;
};

const shellext::InterfaceEntry CommandEnumerator::kInterfaces[2] = {
    {&IID_IEnumExplorerCommand, false}, {&IID_IUnknown, false}};

HRESULT enumerate(const SharedMenu& menu, std::size_t list, IEnumExplorerCommand** commands) {
    if (!commands) return E_POINTER;
    return createObject<CommandEnumerator>(commands, menu, list);
}

// An entry of the menu below the root.
class SubCommand final : public shellext::ComObject<IExplorerCommand> {
public:
    SubCommand(SharedMenu menu, std::size_t node)
        : ComObject(kInterfaces), menu_(std::move(menu)), node_(node) {}

    STDMETHODIMP GetTitle(IShellItemArray* items, LPWSTR* name) override {
        return traced("SubCommand::GetTitle", [&] { return described(items); },
                      shellext::guardedCall([&] { return titleOf(*menu_, node_, name); }));
    }
    STDMETHODIMP GetIcon(IShellItemArray* items, LPWSTR* icon) override {
        return traced("SubCommand::GetIcon", [&] { return described(items); },
                      shellext::guardedCall([&] { return iconOf(*menu_, node_, icon); }));
    }
    STDMETHODIMP GetToolTip(IShellItemArray* items, LPWSTR* tip) override {
        return traced("SubCommand::GetToolTip", [&] { return described(items); },
                      shellext::guardedCall([&] { return toolTipOf(*menu_, node_, tip); }));
    }
    STDMETHODIMP GetCanonicalName(GUID* name) override {
        if (name) *name = GUID_NULL;
        return traced("SubCommand::GetCanonicalName", E_NOTIMPL);
    }
    STDMETHODIMP GetState(IShellItemArray* items, BOOL, EXPCMDSTATE* state) override {
        if (state) {
            // An empty submenu cannot open.
            *state = entry().type == CommandNode::Type::Submenu &&
                             menu_->tree.menus[entry().menu].empty()
                         ? ECS_DISABLED
                         : ECS_ENABLED;
        }
        return traced("SubCommand::GetState", [&] { return described(items); },
                      state ? S_OK : E_POINTER);
    }
    // The action runs for the object the menu was read for: the items of
    // a background menu may be empty, and its folder came from the site.
    STDMETHODIMP Invoke(IShellItemArray* items, IBindCtx*) override {
        return traced("SubCommand::Invoke", [&] { return described(items); },
                      shellext::guardedCall([&] {
                          if (entry().type == CommandNode::Type::Command) start(items);
                          return S_OK;
                      }));
    }
    STDMETHODIMP GetFlags(EXPCMDFLAGS* flags) override {
        if (flags) {
            switch (entry().type) {
                case CommandNode::Type::Separator: *flags = ECF_ISSEPARATOR; break;
                case CommandNode::Type::Submenu: *flags = ECF_HASSUBCOMMANDS; break;
                default: *flags = ECF_DEFAULT; break;
            }
        }
        return traced("SubCommand::GetFlags", [&] { return described(nullptr); },
                      flags ? S_OK : E_POINTER);
    }
    STDMETHODIMP EnumSubCommands(IEnumExplorerCommand** commands) override {
        if (commands) *commands = nullptr;
        HRESULT result = entry().type != CommandNode::Type::Submenu
                             ? E_NOTIMPL
                             : shellext::guardedCall([&] { return enumerate(menu_, entry().menu, commands); });
        return traced("SubCommand::EnumSubCommands", [&] { return described(nullptr); }, result);
    }

private:
    static const shellext::InterfaceEntry kInterfaces[2];
    const CommandNode& entry() const { return menu_->tree.nodes[node_]; }
    // The selected items, read only for a command that takes them all; the
    // first is the object the menu was read for.
    void start(IShellItemArray* items) const {
        const ChosenCommand chosen = chosenCommand(menu_->tree.table[entry().offset].id);
        std::vector<std::wstring> paths{menu_->context.path};
        if (chosen.selection != store::kSelectionFirstOnly &&
            !sameKind(menu_->context.kind, store::kKindBackground)) {
            std::vector<std::wstring> all = itemPaths(items);
            if (!all.empty() && all.front() == paths.front()) paths.swap(all);
        }
        startCommand(chosen.toStart(), paths, nullptr);
    }
    // For the trace: which entry, and how many items the call was given.
    std::string described(IShellItemArray* items) const {
        return traceText("\"%s\" ", entry().caption.c_str()) + itemsText(items);
    }

    SharedMenu menu_;
    std::size_t node_;
};

const shellext::InterfaceEntry SubCommand::kInterfaces[2] = {{&IID_IExplorerCommand, false},
                                                             {&IID_IUnknown, false}};

STDMETHODIMP CommandEnumerator::Next(ULONG wanted, IExplorerCommand** commands, ULONG* given) {
    return traced("CommandEnumerator::Next", [&] {
        return traceText("%lu given=%lu", wanted, given ? *given : 0UL);
    }, next(wanted, commands, given));
}

// All or nothing: a failure part-way releases what it made and leaves the
// position where it was, so that the next call hands out those entries.
HRESULT CommandEnumerator::next(ULONG wanted, IExplorerCommand** commands, ULONG* given) {
    if (given) *given = 0;
    if (!commands || (!given && wanted != 1)) return E_POINTER;
    ULONG count = 0;
    while (count < wanted && next_ + count < entries().size()) {
        HRESULT made = createObject<SubCommand>(&commands[count], menu_, entries()[next_ + count]);
        if (FAILED(made)) {
            while (count > 0) {
                commands[--count]->Release();
                commands[count] = nullptr;
            }
            return made;
        }
        ++count;
    }
    next_ += count;
    if (given) *given = count;
    return count == wanted ? S_OK : S_FALSE;
}

const shellext::InterfaceEntry kRootInterfaces[] = {
    {&IID_IExplorerCommand, false}, {&IID_IUnknown, false}, {&IID_IObjectWithSite, true}};

}  // namespace

RootCommand::RootCommand(const CLSID& classId, bool background)
    : ComObject(kRootInterfaces), classId_(classId), background_(background) {}

RootCommand::~RootCommand() {
    if (site_) site_->Release();
}

CommandContext RootCommand::contextOf(IShellItemArray* items) const {
    return background_ ? backgroundContext(items, site_) : selectionContext(items);
}

const CommandMenu& RootCommand::readMenu(IShellItemArray* items) {
    auto menu = std::make_shared<CommandMenu>();
    menu->context = contextOf(items);
    store::RegistryKeyStore registry;
    // The selection past its first item is read only where an item filters.
    DeferredSelectionFilter filter(
        [](void* array) { return text16Of(itemPaths(static_cast<IShellItemArray*>(array))); },
        items, &text16FromCodePage);
    menu->tree = readCommandTree(registry, menu->context.kind,
                                 filtersApplyTo(menu->context.kind) ? &filter : nullptr);
    menu->shape = rootShape(menu->tree);
    // As after the classic handler's initialisation: a folder's Properties
    // page opened from this menu edits the menu it came from.
    store::writeBackgroundFlag(registry, background_);
    menu_ = std::move(menu);
    return *menu_;
}

// A question without items is about the menu last shown: Explorer may ask
// so after GetState, and reading the store for no object would put an
// empty menu in place of the one just read.
const CommandMenu& RootCommand::menuFor(IShellItemArray* items) {
    if (menu_ && (!items || sameContext(menu_->context, contextOf(items)))) return *menu_;
    return readMenu(items);
}

STDMETHODIMP RootCommand::GetTitle(IShellItemArray* items, LPWSTR* name) {
    return traced("RootCommand::GetTitle", [&] { return itemsText(items); }, shellext::guardedCall([&] {
        const CommandMenu& menu = menuFor(items);
        return titleOf(menu, menu.shape.node, name);
    }));
}

STDMETHODIMP RootCommand::GetIcon(IShellItemArray* items, LPWSTR* icon) {
    return traced("RootCommand::GetIcon", [&] { return itemsText(items); }, shellext::guardedCall([&] {
        const CommandMenu& menu = menuFor(items);
        return iconOf(menu, menu.shape.node, icon);
    }));
}

STDMETHODIMP RootCommand::GetToolTip(IShellItemArray* items, LPWSTR* tip) {
    return traced("RootCommand::GetToolTip", [&] { return itemsText(items); }, shellext::guardedCall([&] {
        const CommandMenu& menu = menuFor(items);
        return toolTipOf(menu, menu.shape.node, tip);
    }));
}

STDMETHODIMP RootCommand::GetCanonicalName(GUID* name) {
    if (name) *name = classId_;
    return traced("RootCommand::GetCanonicalName", name ? S_OK : E_POINTER);
}

// Answered at once, whether or not Explorer allows it to be slow: the store
// is a few registry reads.
STDMETHODIMP RootCommand::GetState(IShellItemArray* items, BOOL okToBeSlow, EXPCMDSTATE* state) {
    HRESULT result = E_POINTER;
    if (state) {
        *state = ECS_HIDDEN;
        result = shellext::guardedCall([&] {
            *state = readMenu(items).shape.hidden ? ECS_HIDDEN : ECS_ENABLED;
            return S_OK;
        });
    }
    return traced("RootCommand::GetState", [&] {
        return itemsText(items) + traceText(" slow=%d state=%d kind=%s", okToBeSlow,
                                            state ? static_cast<int>(*state) : -1,
                                            menu_ && menu_->context.kind ? menu_->context.kind : "(none)");
    }, result);
}

// The root only opens its flyout.
STDMETHODIMP RootCommand::Invoke(IShellItemArray* items, IBindCtx*) {
    return traced("RootCommand::Invoke", [&] { return itemsText(items); }, S_OK);
}

STDMETHODIMP RootCommand::GetFlags(EXPCMDFLAGS* flags) {
    if (flags) *flags = ECF_HASSUBCOMMANDS;
    return traced("RootCommand::GetFlags", flags ? S_OK : E_POINTER);
}

STDMETHODIMP RootCommand::EnumSubCommands(IEnumExplorerCommand** commands) {
    if (commands) *commands = nullptr;
    return traced("RootCommand::EnumSubCommands", shellext::guardedCall([&] {
        if (!menu_) readMenu(nullptr);
        return enumerate(menu_, menu_->shape.menu, commands);
    }));
}

STDMETHODIMP RootCommand::SetSite(IUnknown* site) {
    if (site) site->AddRef();
    if (site_) site_->Release();
    site_ = site;
    return traced("RootCommand::SetSite", [&] { return std::string(site ? "site" : "null"); }, S_OK);
}

STDMETHODIMP RootCommand::GetSite(REFIID interfaceId, void** site) {
    HRESULT result = E_POINTER;
    if (site) {
        *site = nullptr;
        result = site_ ? site_->QueryInterface(interfaceId, site) : E_FAIL;
    }
    return traced("RootCommand::GetSite", [&] { return shellext::guidText(interfaceId); }, result);
}

}  // namespace handler
