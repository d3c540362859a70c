// What the editor pages know about each other's saves: a count of saves per
// kind. A page keeps the count of its kind that it last took in, so it hears
// only of saves of its own list. The pages may run on different threads,
// and, once the counts are shared, in different processes; each count is
// read and written atomically.
#pragma once

#include <atomic>
#include <cstdint>

#include "page_state.h"

namespace editor {

// The saves of the list of this kind by every page of the process; 0 until
// the first, and always 0 for a text that names no kind.
std::uint32_t saveCount(const char* kind) noexcept;

// Called by a save once it is written whole; returns the kind's new count,
// which the saving page takes in as seen.
std::uint32_t announceSave(const char* kind) noexcept;

// The counts are the process's own until they are pointed at counts that
// every editor of the user's session shares (kContextKindCount of them,
// zero when made). Call before the first page loads.
void shareSaveCounts(std::atomic<std::uint32_t>* shared) noexcept;

// The reload check's condition: another page has saved the list of this
// page's kind since this page last loaded, saved or was asked.
bool reloadWanted(const PageState& state) noexcept;

}  // namespace editor
