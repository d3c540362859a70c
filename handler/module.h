// korvane.dll's identity: its class identifier and friendly name. The module
// handle and object count are the shared server module's.
#pragma once

#include <windows.h>

namespace handler {

// {50A2C9CD-CB78-435E-941D-4169387516E2}
extern const CLSID kKorvaneClassId;
constexpr const char kFriendlyName[] = "Talvex Korvane";

}  // namespace handler
