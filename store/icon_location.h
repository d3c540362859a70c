// Icon locations as the store keeps them: "file,index" in the Icon value.
// The handler reads them to draw an item's icon; the editor's icon picker
// writes them.
#pragma once

#include <cstddef>

namespace store {

// Splits an icon location at its last comma into the file (unquoted, blanks
// trimmed, cut to fileSize - 1) and the icon index (0 without a comma). The
// file name may itself hold commas; only the last one separates the index.
int parseIconLocation(const char* location, char* file, std::size_t fileSize);

// Writes "path,position" into out. Returns false, leaving out empty, when the
// text does not fit into out or into the store's Icon field (kIconSize with
// its terminator), or when path is null.
bool formatIconLocation(const char* path, int position, char* out, std::size_t size);

}  // namespace store
