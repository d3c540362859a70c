// Resource ids of korvane.dll, read by the resource script and the code.
#pragma once

// The icon of the menu's root entry in Windows 11's first menu.
#define IDI_KORVANE 1
