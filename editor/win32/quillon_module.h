// quillon.dll's module state: its identity, the version record, the
// thread-local slot that hands a new page its state, the symbol font of the
// action-menu button. The module handle and object count are the shared
// server module's; the toolbar pictures live in toolbar_images.
#pragma once

#include <windows.h>

namespace editor {

// {E3294060-CF0A-4B27-8F8A-8A1CF8EB2456}
extern const CLSID kQuillonClassId;
constexpr const char kQuillonFriendlyName[] = "Talvex Quillon";

const OSVERSIONINFOA& systemVersion();
DWORD pageSlot();
HFONT symbolFont();

}  // namespace editor
