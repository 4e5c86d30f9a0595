// The portable name of a window handle. On Windows it is an HWND; the native stand-ins give it
// their own meaning.
#pragma once

struct WindowObject;
typedef WindowObject* WindowHandle;
