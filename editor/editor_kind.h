// Which menu a Properties page edits: a plain function of what is known
// about the selected object, kept apart from the calls that find it out.
#pragma once

namespace editor {

// Drive types as the system numbers them.
constexpr unsigned kDriveTypeFixed = 3;
constexpr unsigned kDriveTypeCdrom = 5;

struct SelectionFacts {
    bool isDriveRoot;
    unsigned driveType;   // read for drive roots only
    bool isDirectory;
    bool backgroundFlag;  // the handler's last menu was on a folder background
};

// The context kind, or nullptr when the object has no menu to edit (a drive
// root that is neither fixed nor a CD drive).
const char* editorKind(const SelectionFacts& facts);

}  // namespace editor
