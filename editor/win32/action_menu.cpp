#include "action_menu.h"

#include "owned_handle.h"
#include "resource_ids.h"
#include "server_module.h"

namespace editor {

void showActionMenu(HWND page, HWND button) {
    shellext::OwnedMenu menu(LoadMenuA(shellext::moduleHandle(), MAKEINTRESOURCEA(IDM_ACTION_MENU)));
    HMENU popup = menu ? GetSubMenu(menu.get(), 0) : nullptr;
    RECT place;
    if (!popup || !GetWindowRect(button, &place)) return;
    TrackPopupMenuEx(popup, TPM_LEFTBUTTON, place.left, place.bottom, page, nullptr);
}

}  // namespace editor
