#include "page_state.h"

#include <cstring>

#include "store_layout.h"

namespace editor {

void setContextKind(PageState& state, const char* kind) {
    state.contextKind = kind;
    state.kindNumber = -1;
    if (!kind) return;
    const char* const pageKinds[] = {store::kKindFile, store::kKindDirectory,
                                     store::kKindBackground};
    for (std::int32_t number = 0; number < 3; ++number) {
        if (std::strcmp(kind, pageKinds[number]) == 0) state.kindNumber = number;
    }
}

}  // namespace editor
