// DllRegisterServer and DllUnregisterServer of a shell extension, over one
// const description walked by both: the class key with its in-process server
// entry, and the shell's handler keys that name the class.
#pragma once

#include <windows.h>

#include <cstddef>

namespace shellext {

struct ServerRegistration {
    const CLSID& classId;
    const char* friendlyName;  // the class key's default value and each handler key's name
    // "*\\shellex\\...\\%s" with %s the friendly name. The last key decides
    // the result of registering and of unregistering.
    const char* const* handlerKeyFormats;
    std::size_t handlerKeyCount;
};

// S_OK, or E_UNEXPECTED when the last handler key could not be created.
HRESULT registerServer(const ServerRegistration& server, HINSTANCE module);
// S_OK, or E_UNEXPECTED when the last handler key could not be deleted.
HRESULT unregisterServer(const ServerRegistration& server);

}  // namespace shellext
