// Which menu belongs to a clicked object: a plain function of what is known
// about it, kept apart from the calls that find those facts out. The
// handler decides the menu it shows with it, the editor the menu its page
// edits.
#pragma once

namespace store {

// Drive types as the system numbers them.
constexpr unsigned kDriveFixed = 3;
constexpr unsigned kDriveCdrom = 5;

struct ContextFacts {
    bool onBackground = false;      // the menu was opened on a folder window's background
    bool isDriveRoot = false;
    unsigned driveType = 0;         // of the drive, for a drive root
    bool isDirectory = false;
    bool lastMenuOnBackground = false;  // the flag the handler leaves for a folder's page
};

// The context kind for the facts. A drive root that is neither fixed nor a
// CD drive has no menu of its own and keeps `current` (null for a new
// object). A folder is the background menu when the last menu was opened on
// a background: a folder's Properties page then edits that menu.
const char* decideContextKind(const ContextFacts& facts, const char* current);

// The context kind a name stands for, in any letter case ("directory" is
// "Directory"); null for any other text.
const char* contextKindNamed(const char* name);

}  // namespace store
