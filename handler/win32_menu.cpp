#include "win32_menu.h"

#include <shellapi.h>

namespace handler {

OwnedIcon extractSmallIcon(const char* file, int index) {
    HICON small = nullptr;
    if (!file || !file[0]) return OwnedIcon();
    if (ExtractIconExA(file, index, nullptr, &small, 1) == 0 || small == nullptr)
        return OwnedIcon();
    return OwnedIcon(small);
}

MenuHandle Win32MenuSink::createSubmenu() { return CreatePopupMenu(); }

void Win32MenuSink::insertSeparator(MenuHandle menu, unsigned position) {
    InsertMenuA(static_cast<HMENU>(menu), position, MF_BYPOSITION | MF_SEPARATOR, 0, nullptr);
}

bool Win32MenuSink::insertItem(MenuHandle menu, unsigned position, const MenuItem& item) {
    MENUITEMINFOA info = {};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING | MIIM_ID;
    info.fType = MFT_STRING;
    info.dwTypeData = const_cast<char*>(item.caption);
    info.wID = item.id;
    if (item.ownerDrawnIcon) {
        info.fMask |= MIIM_BITMAP | MIIM_DATA;
        info.hbmpItem = HBMMENU_CALLBACK;
        info.dwItemData = item.itemData;
    }
    if (item.checkMarks) {
        info.fMask |= MIIM_CHECKMARKS;
        info.hbmpChecked = info.hbmpUnchecked = static_cast<HBITMAP>(item.checkMarks);
    }
    if (item.submenu) {
        info.fMask |= MIIM_SUBMENU;
        info.hSubMenu = static_cast<HMENU>(item.submenu);
    }
    if (InsertMenuItemA(static_cast<HMENU>(menu), position, TRUE, &info)) return true;
    if (item.submenu) DestroyMenu(static_cast<HMENU>(item.submenu));  // nobody else owns it now
    return false;
}

BitmapHandle Win32MenuSink::makeIconBitmap(const char* file, int index) {
    OwnedIcon icon = extractSmallIcon(file, index);
    if (!icon) return nullptr;
    int width = GetSystemMetrics(SM_CXMENUCHECK);
    int height = GetSystemMetrics(SM_CYMENUCHECK);
    OwnedScreenDc screen(GetDC(nullptr));
    if (!screen) return nullptr;
    OwnedBitmap bitmap(CreateCompatibleBitmap(screen.get(), width, height));
    OwnedMemoryDc memory(CreateCompatibleDC(screen.get()));
    if (!bitmap || !memory) return nullptr;
    {
        Selection selected(memory.get(), bitmap.get());
        RECT all = {0, 0, width, height};
        ExtTextOutA(memory.get(), 0, 0, ETO_OPAQUE, &all, nullptr, 0, nullptr);
        DrawIconEx(memory.get(), 0, 0, icon.get(), width, height, 0, nullptr, DI_NORMAL);
    }
    HBITMAP made = bitmap.get();
    bitmaps_.push_back(std::move(bitmap));
    return made;
}

}  // namespace handler
