#include "SaveText.h"

#include <QSaveFile>

namespace vrel {

std::optional<std::string> SaveText(const QString& path, const std::string& text) {
    QSaveFile file(path);
    const auto size = static_cast<qint64>(text.size());
    if (!file.open(QIODevice::WriteOnly) || file.write(text.data(), size) != size ||
        !file.commit())
        return path.toStdString() + ": " + file.errorString().toStdString();
    return std::nullopt;
}

} // namespace vrel
