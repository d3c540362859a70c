// What the editor pages of one process know about each other's saves. The
// pages may run on different threads; each value is read and written
// atomically, and nothing takes a lock.
#pragma once

#include <cstdint>

#include "page_state.h"

namespace editor {

// Counts the saves of every page of the process; 0 until the first.
std::uint32_t saveGeneration() noexcept;
// The page window that saved last; nullptr before the first save.
WindowHandle lastSaver() noexcept;
// Whether some page of the process has saved the list of this kind.
bool kindSaved(const char* kind) noexcept;

// Called by a save before it writes anything.
void announceSave(WindowHandle page, const char* kind) noexcept;

// The reload check's conditions: another page has saved the list of this
// page's kind since this page last took in the generation.
bool reloadWanted(const PageState& state, WindowHandle page) noexcept;

}  // namespace editor
