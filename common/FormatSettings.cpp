#include "FormatSettings.h"

namespace vrel {

FormatSettings& CurrentFormatSettings() {
    static FormatSettings settings;
    return settings;
}

} // namespace vrel
