// The action menu's commands: what each needs the user to pick, and the edit
// it then makes to a command's action string.
#pragma once

#include "action_edit.h"
#include "resource_ids.h"

namespace editor {

// Menu ids of the action menu.
enum ActionCommand : int {
    kActionNormal = IDM_ACTION_NORMAL,
    kActionMinimized = IDM_ACTION_MINIMIZED,
    kActionMaximized = IDM_ACTION_MAXIMIZED,
    kActionHidden = IDM_ACTION_HIDDEN,
    kActionPickProgram = IDM_ACTION_PICK_PROGRAM,
    kActionPickFile = IDM_ACTION_PICK_FILE,
    kActionPickFolder = IDM_ACTION_PICK_FOLDER,
    kActionContextPath = IDM_ACTION_CONTEXT_PATH,
    kActionParentPath = IDM_ACTION_PARENT_PATH,
    kActionPickWorkingFolder = IDM_ACTION_PICK_WORKING_FOLDER,
    kActionParentAsWorkingFolder = IDM_ACTION_PARENT_AS_WORKING_FOLDER,
};

bool isActionCommand(int id) noexcept;

// The command's settings, in the same menu. The three of "Several Selected"
// stand for the stored Selection numbers in their order.
enum SettingCommand : int {
    kSettingFirstOnly = IDM_ACTION_FIRST_ONLY,
    kSettingEachSeparately = IDM_ACTION_EACH_SEPARATELY,
    kSettingAllAtOnce = IDM_ACTION_ALL_AT_ONCE,
    kSettingRunAsAdministrator = IDM_ACTION_RUN_AS_ADMINISTRATOR,
};

bool isSettingCommand(int id) noexcept;

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
// What the page tells the user when a folder picked as the working directory
// has a parenthesis without its partner, so that the action would name
// another folder.
extern const char kFolderNotReadableText[];
// What the page tells the user when a picked path has characters that the
// system's code page lacks, so that the store cannot hold it.
extern const char kPathNotStorableText[];

}  // namespace editor
