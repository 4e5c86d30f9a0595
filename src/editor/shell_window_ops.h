// The two windows of the shell that the editor's menu opens. The editor declares them and asks for
// them; the shell, which owns the disclaimer and the About box, implements them
// (app/shell_window_ops.cpp), and the program links both; the native tests link the fake window
// operations instead. So the editor never includes a header of the shell.
#pragma once

#include "editor/window.h"

// Shows the disclaimer in request mode, owned by `owner`; its result does not matter.
void ShowDisclaimerOnRequest(WindowHandle owner);
// Shows the About box, owned by `owner`.
void ShowAboutBox(WindowHandle owner);
