#include "editor/add_mode.h"

NewModeRequest* CurrentModeRequest = nullptr;

NewModeRequest::NewModeRequest() : width(0), height(0), refresh(0) {
    CurrentModeRequest = this;
}
