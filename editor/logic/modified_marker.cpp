#include "modified_marker.h"

#include "menu_store.h"

namespace editor {

void markModified(Page& page) noexcept {
    if (page.state.modified) return;
    page.state.modified = 1;
    page.sheet.sendChanged();
    char text[kTabTextSize] = {};
    page.sheet.readTabText(text, sizeof text);
    text[sizeof text - 1] = '\0';
    char marked[kTabTextSize + 1] = "*";
    store::copyField(marked + 1, sizeof marked - 1, text);
    page.sheet.writeTabText(marked);
}

void clearModified(Page& page) noexcept {
    if (!page.state.modified) return;
    page.state.modified = 0;
    page.sheet.sendUnchanged();
    // Room for the star as well, so that a title that filled the buffer when
    // it was marked comes back whole.
    char text[kTabTextSize + 1] = {};
    page.sheet.readTabText(text, sizeof text);
    text[sizeof text - 1] = '\0';
    page.sheet.writeTabText(text[0] ? text + 1 : text);
}

}  // namespace editor
