#include "KvVRELRequest2Controls.h"

namespace vrel {

// Moving values along the bindings; the main window registers none.
void KvVRELRequest2Edits::FillControls() {
    if (bindings.empty())
        return;
}

void KvVRELRequest2Edits::ReadControls() {
    if (bindings.empty())
        return;
}

} // namespace vrel
