// Whether the current account has the package that shows the user's menus
// in Windows 11's first right-click menu. Where it does, Explorer shows them
// through the package, in the first menu and again under "Show more
// options", and the classic handler leaves those kinds to it so that no menu
// is shown twice. Packages are registered per account: the installer's
// record on the machine says which package it registered, not who has it.
#pragma once

namespace handler {

// True only when Windows says the package family that the installer
// recorded (HKLM\Software\Talvex, 64-bit view: PackageName and
// PackagePublisher) is registered for the current user. No record, a system
// without the package functions (before Windows 8) and a failed question all
// give false, and the classic menu shows in full. The answer is kept for a
// few seconds per process, so that a right click asks at most once.
bool accountHasPackagedMenu();

}  // namespace handler
