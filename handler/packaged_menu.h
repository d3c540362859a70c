// Whether the installer registered the packaged front: then Explorer shows
// the user's menus for files, folders and backgrounds through it, in the
// first menu and again under "Show more options", and the classic handler
// leaves those kinds to it so that no menu is shown twice.
#pragma once

namespace handler {

// HKLM\Software\Talvex, 64-bit view, DWORD PackagedMenu; the installer sets
// it to 1 after registering the package and removes it otherwise.
constexpr const char kMachineKey[] = "Software\\Talvex";
constexpr const char kPackagedMenuValue[] = "PackagedMenu";

// True when the value is present and non-zero.
bool packagedMenuRegistered();

}  // namespace handler
