#include "save_bookkeeping.h"

#include <atomic>
#include <cstring>

#include "store_layout.h"

namespace editor {

namespace {

std::atomic<std::uint32_t> counts[store::kContextKindCount];

std::atomic<std::uint32_t>* countOf(const char* kind) {
    if (!kind) return nullptr;
    for (int i = 0; i < store::kContextKindCount; ++i)
        if (std::strcmp(kind, store::kContextKinds[i]) == 0) return &counts[i];
    return nullptr;
}

}  // namespace

std::uint32_t saveCount(const char* kind) noexcept {
    std::atomic<std::uint32_t>* count = countOf(kind);
    return count ? count->load() : 0;
}

std::uint32_t announceSave(const char* kind) noexcept {
    std::atomic<std::uint32_t>* count = countOf(kind);
    return count ? count->fetch_add(1) + 1 : 0;
}

bool reloadWanted(const PageState& state) noexcept {
    return saveCount(state.contextKind) != state.generationSeen;
}

}  // namespace editor
