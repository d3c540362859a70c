#include "packaged_menu.h"

#include <windows.h>

#include "owned_handle.h"

namespace handler {

bool packagedMenuRegistered() {
    // The installer writes the 64-bit view; a 32-bit host reads it there too.
    HKEY opened = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kMachineKey, 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY,
                      &opened) != ERROR_SUCCESS)
        return false;
    shellext::OwnedKey key(opened);
    DWORD value = 0, size = sizeof value, type = 0;
    if (RegQueryValueExA(key.get(), kPackagedMenuValue, nullptr, &type,
                         reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS)
        return false;
    return type == REG_DWORD && size == sizeof value && value != 0;
}

}  // namespace handler
