// What a Korvane object does: remembers the clicked object, builds the menu
// from the store, runs the chosen command, and supplies help text and icons.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "menu_walk.h"
#include "owned_handle.h"
#include "selected_object.h"

namespace handler {

using shellext::OwnedBitmap;
using shellext::OwnedIcon;
using shellext::OwnedMemoryDc;
using shellext::OwnedScreenDc;
using shellext::Selection;

struct SystemVersion {
    unsigned major;
    unsigned minor;
};
using VersionQuery = SystemVersion (*)();

// The system version decides the icon mode; tests put their own query here.
void setVersionQuery(VersionQuery query);

class MenuHandler {
public:
    MenuHandler() = default;
    MenuHandler(const MenuHandler&) = delete;
    MenuHandler& operator=(const MenuHandler&) = delete;
    ~MenuHandler();

    void initialize(LPCITEMIDLIST folder, IDataObject* selection);
    // Returns the number of entries given offsets, plus one.
    unsigned buildMenu(HMENU menu, UINT indexMenu, UINT firstId, UINT lastId);
    // False for a verb given by name, which is never one of ours; a command
    // offset is taken, whether or not its action starts.
    bool invoke(const CMINVOKECOMMANDINFO& invocation);
    // GetCommandString: help text in either character set, and whether an
    // offset is one of the menu's; korvane names no verbs.
    HRESULT commandString(UINT_PTR offset, UINT type, CHAR* buffer, UINT size) const;
    static void measureIcon(MEASUREITEMSTRUCT* measure);
    void drawIcon(const DRAWITEMSTRUCT* draw) const;

    const wchar_t* contextPath() const { return contextPath_; }
    const char* contextKind() const { return contextKind_; }

private:
    const ItemSlot* slot(UINT_PTR offset) const;
    void takeFirstSelected(IDataObject* selection);
    // Every selected object, the first the menu is for; the background's
    // folder alone.
    std::vector<std::wstring> selectedPaths() const;
    static std::vector<std::u16string> selectedPathsOf(void* handler);

    IDataObject* selection_ = nullptr;
    // As the shell names the object: a path in the code page may name another.
    shellext::PathField contextPath_ = {};
    const char* contextKind_ = nullptr;
    std::vector<ItemSlot> items_;
    // Check-mark bitmaps stay attached to menus that may still be shown.
    std::vector<OwnedBitmap> bitmaps_;
};

}  // namespace handler
