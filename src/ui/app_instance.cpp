#include "ui/app_instance.h"

HINSTANCE AppInstance = nullptr;
