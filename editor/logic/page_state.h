// The state of one editor page, created with the page and freed when the
// property sheet releases it.
#pragma once

#include <cstdint>
#include <vector>

#include "tree_primitives.h"

namespace editor {

using WindowHandle = void*;  // the page's window handles, opaque here

// Tells the tree notifications which operation is running on the page.
enum class GuardState : std::uint8_t { Idle = 0, Deleting = 1, Moving = 2, Reselecting = 3 };

struct PageState {
    const char* contextKind = nullptr;  // names the index list the page edits
    std::int32_t kindNumber = 0;  // 0 "*", 1 "Directory", 2 "Background", 3 "Drive", 4 "CDROM"
    WindowHandle toolbarWindow = nullptr;
    WindowHandle treeWindow = nullptr;
    // Ids of stored items deleted since the last load or save; its size is
    // the deleted count. Room for one id per index entry of the last load or
    // save is reserved up front, so recording a deletion never allocates.
    std::vector<std::uint32_t> deletedIds;
    std::int32_t maxId = 0;  // the page's copy of "MaxID"; gives provisional ids
    std::uint8_t modified = 0;
    std::uint32_t generationSeen = 0;  // the save count of its kind last taken in
    // Another page saved this kind and the user kept this page's tree: the
    // store may hold optional values its records know nothing of, which
    // the next save removes.
    std::uint8_t othersSaved = 0;

    // Live only within one delete or move.
    GuardState guard = GuardState::Idle;
    TreeNode moveSource = nullptr;       // node of the subtree being moved
    TreeNode moveDestination = nullptr;  // its counterpart in the copy
};

// Sets the kind and its number; -1 for a text that names no kind.
void setContextKind(PageState& state, const char* kind);

}  // namespace editor
