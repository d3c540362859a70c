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

namespace {

using StockIconQuery = HRESULT(WINAPI*)(SHSTOCKICONID, UINT, SHSTOCKICONINFO*);

// SHGetStockIconInfo, found when used: shell32 has it from Windows Vista
// on, and a DLL that imported it would not load on older systems at all.
bool stockShield(UINT flags, SHSTOCKICONINFO& info) {
    HMODULE shell = GetModuleHandleW(L"shell32.dll");
    if (!shell) return false;
    auto query = reinterpret_cast<StockIconQuery>(
        reinterpret_cast<void*>(GetProcAddress(shell, "SHGetStockIconInfo")));
    if (!query) return false;
    info = SHSTOCKICONINFO{};
    info.cbSize = sizeof info;
    if (FAILED(query(SIID_SHIELD, flags, &info))) {
        if (info.hIcon) DestroyIcon(info.hIcon);  // nothing is left to whoever asked
        return false;
    }
    info.szPath[MAX_PATH - 1] = L'\0';  // a path that fills the field still ends
    return true;
}

}  // namespace

OwnedIcon smallIconOf(const ItemSlot& slot) {
    if (!slot.shield) return extractSmallIcon(slot.iconFile, slot.iconIndex);
    SHSTOCKICONINFO info;
    // The icon is the caller's to destroy.
    if (!stockShield(SHGSI_ICON | SHGSI_SMALLICON, info)) return OwnedIcon();
    return OwnedIcon(info.hIcon);
}

std::wstring shieldIconLocation() {
    SHSTOCKICONINFO info;
    // The location comes with every call (SHGSI_ICONLOCATION is 0), as
    // ExtractIcon takes it: a negative index is a resource id, which is
    // what "file,-id" means to the shell as well.
    if (!stockShield(SHGSI_ICONLOCATION, info) || info.szPath[0] == L'\0') return std::wstring();
    return std::wstring(info.szPath) + L"," + std::to_wstring(info.iIcon);
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

BitmapHandle Win32MenuSink::makeIconBitmap(const ItemSlot& slot) {
    OwnedIcon icon = smallIconOf(slot);
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
