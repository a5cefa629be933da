#pragma once

#include "Exception.h"

#include <functional>
#include <string>

namespace vrel::test {

// The result code an action fails with; 1 when it does not fail.
inline int FailureCode(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& e) {
        return e.HelpContext();
    }
    return 1;
}

// The message an action fails with; empty when it does not fail.
inline std::string FailureText(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& e) {
        return e.Message();
    }
    return {};
}

} // namespace vrel::test
