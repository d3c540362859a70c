// What the tree model needs from the page window around it, as small
// interfaces the page implements, and the page bundle the operations take.
#pragma once

#include <cstddef>

#include "page_state.h"
#include "resource_ids.h"
#include "tree_primitives.h"

namespace editor {

// Toolbar command ids, also the button ids of the page's toolbar.
enum Command : int {
    kCommandNewSubmenu = IDT_NEW_SUBMENU,
    kCommandNewCommand = IDT_NEW_COMMAND,
    kCommandNewSeparator = IDT_NEW_SEPARATOR,
    kCommandDelete = IDT_DELETE,
    kCommandMoveUp = IDT_MOVE_UP,
    kCommandMoveDown = IDT_MOVE_DOWN,
    kCommandMoveOut = IDT_MOVE_OUT,
    kCommandMoveIn = IDT_MOVE_IN,
};

class ToolbarButtons {
public:
    virtual ~ToolbarButtons() = default;
    // Enabled is TBSTATE_ENABLED; disabled is TBSTATE_INDETERMINATE.
    virtual void setButtonEnabled(int command, bool enabled) = 0;
};

// The property sheet around the page: its Apply button and the page's tab.
class SheetTab {
public:
    virtual ~SheetTab() = default;
    virtual void sendChanged() = 0;    // PSM_CHANGED
    virtual void sendUnchanged() = 0;  // PSM_UNCHANGED
    // Copies at most size - 1 characters of the tab's text.
    virtual void readTabText(char* text, std::size_t size) = 0;
    virtual void writeTabText(const char* text) = 0;
};

// Everything a page operation works on.
struct Page {
    PageState& state;
    TreePrimitives& tree;
    ToolbarButtons& toolbar;
    SheetTab& sheet;
};

}  // namespace editor
