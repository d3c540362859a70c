// korvane's second front: the command objects Explorer asks for its first
// right-click menu on Windows 11 (IExplorerCommand). A root command per item
// type shows the kind's menu as subcommands, read from the same store
// through the same walk as the classic menu; a chosen command starts its
// action as the classic handler does.
//
// The store is read once per menu: when Explorer asks the root for its state
// (it does each time it shows the menu), or on its first question about
// another object. Subcommands keep the menu they were enumerated from, so an
// object Explorer keeps across menus never mixes two of them.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include <memory>

#include "class_id.h"
#include "com_object.h"
#include "command_context.h"
#include "command_tree.h"

namespace handler {

// Selected files, folders, drive roots; folder backgrounds.
using shellext::kSelectionCommandClassId;
using shellext::kBackgroundCommandClassId;

// One menu as read when it was shown: the object it is for and its tree.
struct CommandMenu {
    CommandContext context;
    CommandTree tree;
    RootShape shape;
};
using SharedMenu = std::shared_ptr<const CommandMenu>;

class RootCommand : public shellext::ComObject<IExplorerCommand, IObjectWithSite> {
public:
    STDMETHODIMP GetTitle(IShellItemArray* items, LPWSTR* name) override;
    STDMETHODIMP GetIcon(IShellItemArray* items, LPWSTR* icon) override;
    STDMETHODIMP GetToolTip(IShellItemArray* items, LPWSTR* tip) override;
    STDMETHODIMP GetCanonicalName(GUID* name) override;
    STDMETHODIMP GetState(IShellItemArray* items, BOOL okToBeSlow, EXPCMDSTATE* state) override;
    STDMETHODIMP Invoke(IShellItemArray* items, IBindCtx* bindContext) override;
    STDMETHODIMP GetFlags(EXPCMDFLAGS* flags) override;
    STDMETHODIMP EnumSubCommands(IEnumExplorerCommand** commands) override;

    STDMETHODIMP SetSite(IUnknown* site) override;
    STDMETHODIMP GetSite(REFIID interfaceId, void** site) override;

protected:
    RootCommand(const CLSID& classId, bool background);
    ~RootCommand() override;

private:
    CommandContext contextOf(IShellItemArray* items) const;
    const CommandMenu& readMenu(IShellItemArray* items);
    // The last menu read when it is for the same object, else a new one.
    const CommandMenu& menuFor(IShellItemArray* items);

    const CLSID& classId_;
    bool background_;
    IUnknown* site_ = nullptr;
    SharedMenu menu_;
};

class SelectionCommand final : public RootCommand {
public:
    SelectionCommand() : RootCommand(kSelectionCommandClassId, false) {}
};

class BackgroundCommand final : public RootCommand {
public:
    BackgroundCommand() : RootCommand(kBackgroundCommandClassId, true) {}
};

}  // namespace handler
