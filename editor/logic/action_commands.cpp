#include "action_commands.h"

namespace editor {

const char kActionTooLongText[] =
    "The action was not changed: the result would be longer than the 2047 characters an "
    "action can hold. Shorten the action, or pick a shorter path, and try again.";

const char kPathNotStorableText[] =
    "The path cannot be stored: its name has characters that this system's code page lacks. "
    "Nothing was changed. Pick a file or folder whose path uses only those characters, or "
    "rename it, and try again.";

const char kFolderNotReadableText[] =
    "The folder cannot be the working directory: its path has a parenthesis without its "
    "partner, so the action would name another folder. Nothing was changed. Pick another "
    "folder, or rename this one, and try again.";

bool isActionCommand(int id) noexcept {
    return id >= kActionNormal && id <= kActionParentAsWorkingFolder;
}

bool isSettingCommand(int id) noexcept {
    return id >= kSettingFirstOnly && id <= kSettingRunAsAdministrator;
}

Pick pickFor(int actionCommand) noexcept {
    switch (actionCommand) {
        case kActionPickProgram: return Pick::Program;
        case kActionPickFile: return Pick::File;
        case kActionPickFolder: return Pick::Folder;
        case kActionPickWorkingFolder: return Pick::WorkingFolder;
        default: return Pick::Nothing;
    }
}

const char* folderBrowserTitle(Pick pick) noexcept {
    return pick == Pick::WorkingFolder ? "Select a folder as working directory."
                                       : "Select a folder.";
}

bool applyActionCommand(ActionField& action, int id, const char* picked) noexcept {
    switch (id) {
        case kActionNormal:
        case kActionMinimized:
        case kActionMaximized:
        case kActionHidden:
            return setWindowState(action, static_cast<char>(id));
        case kActionPickProgram:
            return replaceProgram(action, picked);
        case kActionPickFile:
        case kActionPickFolder:
            return insertArgument(action, picked);
        case kActionContextPath:
            return insertArgument(action, "%1");
        case kActionParentPath:
            return insertArgument(action, "%0");
        case kActionPickWorkingFolder:
            return setWorkingDirectory(action, picked);
        case kActionParentAsWorkingFolder:
            return setWorkingDirectory(action, "%0");
        default:
            return false;
    }
}

}  // namespace editor
