#include "module.h"

#include <new>

#include "class_factory.h"

namespace handler {

const CLSID kKorvaneClassId = {0x50A2C9CD, 0xCB78, 0x435E,
                               {0x94, 0x1D, 0x41, 0x69, 0x38, 0x75, 0x16, 0xE2}};

namespace {
HINSTANCE g_module = nullptr;
long g_objects = 0;
}  // namespace

HINSTANCE moduleHandle() { return g_module; }
void objectCreated() { ++g_objects; }
void objectDestroyed() { --g_objects; }
long liveObjects() { return g_objects; }

}  // namespace handler

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) handler::g_module = instance;
    return TRUE;
}

extern "C" HRESULT WINAPI DllCanUnloadNow() {
    return handler::liveObjects() == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID classId, REFIID interfaceId, void** result) {
    if (!result) return E_POINTER;
    *result = nullptr;
    if (!IsEqualCLSID(classId, handler::kKorvaneClassId)) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) handler::KorvaneClassFactory();
    if (!factory) return E_OUTOFMEMORY;
    factory->AddRef();
    HRESULT status = factory->QueryInterface(interfaceId, result);
    factory->Release();  // a failed query leaves nothing behind
    return status;
}
