#pragma once

#include "ReportListView.h"
#include "KvVRELClient.h"
#include "KvVRELRequest2Controls.h"
#include "MessageBox.h"
#include "Messages.h"
#include "VrelTables.h"

#include <string>
#include <vector>

namespace vrel::test {

// The five fields of one device as a Discover answer reports them.
struct DeviceFields {
    std::string productCode;
    std::string model;
    std::string mac;
    std::string ip;
    std::string netmask;
};

// The Discovery list with one device's fields filled in, as the client hands it to a callback.
inline KvVRELVarList DiscoveryAnswer(const DeviceFields& d) {
    KvVRELVarList list(*KvVRELVarList::create_from_definitions(DiscoveryVariables()));
    KvVRELResponseVarList& fields = *list.at(0).responseVars;
    const std::string values[] = {d.productCode, d.model, d.mac, d.ip, d.netmask};
    for (int i = 0; i < fields.count(); ++i)
        fields.at(i).value = values[i];
    return list;
}

inline KvVRELError Completion(std::uint8_t command, int code = 0) {
    KvVRELError e;
    e.code = code;
    e.message = MessageForCode(code);
    e.command = command;
    return e;
}

// The texts of a list view row, column 0 (the caption) first.
inline std::vector<std::string> RowTexts(const ReportListView& view, int row) {
    return view.Rows().Row(row).Cells();
}

// Message boxes of the scope are recorded instead of shown.
class MessageBoxCapture {
public:
    struct Box {
        QWidget* owner;
        std::string text;
        std::string caption;
    };

    MessageBoxCapture() {
        previous_ = SetMessageBoxFunction(
            [this](QWidget* owner, const std::string& text, const std::string& caption) {
                boxes.push_back({owner, text, caption});
            });
    }
    ~MessageBoxCapture() { SetMessageBoxFunction(std::move(previous_)); }
    MessageBoxCapture(const MessageBoxCapture&) = delete;
    MessageBoxCapture& operator=(const MessageBoxCapture&) = delete;

    std::vector<Box> boxes;

private:
    MessageBoxFunction previous_;
};

} // namespace vrel::test
