// korvane.dll's exports: the module's entry point, its class factory and its
// registration table.
#include "module.h"

#include "class_factory.h"
#include "korvane.h"
#include "registration.h"
#include "server_module.h"

namespace handler {

const CLSID kKorvaneClassId = {0x50A2C9CD, 0xCB78, 0x435E,
                               {0x94, 0x1D, 0x41, 0x69, 0x38, 0x75, 0x16, 0xE2}};

namespace {

// Shell classes whose context menus get the handler.
const char* const kHandlerKeyFormats[] = {
    "*\\shellex\\ContextMenuHandlers\\%s",
    "Directory\\Background\\shellex\\ContextMenuHandlers\\%s",
    "Directory\\shellex\\ContextMenuHandlers\\%s",
};

const shellext::ServerRegistration kRegistration = {
    kKorvaneClassId, kFriendlyName, kHandlerKeyFormats,
    sizeof kHandlerKeyFormats / sizeof kHandlerKeyFormats[0]};

}  // namespace

}  // namespace handler

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) shellext::setModuleHandle(instance);
    return TRUE;
}

extern "C" HRESULT WINAPI DllCanUnloadNow() { return shellext::canUnloadNow(); }

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID classId, REFIID interfaceId, void** result) {
    return shellext::getClassObject<handler::Korvane>(classId, handler::kKorvaneClassId,
                                                      interfaceId, result);
}

extern "C" HRESULT WINAPI DllRegisterServer() {
    return shellext::registerServer(handler::kRegistration, shellext::moduleHandle());
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    return shellext::unregisterServer(handler::kRegistration);
}
