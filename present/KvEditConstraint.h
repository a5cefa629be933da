#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QWidget;

namespace vrel {

// The edit-constraint set of a presenter: the owner window, a flag and a list of constraint
// texts. Nothing adds entries yet; the catalogue holds the texts its checks would report.
class KvEditConstraint {
public:
    KvEditConstraint(QWidget* owner, std::uint8_t flag) : owner_(owner), flag_(flag) {}

    QWidget* Owner() const { return owner_; }
    std::uint8_t Flag() const { return flag_; }
    int Count() const { return static_cast<int>(entries_.size()); }

private:
    struct _EditConstraint_s {
        std::string text;
    };

    QWidget* owner_;
    std::uint8_t flag_;
    std::vector<std::unique_ptr<_EditConstraint_s>> entries_;
};

} // namespace vrel
