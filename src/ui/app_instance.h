// The program's module instance handle, through which every template, string and icon is loaded.
// The entry sets it once, before the first window; tests set it to their own executable.
#pragma once

#include <windows.h>

extern HINSTANCE AppInstance;
