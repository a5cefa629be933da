#pragma once

#include <QString>

#include <optional>

namespace vrel {

// How a cell sorts for a reader: IP addresses and numbers by value (10.0.0.9 before 10.0.0.10),
// other texts regardless of case. Parsing is what costs, so a sort makes each key once.
class RowSortKey {
public:
    explicit RowSortKey(const QString& text);
    bool operator<(const RowSortKey& other) const;

private:
    QString text_;
    std::optional<quint64> number_;
};

} // namespace vrel
