#pragma once

class QLocale;

namespace vrel {

// Fills the process-wide format settings from a locale: decimal separator, date separator and
// short date order, time separator, AM and PM texts.
void UseLocaleFormats(const QLocale& locale);
// The same from the system locale; every executable calls it at start-up.
void UseSystemLocaleFormats();

} // namespace vrel
