// korvane.dll's identity: its class identifier and friendly name. The module
// handle and object count are the shared server module's.
#pragma once

#include <windows.h>

#include "class_id.h"

namespace handler {

using shellext::kKorvaneClassId;
constexpr const char kFriendlyName[] = TALVEX_KORVANE_NAME;

}  // namespace handler
