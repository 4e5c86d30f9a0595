// The main window: a modeless dialog from the template "VELMORA" whose procedure routes every
// message to the editor (editor.h), where the window's logic lives.
#pragma once

#include "editor/editor.h"

#include <windows.h>

// Creates the main window for `editor`, runs the start-up checks (devices, write access) and
// loads the first device. 1 when the window is up and shown; 0 when it could not be created or a
// check failed (its message has then been shown).
int CreateMainWindow(EditorState* editor, int showCommand);

// Dialog procedure of the main window; it reaches the editor through CurrentEditor.
INT_PTR CALLBACK MainDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
