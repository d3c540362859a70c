// Resource and control identifiers of quillon.dll, shared by the resource
// script and the code. Plain macros: the resource compiler reads this too.
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

#define IDM_ACTION_MENU 111   // the action menu; its command ids are in action_commands.h
#define IDB_TOOLBAR_STRIP 200 // ten 16x16 pictures, 32 bits per pixel, straight alpha
#define IDI_TAB_ICON 201      // the page's tab icon
#define IDR_MANIFEST 2        // the common-controls dependency
