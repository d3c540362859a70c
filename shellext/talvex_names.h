/* The names that several parts of Talvex share: the two DLLs, talvex.exe,
 * the installer, the package's manifest and the tests all take them from
 * here. One "#define NAME "text"" a line, text in C's spelling (a backslash
 * doubled): the installer's build and the package script read this file
 * line by line, so keep that form and add nothing else but comments.
 * No Windows header is needed to include it. */
#ifndef TALVEX_NAMES_H
#define TALVEX_NAMES_H

/* Class ids. korvane.dll: the classic context-menu handler and the two
 * command objects of Windows 11's first menu (selected objects, folder
 * backgrounds); quillon.dll: the property-sheet extension. */
#define TALVEX_KORVANE_CLSID "{50A2C9CD-CB78-435E-941D-4169387516E2}"
#define TALVEX_SELECTION_COMMAND_CLSID "{2D619C0F-00A0-4B15-BF28-76468EA6DEA2}"
#define TALVEX_BACKGROUND_COMMAND_CLSID "{75DC679D-1136-4FD3-B8D2-77E37DFD494D}"
#define TALVEX_QUILLON_CLSID "{E3294060-CF0A-4B27-8F8A-8A1CF8EB2456}"

/* Friendly names: each class key's default value and the name of each
 * handler key that points at the class. */
#define TALVEX_KORVANE_NAME "Talvex Korvane"
#define TALVEX_QUILLON_NAME "Talvex Quillon"

/* The shell classes under HKCR whose menus and pages get the handlers. The
 * package declares its verbs for the first three (files and folders through
 * the selection command, backgrounds through the background command); a
 * package cannot declare drives. */
#define TALVEX_FILE_CLASS "*"
#define TALVEX_FOLDER_CLASS "Directory"
#define TALVEX_BACKGROUND_CLASS "Directory\\Background"
#define TALVEX_DRIVE_CLASS "Drive"

/* What the installer records of the package it registered, under
 * HKLM\Software\Talvex in the 64-bit view: the package's name and its
 * publisher, from which korvane computes the family it asks Windows about,
 * and PackagedMenu = 1 once registration went through. */
#define TALVEX_MACHINE_KEY "Software\\Talvex"
#define TALVEX_PACKAGED_MENU_VALUE "PackagedMenu"
#define TALVEX_PACKAGE_NAME_VALUE "PackageName"
#define TALVEX_PACKAGE_PUBLISHER_VALUE "PackagePublisher"
#define TALVEX_PACKAGE_NAME "Talvex.ContextMenus"

/* HKCU\Software\Talvex, DWORD Trace: 1 has both DLLs trace their COM entry
 * points to %LOCALAPPDATA%\Talvex\trace.log. */
#define TALVEX_USER_KEY "Software\\Talvex"
#define TALVEX_TRACE_VALUE "Trace"

/* The title of talvex.exe's window of all menus, and the name of the
 * Start menu shortcut to it that the installer makes (<title>.lnk). */
#define TALVEX_MENUS_TITLE "Talvex Menus"

/* The mutex that keeps the editors' saves one at a time, in the session's
 * namespace. */
#define TALVEX_STORE_LOCK "Local\\Talvex.Korvane.Store"

/* The memory that holds every editor's count of saves per kind, so that an
 * open page hears of a save made in another process (an import, say). */
#define TALVEX_SAVE_COUNTS "Local\\Talvex.Quillon.Saves"

#endif
