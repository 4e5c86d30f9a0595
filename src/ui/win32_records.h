// The sizes the program writes into the system records that carry their own size. Each is the
// form that the oldest system the program runs on accepts, on 32-bit and 64-bit Windows alike;
// later systems accept the older forms too. The records without pointers (the version record,
// the display-device record and the driver query) have one size everywhere and are fixed in
// devices/display_services.h and devices/discovery.h.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <cstddef>

// MENUITEMINFOA up to cch, without hbmpItem: the longer form came with Windows 98 and 2000 and
// is refused before them. The program's menu items carry no bitmap.
const UINT MenuItemInfoSize = offsetof(MENUITEMINFOA, hbmpItem);

// INITCOMMONCONTROLSEX: its size and the classes to load, the same on every system.
const DWORD InitCommonControlsSize = sizeof(INITCOMMONCONTROLSEX);

#ifdef _WIN64
static_assert(MenuItemInfoSize == 72, "MENUITEMINFOA without hbmpItem, 64-bit");
#else
static_assert(MenuItemInfoSize == 44, "MENUITEMINFOA without hbmpItem, 32-bit");
#endif
static_assert(InitCommonControlsSize == 8, "INITCOMMONCONTROLSEX");
