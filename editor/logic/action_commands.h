// The action menu's commands: what each needs the user to pick, and the edit
// it then makes to a command's action string.
#pragma once

#include "action_edit.h"

namespace editor {

// Menu ids of the action menu. The window-state ids are the character codes
// of the digits they write ('0' is 48).
enum ActionCommand : int {
    kActionNormal = 48,
    kActionMinimized = 49,
    kActionMaximized = 50,
    kActionHidden = 51,
    kActionPickProgram = 52,
    kActionPickFile = 53,
    kActionPickFolder = 54,
    kActionContextPath = 55,
    kActionParentPath = 56,
    kActionPickWorkingFolder = 57,
    kActionParentAsWorkingFolder = 58,
};

bool isActionCommand(int id) noexcept;

// What the page asks the user for before an edit, or for the icon field.
enum class Pick { Nothing, Program, File, Folder, WorkingFolder, Icon };
Pick pickFor(int actionCommand) noexcept;

// The folder browser's title for Pick::Folder and Pick::WorkingFolder.
const char* folderBrowserTitle(Pick pick) noexcept;

// Applies the command's edit with `picked` (the path the user chose; ignored
// by the commands that pick nothing). False, with the action unchanged, when
// the result would not fit the field or the id is not an action command.
bool applyActionCommand(ActionField& action, int id, const char* picked) noexcept;

// What the page tells the user when an action edit does not fit.
extern const char kActionTooLongText[];
// What the page tells the user when a picked path has characters that the
// system's code page lacks, so that the store cannot hold it.
extern const char kPathNotStorableText[];

}  // namespace editor
