#pragma once

namespace vrel {

// Fills the process-wide format settings from the system locale: decimal separator, date
// separator and short date order, time separator, AM and PM texts. Executables call it first.
void UseSystemLocaleFormats();

} // namespace vrel
