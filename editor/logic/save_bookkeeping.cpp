#include "save_bookkeeping.h"

#include <atomic>
#include <cstring>

#include "store_layout.h"

namespace editor {

namespace {

std::atomic<std::uint32_t> generation{0};
std::atomic<WindowHandle> saver{nullptr};
std::atomic<std::uint32_t> savedKindBits{0};  // one bit per context kind

std::uint32_t kindBit(const char* kind) {
    if (!kind) return 0;
    for (int i = 0; i < store::kContextKindCount; ++i) {
        if (std::strcmp(kind, store::kContextKinds[i]) == 0) return 1u << i;
    }
    return 0;
}

}  // namespace

std::uint32_t saveGeneration() noexcept { return generation.load(); }

WindowHandle lastSaver() noexcept { return saver.load(); }

bool kindSaved(const char* kind) noexcept {
    std::uint32_t bit = kindBit(kind);
    return bit != 0 && (savedKindBits.load() & bit) != 0;
}

void announceSave(WindowHandle page, const char* kind) noexcept {
    generation.fetch_add(1);
    savedKindBits.fetch_or(kindBit(kind));
    saver.store(page);
}

bool reloadWanted(const PageState& state, WindowHandle page) noexcept {
    std::uint32_t current = saveGeneration();
    return current != 0 && current != state.generationSeen && lastSaver() != page &&
           kindSaved(state.contextKind);
}

}  // namespace editor
