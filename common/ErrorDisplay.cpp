#include "ErrorDisplay.h"

#include <cstdio>
#include <utility>

namespace vrel {

namespace {

ErrorDisplayFunction display;

} // namespace

void ShowError(const std::string& message) {
    if (display)
        display(message);
    else
        std::fprintf(stderr, "%s\n", message.c_str());
}

ErrorDisplayFunction SetErrorDisplay(ErrorDisplayFunction next) {
    return std::exchange(display, std::move(next));
}

} // namespace vrel
