// DllMain and the four exports of an in-process server, over the module's
// own description (kServer). A library of its own, linked whole into each
// DLL and into nothing else: test programs link the modules' code without
// these entry points.
#include "server_exports.h"

#include "server_module.h"
#include "trace.h"

// A process that ends (reserved not null) has stopped its other threads
// already, and a lock one of them held stays held: the module then frees
// nothing and calls nothing, and the system takes back the whole process.
// FreeLibrary (reserved null) is the one detach that tears down.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    const shellext::ServerDescription& server = shellext::kServer;
    if (reason == DLL_PROCESS_ATTACH) {
        shellext::setModuleHandle(instance);
        return server.startUp ? server.startUp(instance) : TRUE;
    }
    if (reason == DLL_PROCESS_DETACH && !reserved && server.shutDown) server.shutDown();
    return TRUE;
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
    return shellext::traced("DllCanUnloadNow", shellext::canUnloadNow());
}

namespace {

HRESULT classObject(REFCLSID classId, REFIID interfaceId, void** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    const shellext::ServerDescription& server = shellext::kServer;
    for (std::size_t i = 0; i < server.classCount; ++i) {
        if (IsEqualCLSID(classId, server.classes[i].id))
            return server.classes[i].createFactory(interfaceId, result);
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

}  // namespace

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID classId, REFIID interfaceId, void** result) {
    return shellext::traced(
        "DllGetClassObject",
        [&] { return shellext::guidText(classId) + " " + shellext::guidText(interfaceId); },
        classObject(classId, interfaceId, result));
}

extern "C" HRESULT WINAPI DllRegisterServer() {
    return shellext::traced("DllRegisterServer", shellext::registerServer(
                                                     shellext::kServer.registration,
                                                     shellext::moduleHandle()));
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    return shellext::traced("DllUnregisterServer",
                            shellext::unregisterServer(shellext::kServer.registration));
}
