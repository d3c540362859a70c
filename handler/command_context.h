// The object a command object's menu is for: the first item of the shell's
// item array, or for a folder background the folder, found in the array or
// through the site. Its kind is decided as the classic handler decides it.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "selected_object.h"

namespace handler {

struct CommandContext {
    shellext::PathField path = {};  // as the shell names it, in UTF-16
    const char* kind = nullptr;     // null: the object has no menu
};

// The first selected item: a file, a folder, or a fixed or CD drive root.
// Items outside the file system and paths too long for the field get no
// menu, as in the classic handler.
CommandContext selectionContext(IShellItemArray* items);

// A folder background: the array's first item, or when the array is null or
// empty, the folder of the site's folder view. The background menu even for
// a folder outside the file system (its path is then empty), as the
// classic handler shows it; no menu when no folder is found at all.
CommandContext backgroundContext(IShellItemArray* items, IUnknown* site);

bool sameContext(const CommandContext& a, const CommandContext& b);

// Every item's file-system path, in the array's order; items outside the
// file system are left out.
std::vector<std::wstring> itemPaths(IShellItemArray* items);

}  // namespace handler
