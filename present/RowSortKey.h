#pragma once

#include <QString>

#include <optional>

namespace vrel {

// How a report row's cell sorts, as a reader expects: IP addresses and plain numbers by value
// (10.0.0.9 before 10.0.0.10, 9 before 10), other texts alphabetically regardless of case.
// Parsing a cell is the costly part of a comparison, so a sort makes each key once.
class RowSortKey {
public:
    explicit RowSortKey(const QString& text);
    bool operator<(const RowSortKey& other) const;

private:
    QString text_;
    std::optional<quint64> number_;
};

} // namespace vrel
