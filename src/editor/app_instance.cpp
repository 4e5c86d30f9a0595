#include "editor/app_instance.h"

HINSTANCE AppInstance = nullptr;
