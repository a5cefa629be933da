#pragma once

#include <cstdint>
#include <vector>

class QWidget;

namespace vrel {

class KvOptionList;

// Ties one variable, a response variable of it, a byte range or single bits of its value to
// one or more controls of the presenter's window.
struct ControlBinding {
    std::uint32_t variableIndex = 0;
    std::uint32_t responseVariableIndex = 0; // used when the variable is structured
    std::uint32_t startByte = 0;             // with the source's own type: the whole value
    std::uint8_t valueType = 0;
    const KvOptionList* optionList = nullptr; // not owned
    std::vector<std::int32_t> bitIndices;     // check boxes only; empty: none
    std::vector<QWidget*> controls;           // not owned
};

} // namespace vrel
