// The menu walk's target: real Win32 menus.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "menu_walk.h"
#include "owned_handle.h"

namespace handler {

using shellext::OwnedBitmap;
using shellext::OwnedIcon;
using shellext::OwnedMemoryDc;
using shellext::OwnedScreenDc;
using shellext::Selection;

class Win32MenuSink : public MenuSink {
public:
    // Bitmaps made for the fallback go to `bitmaps`, which outlives the menu.
    explicit Win32MenuSink(std::vector<OwnedBitmap>& bitmaps) : bitmaps_(bitmaps) {}

    MenuHandle createSubmenu() override;
    void insertSeparator(MenuHandle menu, unsigned position) override;
    bool insertItem(MenuHandle menu, unsigned position, const MenuItem& item) override;
    BitmapHandle makeIconBitmap(const ItemSlot& slot) override;

private:
    std::vector<OwnedBitmap>& bitmaps_;
};

// The small icon at index `index` of `file`; empty when there is none.
OwnedIcon extractSmallIcon(const char* file, int index);

// A slot's small icon: its own, or the system's shield; empty when there is
// none, as where the system has no stock icons (before Windows Vista).
OwnedIcon smallIconOf(const ItemSlot& slot);

// The shield's icon location "file,index", in the form the shell's icon
// functions and Windows 11's menu take; empty when the system names none.
std::wstring shieldIconLocation();

}  // namespace handler
