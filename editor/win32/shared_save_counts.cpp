#include "shared_save_counts.h"

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <mutex>

#include "owned_handle.h"
#include "save_bookkeeping.h"
#include "store_layout.h"
#include "store_lock.h"
#include "talvex_names.h"

namespace editor {

namespace {

constexpr DWORD kCountsSize = sizeof(std::atomic<std::uint32_t>) * store::kContextKindCount;

// The mapping and its view stay for the module's life: the counts are read
// on every page's reload check.
struct SharedCounts {
    shellext::OwnedKernelObject mapping;
    void* view = nullptr;
    ~SharedCounts() {
        if (view) UnmapViewOfFile(view);
    }
};

SharedCounts& shared() {
    static SharedCounts counts;
    return counts;
}

void mapCounts() {
    shellext::OwnedLocalMemory descriptor = everyEditorSecurity(SECTION_ALL_ACCESS);
    SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor.get(), FALSE};
    // A new mapping of the paging file is zero: every count starts at 0.
    HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, descriptor ? &attributes : nullptr,
                                        PAGE_READWRITE, 0, kCountsSize, TALVEX_SAVE_COUNTS);
    if (!mapping && GetLastError() == ERROR_ACCESS_DENIED)
        mapping = OpenFileMappingA(FILE_MAP_READ | FILE_MAP_WRITE, FALSE, TALVEX_SAVE_COUNTS);
    if (!mapping) return;
    SharedCounts& counts = shared();
    counts.mapping.reset(mapping);
    counts.view = MapViewOfFile(mapping, FILE_MAP_READ | FILE_MAP_WRITE, 0, 0, kCountsSize);
    if (counts.view) shareSaveCounts(static_cast<std::atomic<std::uint32_t>*>(counts.view));
}

}  // namespace

void shareSaveCountsAcrossProcesses() noexcept {
    static std::once_flag once;
    try {
        std::call_once(once, mapCounts);
    } catch (...) {
        // Out of memory: this module's pages hear of its own saves only.
    }
}

}  // namespace editor
