#include "ErrorDisplay.h"

#include <cstdio>
#include <utility>

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
    return std::exchange(Display(), std::move(display));
}

} // namespace vrel
