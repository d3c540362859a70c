// korvane.dll's tables: the class it serves and its registration entries.
// The exports over them are the shared server's.
#include "module.h"

#include "explorer_command.h"
#include "korvane.h"
#include "server_exports.h"

namespace handler {

namespace {

// Shell classes whose context menus get the handler. Explorer builds the menu
// of a drive's root from the handlers under "Drive" (and "Folder"), never
// from "*" or "Directory": without that key the Drive and CDROM menus would
// show nowhere. "Directory" stays last: its key decides the result.
const char* const kHandlerKeyFormats[] = {
    TALVEX_FILE_CLASS "\\shellex\\ContextMenuHandlers\\%s",
    TALVEX_BACKGROUND_CLASS "\\shellex\\ContextMenuHandlers\\%s",
    TALVEX_DRIVE_CLASS "\\shellex\\ContextMenuHandlers\\%s",
    TALVEX_FOLDER_CLASS "\\shellex\\ContextMenuHandlers\\%s",
};

const shellext::ServerRegistration kRegistration = {
    kKorvaneClassId, kFriendlyName, kHandlerKeyFormats,
    sizeof kHandlerKeyFormats / sizeof kHandlerKeyFormats[0]};

// The command objects are declared by the package's manifest, not
// registered: only the classic handler has registration entries.
const shellext::ServedClass kClasses[] = {
    {kKorvaneClassId, shellext::createFactoryOf<Korvane>},
    {kSelectionCommandClassId, shellext::createFactoryOf<SelectionCommand>},
    {kBackgroundCommandClassId, shellext::createFactoryOf<BackgroundCommand>},
};

}  // namespace

}  // namespace handler

const shellext::ServerDescription shellext::kServer = {
    handler::kClasses, sizeof handler::kClasses / sizeof handler::kClasses[0],
    handler::kRegistration, nullptr, nullptr};
