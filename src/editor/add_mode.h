// The Add-mode question: width, height and refresh of a new custom mode.
#pragma once

#include "editor/window.h"

#include <cstdint>

struct NewModeRequest {
    uint16_t width;
    uint16_t height;
    uint16_t refresh;

    // All fields 0; the new request becomes CurrentModeRequest.
    NewModeRequest();
};

// The most recently constructed request, through which the dialog reads and writes it. Never
// cleared.
extern NewModeRequest* CurrentModeRequest;

// Asks for a new mode, modal and owned by `owner`. 1 after OK, with the typed numbers in the
// request; 2 after Cancel; any other value when the question could not be asked.
int AskNewMode(NewModeRequest* request, WindowHandle owner);
