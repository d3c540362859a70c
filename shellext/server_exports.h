// What a DLL tells the four COM exports and DllMain about itself: the
// classes it serves, its registration table, and what it does when it is
// loaded and unloaded. Each DLL defines `kServer` once (its module file);
// server_exports.cpp, linked into each DLL, defines the exports over it.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <cstddef>

#include "class_factory.h"
#include "registration.h"

namespace shellext {

struct ServedClass {
    const CLSID& id;
    // DllGetClassObject for this class once the id matched: a new factory.
    HRESULT (*createFactory)(REFIID interfaceId, void** result);
};

// The factory of Object, for a class table.
template <typename Object>
HRESULT createFactoryOf(REFIID interfaceId, void** result) {
    return ClassFactory<Object>::template createAndQuery<ClassFactory<Object>>(interfaceId,
                                                                              result);
}

struct ServerDescription {
    const ServedClass* classes;
    std::size_t classCount;
    const ServerRegistration& registration;
    // Both optional: what the module sets up after the module handle is
    // known (FALSE refuses the load), and tears down at unload.
    BOOL (*startUp)(HINSTANCE module);
    void (*shutDown)();
};

extern const ServerDescription kServer;

}  // namespace shellext
