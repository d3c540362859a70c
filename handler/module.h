// Module-wide state of korvane.dll: the module handle, the count of live
// factories and objects, and the class identifier.
#pragma once

#include <windows.h>

namespace handler {

// {50A2C9CD-CB78-435E-941D-4169387516E2}
extern const CLSID kKorvaneClassId;
constexpr const char kFriendlyName[] = "Talvex Korvane";

HINSTANCE moduleHandle();

// Live KorvaneClassFactory and Korvane instances. Objects are apartment
// threaded, so plain counts suffice.
void objectCreated();
void objectDestroyed();
long liveObjects();

}  // namespace handler
