#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace vrel {

// The edit-constraint set of a presenter. Nothing adds entries yet.
struct KvEditConstraint {
    struct _EditConstraint_s {
        std::string text;
    };

    QWidget* owner; // not owned
    std::uint8_t flag;
    std::vector<std::unique_ptr<_EditConstraint_s>> entries = {};
};

} // namespace vrel
