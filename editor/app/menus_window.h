// The "Talvex Menus" window, which talvex.exe shows when started without a
// word: a button for each menu, which opens that menu's page in a
// talvex.exe of its own, and Export... and Import... for the menus file.
#pragma once

namespace talvex_app {

// Runs the window until it is closed; the process's exit code.
int runMenusWindow();

}  // namespace talvex_app
