// Every number by which the page's resources, its code and the tests name a
// control, a toolbar command, a menu command or a resource of quillon.dll.
// Plain macros and no Windows header: the resource compiler, the
// platform-free page logic, the Win32 side and the tests all read this one
// file.
#pragma once

#define IDD_PAGE 100          // the "Context Menu" page
#define IDC_TREE 101
#define IDC_CAPTION_LABEL 102
#define IDC_CAPTION 103
#define IDC_PROMPT_LABEL 104
#define IDC_PROMPT 105
#define IDC_ICON_LABEL 106
#define IDC_ICON_PATH 107
#define IDC_ICON_BROWSE 108
#define IDC_ACTION_LABEL 109
#define IDC_ACTION 110
#define IDC_ACTION_MENU 111
#define IDC_SHOW_FOR_LABEL 112
#define IDC_SHOW_FOR 113

// The toolbar's commands, also its button ids.
#define IDT_NEW_SUBMENU 1
#define IDT_NEW_COMMAND 2
#define IDT_NEW_SEPARATOR 3
#define IDT_DELETE 4
#define IDT_MOVE_UP 5
#define IDT_MOVE_DOWN 6
#define IDT_MOVE_OUT 7
#define IDT_MOVE_IN 8

// The action menu and its commands. The window-state ids are the character
// codes of the digits they write ('0' is 48).
#define IDM_ACTION_MENU 111
#define IDM_ACTION_NORMAL 48
#define IDM_ACTION_MINIMIZED 49
#define IDM_ACTION_MAXIMIZED 50
#define IDM_ACTION_HIDDEN 51
#define IDM_ACTION_PICK_PROGRAM 52
#define IDM_ACTION_PICK_FILE 53
#define IDM_ACTION_PICK_FOLDER 54
#define IDM_ACTION_CONTEXT_PATH 55
#define IDM_ACTION_PARENT_PATH 56
#define IDM_ACTION_PICK_WORKING_FOLDER 57
#define IDM_ACTION_PARENT_AS_WORKING_FOLDER 58
// The command's settings in the same menu: how it runs for several selected
// objects (one of three, in the order of the stored numbers), and elevated.
#define IDM_ACTION_FIRST_ONLY 59
#define IDM_ACTION_EACH_SEPARATELY 60
#define IDM_ACTION_ALL_AT_ONCE 61
#define IDM_ACTION_RUN_AS_ADMINISTRATOR 62

#define IDB_TOOLBAR_STRIP 200 // ten 16x16 pictures, 32 bits per pixel, straight alpha
#define IDI_TAB_ICON 201      // the page's tab icon
#define IDR_MANIFEST 2        // the common-controls dependency
