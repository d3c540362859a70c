#include "save_bookkeeping.h"

#include <atomic>
#include <cstring>

#include "store_layout.h"

namespace editor {

namespace {

// Shared memory holds the counts of several processes: they must need no
// lock that lives in one of them.
static_assert(std::atomic<std::uint32_t>::is_always_lock_free, "save counts in shared memory");

std::atomic<std::uint32_t> ownCounts[store::kContextKindCount];
std::atomic<std::atomic<std::uint32_t>*> counts{ownCounts};

std::atomic<std::uint32_t>* countOf(const char* kind) {
    if (!kind) return nullptr;
    for (int i = 0; i < store::kContextKindCount; ++i)
        if (std::strcmp(kind, store::kContextKinds[i]) == 0) return &counts.load()[i];
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

void shareSaveCounts(std::atomic<std::uint32_t>* shared) noexcept {
    if (shared) counts.store(shared);
}

bool reloadWanted(const PageState& state) noexcept {
    return saveCount(state.contextKind) != state.generationSeen;
}

}  // namespace editor
