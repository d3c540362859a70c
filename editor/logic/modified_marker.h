// The page's modified marker: the flag, the sheet's Apply button and a "*"
// before the tab's title.
#pragma once

#include "page_view.h"

namespace editor {

// The tab text is read into a buffer of this many characters.
constexpr std::size_t kTabTextSize = 260;

// Each does nothing when the page is already in the wanted state, so the "*"
// never doubles and is never taken off twice.
void markModified(Page& page) noexcept;
void clearModified(Page& page) noexcept;

}  // namespace editor
