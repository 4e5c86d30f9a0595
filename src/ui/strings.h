// Every text of the resource set that code or a test needs besides the resource script: the string
// table (STR_, by its IDS_ number in resource.h), the dialog captions (CAPTION_), the menu items
// (MENU_) and the control texts (LABEL_). velmora.rc builds the resources from these macros, and
// the native stand-in of the window and the tests take them from here, so no copy can drift.
// Each is one string literal, as the resource compiler needs it; "\r\n" is a line break there as
// in C++, and "&&" a literal ampersand in a menu or button text.
#pragma once

// clang-format off

// The string table.
#define STR_COLUMN_WIDTH "Mode Width"
#define STR_COLUMN_HEIGHT "Mode Height"
#define STR_COLUMN_REFRESH "Refresh Rate"
#define STR_DISCLAIMER "This utility allows you to design custom display modes (timing and resolution) for your Lumeric graphics card. Custom display modes created in this way are assumed by the display driver to be compatible with your monitor. It is possible through the incorrect use of this utility to create modes which could substantially damage a monitor. For this reason it is essential that all timing information used to create custom modes be compatible with your display device. Check the manual for your display device and/or your display device manufacturer to determine compatible timings for your device.\r\n\r\nOrvane assumes no liability for modes created with this utility. Use at your own risk."
#define STR_CAPTION "Orvane Velmora"
#define STR_ACCESS_ERROR "User Access error!\r\n\r\nYou must have administrative access in order to use this program.\r\nPlease log out and use an account with administrative access if you wish to use this software."
#define STR_DEVICE_MENU "&Device"
#define STR_UNSAVED_CHANGES "You recently did some changes without applying them.  This action will erase all your changes.  \r\nDo you wish to apply the changes?"
#define STR_PRODUCT_LINE "Orvane Velmora v%u.%u Build %03u"
#define STR_NO_DEVICES "There are no Orvane display devices installed on this system.\r\nThis application will quit."
#define STR_APPLY_FAILED "The changes could not be written to the display driver's settings.\r\nThey are still in the list: apply them again, or exit without saving."

// Dialog captions.
#define CAPTION_MAIN "Orvane Velmora"
#define CAPTION_MODE_TIMING "Mode Timing"
#define CAPTION_DISCLAIMER "Warning - Setting Custom Monitor Timings"
#define CAPTION_ABOUT "About Velmora"

// The menu bar and its items.
#define MENU_FILE "&File"
#define MENU_SAVE_EXIT "&Save && Exit"
#define MENU_EXIT "&Exit"
#define MENU_HELP "&Help"
#define MENU_DISCLAIMER "&Disclaimer"
#define MENU_ABOUT "&About"

// The main window's controls, in template order.
#define LABEL_MODE_LIST "List1"
#define LABEL_ADD "&Add"
#define LABEL_REMOVE "&Remove"
#define LABEL_MODIFY "&Modify"
#define LABEL_APPLY "A&pply"
#define LABEL_DISCLAIMER "&Disclaimer"
#define LABEL_PROPERTIES "Properties"
#define LABEL_DOUBLE_SCAN "Double Scan"
#define LABEL_INTERLACED "Interlaced Mode"
#define LABEL_HSYNC_NEGATIVE "H. Sync Polarity -"
#define LABEL_VSYNC_NEGATIVE "V. Sync Polarity -"
#define LABEL_HORIZONTAL_TOTAL "Horizontal Total"
#define LABEL_HORIZONTAL_DISPLAY "Horozontal Display"
#define LABEL_HORIZONTAL_SYNC_START "Horizontal Sync Start Value"
#define LABEL_HORIZONTAL_SYNC_WIDTH "Horizontal Sync Start Width"
#define LABEL_PIXEL_CLOCK "Pixel Clock (10KHz)"
#define LABEL_VERTICAL_TOTAL "Vertical Total"
#define LABEL_VERTICAL_DISPLAY "Vertical Display"
#define LABEL_VERTICAL_SYNC_START "Vertical  Sync Start Value"
#define LABEL_VERTICAL_SYNC_WIDTH "Vertical Sync Width"
#define LABEL_OVERSCAN_BLUE "Overscan For Blue"
#define LABEL_HORIZONTAL_OVERSCAN_RIGHT "Horizontal Overscan Right"
#define LABEL_HORIZONTAL_OVERSCAN_LEFT "Horizontal Overscan Left"
#define LABEL_VERTICAL_OVERSCAN_TOP "Vertical Overscan Top"
#define LABEL_VERTICAL_OVERSCAN_BOTTOM "Vertical Overscan Bottom"
#define LABEL_OVERSCAN_GREEN_RED "Overscan for Green and Red"

// The Add-mode dialog's controls.
#define LABEL_OK "OK"
#define LABEL_CANCEL "Cancel"
#define LABEL_MODE_WIDTH "With"
#define LABEL_MODE_HEIGHT "Height"
#define LABEL_MODE_REFRESH "Refresh Rate"

// The disclaimer's controls.
#define LABEL_ACCEPT "I Accept"
#define LABEL_DISAGREE "I Disagree"
#define LABEL_DONT_SHOW_AGAIN "Don't display this warning again."

// The About box's controls.
#define LABEL_CLOSE "Close"

// clang-format on
