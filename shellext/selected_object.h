// The object a menu or a Properties page is for, as the shell names it: the
// first selected path, or the folder of a window's background, in UTF-16,
// and the facts about it that decide its context kind.
#pragma once

#include <windows.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "context_kind.h"

namespace shellext {

// Paths are kept whole in fields of this many characters, terminator
// included; a longer one is refused, since a path cut short names another
// object.
constexpr std::size_t kPathChars = MAX_PATH;
using PathField = wchar_t[kPathChars];

enum class SelectionRead {
    NoFileList,  // the data object offers no file list: nothing was read
    TooLong,     // the first path does not fit a field: `path` is empty
    Read,
};
SelectionRead readFirstSelected(IDataObject* selection, PathField& path);

// Every selected path, in the shell's order, in UTF-16 as the shell names
// them; empty when the data object offers no file list.
std::vector<std::wstring> readAllSelected(IDataObject* selection);

// The file-system folder of an identifier list; false, with an empty path,
// for a folder outside the file system.
bool readFolder(LPCITEMIDLIST folder, PathField& path);

// Is it a drive root, of which drive type, is it a folder.
store::ContextFacts factsAbout(const wchar_t* path);

// A data object may name a menu outright instead of an object: this
// registered format holds a context kind's name in ANSI text. talvex.exe
// opens the page for a kind so, whether or not such an object exists here
// (a CD drive, say).
constexpr char kContextKindFormat[] = "Talvex Context Kind";

// The context kind the selection names in that format; null when it names
// none or no known one.
const char* namedContextKind(IDataObject* selection);

}  // namespace shellext
