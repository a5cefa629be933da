#include "ErrorDisplay.h"

#include <cstdio>

namespace vrel {

namespace {

ErrorDisplayFunction& Display() {
    static ErrorDisplayFunction display;
    return display;
}

} // namespace

void ShowError(const std::string& message) {
    if (Display())
        Display()(message);
    else
        std::fprintf(stderr, "%s\n", message.c_str());
}

ErrorDisplayFunction SetErrorDisplay(ErrorDisplayFunction display) {
    ErrorDisplayFunction previous = std::move(Display());
    Display() = std::move(display);
    return previous;
}

} // namespace vrel
