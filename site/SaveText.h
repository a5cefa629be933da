#pragma once

#include <QString>

#include <optional>
#include <string>

namespace vrel {

// Writes text as the whole new content of the file at path, through a temporary file renamed
// into place: a failure halfway leaves the old file as it was. Why it failed, or nothing.
std::optional<std::string> SaveText(const QString& path, const std::string& text);

} // namespace vrel
