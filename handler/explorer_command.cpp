#include "explorer_command.h"

#include <shlwapi.h>

#include <algorithm>
#include <new>
#include <string>
#include <utility>

#include "code_page_text.h"
#include "com_boundary.h"
#include "command_start.h"
#include "menu_store.h"
#include "registry_key_store.h"
#include "resources/korvane_resources.h"
#include "server_module.h"

namespace handler {

namespace {

constexpr std::size_t kOwnTitle = RootShape::kOwnTitle;

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
    return giveText(wideFromCodePage(iconLocation(slotOf(menu, node)).c_str()), icon);
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
        return skipped == count ? S_OK : S_FALSE;
    }
    STDMETHODIMP Reset() override {
        next_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumExplorerCommand** copy) override {
        if (!copy) return E_POINTER;
        return createObject<CommandEnumerator>(copy, menu_, list_, next_);
    }

private:
    static const shellext::InterfaceEntry kInterfaces[2];
    const std::vector<std::size_t>& entries() const { return menu_->tree.menus[list_]; }

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

    STDMETHODIMP GetTitle(IShellItemArray*, LPWSTR* name) override {
        return shellext::guardedCall([&] { return titleOf(*menu_, node_, name); });
    }
    STDMETHODIMP GetIcon(IShellItemArray*, LPWSTR* icon) override {
        return shellext::guardedCall([&] { return iconOf(*menu_, node_, icon); });
    }
    STDMETHODIMP GetToolTip(IShellItemArray*, LPWSTR* tip) override {
        return shellext::guardedCall([&] { return toolTipOf(*menu_, node_, tip); });
    }
    STDMETHODIMP GetCanonicalName(GUID* name) override {
        if (name) *name = GUID_NULL;
        return E_NOTIMPL;
    }
    STDMETHODIMP GetState(IShellItemArray*, BOOL, EXPCMDSTATE* state) override {
        if (!state) return E_POINTER;
        // An empty submenu cannot open.
        *state = entry().type == CommandNode::Type::Submenu && menu_->tree.menus[entry().menu].empty()
                     ? ECS_DISABLED
                     : ECS_ENABLED;
        return S_OK;
    }
    // The action runs for the object the menu was read for: the items of
    // a background menu may be empty, and its folder came from the site.
    STDMETHODIMP Invoke(IShellItemArray*, IBindCtx*) override {
        return shellext::guardedCall([&] {
            if (entry().type == CommandNode::Type::Command)
                startAction(menu_->tree.table[entry().offset].action, menu_->context.path);
            return S_OK;
        });
    }
    STDMETHODIMP GetFlags(EXPCMDFLAGS* flags) override {
        if (!flags) return E_POINTER;
        switch (entry().type) {
            case CommandNode::Type::Separator: *flags = ECF_ISSEPARATOR; break;
            case CommandNode::Type::Submenu: *flags = ECF_HASSUBCOMMANDS; break;
            default: *flags = ECF_DEFAULT; break;
        }
        return S_OK;
    }
    STDMETHODIMP EnumSubCommands(IEnumExplorerCommand** commands) override {
        if (commands) *commands = nullptr;
        if (entry().type != CommandNode::Type::Submenu) return E_NOTIMPL;
        return shellext::guardedCall([&] { return enumerate(menu_, entry().menu, commands); });
    }

private:
    static const shellext::InterfaceEntry kInterfaces[2];
    const CommandNode& entry() const { return menu_->tree.nodes[node_]; }

    SharedMenu menu_;
    std::size_t node_;
};

const shellext::InterfaceEntry SubCommand::kInterfaces[2] = {{&IID_IExplorerCommand, false},
                                                             {&IID_IUnknown, false}};

// All or nothing: a failure part-way releases what it made and leaves the
// position where it was, so that the next call hands out those entries.
STDMETHODIMP CommandEnumerator::Next(ULONG wanted, IExplorerCommand** commands, ULONG* given) {
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
    menu->tree = readCommandTree(registry, menu->context.kind);
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
    return shellext::guardedCall([&] {
        const CommandMenu& menu = menuFor(items);
        return titleOf(menu, menu.shape.node, name);
    });
}

STDMETHODIMP RootCommand::GetIcon(IShellItemArray* items, LPWSTR* icon) {
    return shellext::guardedCall([&] {
        const CommandMenu& menu = menuFor(items);
        return iconOf(menu, menu.shape.node, icon);
    });
}

STDMETHODIMP RootCommand::GetToolTip(IShellItemArray* items, LPWSTR* tip) {
    return shellext::guardedCall([&] {
        const CommandMenu& menu = menuFor(items);
        return toolTipOf(menu, menu.shape.node, tip);
    });
}

STDMETHODIMP RootCommand::GetCanonicalName(GUID* name) {
    if (!name) return E_POINTER;
    *name = classId_;
    return S_OK;
}

// Answered at once, whether or not Explorer allows it to be slow: the store
// is a few registry reads.
STDMETHODIMP RootCommand::GetState(IShellItemArray* items, BOOL, EXPCMDSTATE* state) {
    if (!state) return E_POINTER;
    *state = ECS_HIDDEN;
    return shellext::guardedCall([&] {
        *state = readMenu(items).shape.hidden ? ECS_HIDDEN : ECS_ENABLED;
        return S_OK;
    });
}

// The root only opens its flyout.
STDMETHODIMP RootCommand::Invoke(IShellItemArray*, IBindCtx*) { return S_OK; }

STDMETHODIMP RootCommand::GetFlags(EXPCMDFLAGS* flags) {
    if (!flags) return E_POINTER;
    *flags = ECF_HASSUBCOMMANDS;
    return S_OK;
}

STDMETHODIMP RootCommand::EnumSubCommands(IEnumExplorerCommand** commands) {
    if (commands) *commands = nullptr;
    return shellext::guardedCall([&] {
        if (!menu_) readMenu(nullptr);
        return enumerate(menu_, menu_->shape.menu, commands);
    });
}

STDMETHODIMP RootCommand::SetSite(IUnknown* site) {
    if (site) site->AddRef();
    if (site_) site_->Release();
    site_ = site;
    return S_OK;
}

STDMETHODIMP RootCommand::GetSite(REFIID interfaceId, void** site) {
    if (!site) return E_POINTER;
    *site = nullptr;
    return site_ ? site_->QueryInterface(interfaceId, site) : E_FAIL;
}

}  // namespace handler
