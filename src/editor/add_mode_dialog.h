// The Add-mode question (add_mode_dialog.cpp on Windows; the native tests link the fake window
// operations, which answer it as a test scripts).
#pragma once

#include "editor/add_mode.h"
#include "editor/window.h"

// Asks for a new mode, modal and owned by `owner`. 1 after OK, with the typed numbers in the
// request; 2 after Cancel; any other value when the question could not be asked.
int AskNewMode(NewModeRequest* request, WindowHandle owner);
