// quillon.dll's module state: its identity, the version record, the
// thread-local slot that hands a new page its state, the symbol font of the
// action-menu button. The module handle and object count are the shared
// server module's; the toolbar pictures live in toolbar_images.
#pragma once

#include <windows.h>

#include "class_id.h"

namespace editor {

using shellext::kQuillonClassId;
constexpr const char kQuillonFriendlyName[] = TALVEX_QUILLON_NAME;

const OSVERSIONINFOA& systemVersion();
DWORD pageSlot();
HFONT symbolFont();

}  // namespace editor
