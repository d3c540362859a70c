#include "action_menu.h"

#include "owned_handle.h"
#include "resource_ids.h"
#include "server_module.h"

namespace editor {

void showActionMenu(HWND page, HWND button, ActionMenuChecks checks) {
    shellext::OwnedMenu menu(LoadMenuA(shellext::moduleHandle(), MAKEINTRESOURCEA(IDM_ACTION_MENU)));
    HMENU popup = menu ? GetSubMenu(menu.get(), 0) : nullptr;
    RECT place;
    if (!popup || !GetWindowRect(button, &place)) return;
    // By command: both calls find the items inside the submenu too.
    CheckMenuRadioItem(popup, IDM_ACTION_FIRST_ONLY, IDM_ACTION_ALL_AT_ONCE, checks.selectionCommand,
                       MF_BYCOMMAND);
    CheckMenuItem(popup, IDM_ACTION_RUN_AS_ADMINISTRATOR,
                  MF_BYCOMMAND | (checks.runAs ? MF_CHECKED : MF_UNCHECKED));
    TrackPopupMenuEx(popup, TPM_LEFTBUTTON, place.left, place.bottom, page, nullptr);
}

}  // namespace editor
