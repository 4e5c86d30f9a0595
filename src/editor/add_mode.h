// The Add-mode request (add_mode.cpp): width, height and refresh of a new custom mode.
#pragma once

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
