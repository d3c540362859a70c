#include "page_state.h"

#include <cstring>

#include "store_layout.h"

namespace editor {

void setContextKind(PageState& state, const char* kind) {
    state.contextKind = kind;
    state.kindNumber = -1;
    if (!kind) return;
    // Numbered in the store's order: "*" 0, "Directory" 1, "Background" 2,
    // then "Drive" 3 and "CDROM" 4.
    for (std::int32_t number = 0; number < store::kContextKindCount; ++number) {
        if (std::strcmp(kind, store::kContextKinds[number]) == 0) state.kindNumber = number;
    }
}

}  // namespace editor
