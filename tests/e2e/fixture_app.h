// Identifiers of the small dialog program that the driver's own test drives.
#pragma once

#define IDC_FIXTURE_COUNT 101    // push button: shows "count N" in the status
#define IDC_FIXTURE_NUMBER 102   // digits-only edit: the exit code on close
#define IDC_FIXTURE_OPTION 103   // automatic check box
#define IDC_FIXTURE_DISABLED 104 // push button, disabled
#define IDC_FIXTURE_HIDDEN 105   // push button, hidden
#define IDC_FIXTURE_ASK 106      // push button: Yes/No/Cancel message box, then "answer ..."
#define IDC_FIXTURE_TELL 107     // push button: OK message box, then "told"
#define IDC_FIXTURE_SLOW 108     // push button: takes a while, then "slow done"
#define IDC_FIXTURE_LIST 109     // report list view: NM_CLICK shows "row N"
#define IDC_FIXTURE_STATUS 110   // read-only edit: what happened last

#define IDM_FIXTURE_MARK 40001 // menu: shows "menu 40001"
#define IDM_FIXTURE_QUIT 40002 // menu: ends like the close box

#define FIXTURE_CAPTION "Driver Fixture"
#define FIXTURE_QUESTION_CAPTION "Fixture question"
#define FIXTURE_QUESTION_TEXT "Proceed with the test?\r\nSecond line."
#define FIXTURE_NOTE_CAPTION "Fixture note"
#define FIXTURE_NOTE_TEXT "Done."
#define FIXTURE_SLOW_MS 300

// The list: three columns of known widths, four rows; the last cell is longer than the driver's
// first read buffer.
#define FIXTURE_COLUMN_WIDTHS                                                                      \
    { 80, 60, 120 }
#define FIXTURE_COLUMN_TITLES                                                                      \
    { "Name", "Size", "Kind" }
#define FIXTURE_LONG_CELL_LENGTH 300
