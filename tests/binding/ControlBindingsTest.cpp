#include "BindingTestSupport.h"
#include "FormatSettings.h"
#include "KvOptionList.h"
#include "RadioGroup.h"
#include "KvVRELRequest2Controls.h"
#include "VrelTypes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

namespace vrel {
namespace {

using test::FailureCode;

// The variables of a made-up device, one of each kind the bindings meet.
enum Var : std::uint32_t {
    Counter,
    Enabled,
    Mac,
    Uptime,
    Ip,
    Name,
    Level,
    Access,
    Clock,
    Key,
    Info,
    Ratio,
    VarCount
};

const ResponseVariableDef kInfoFields[] = {{1, "Model", kUint8, nullptr, "7"},
                                            {2, "Serial", kUint32, nullptr, "258"},
                                            {0, nullptr, 0, nullptr, nullptr}};

const OptionDef kOnOff[] = {{0, "off", "Off"}, {0, "on", "On"}, {0, nullptr, nullptr}};
const OptionDef kAccessDefs[] = {{1, nullptr, "readonly"},
                                 {2, nullptr, "writeonly"},
                                 {3, nullptr, "readwrite"},
                                 {0, nullptr, nullptr}};
const KvOptionList kAccess(kAccessDefs, OptionKind::Number, false);

class Bindings : public ::testing::Test {
protected:
    Bindings() {
        const VariableDef table[] = {
            {1, "Counter", kUint32, kReadWrite, nullptr, nullptr, "258"},
            {2, "Enabled", kBool8, kReadWrite, nullptr, nullptr, "true"},
            {3, "Mac", kMacAddress, kReadWrite, nullptr, nullptr, "0011AABBCCDD"},
            {4, "Uptime", kTimeticks, kReadWrite, nullptr, nullptr, "1 day 1:01:01.01"},
            {5, "Ip", kIpAddress, kReadWrite, nullptr, nullptr, "192.168.1.2"},
            {6, "Name", kDisplayStr, kReadWrite, nullptr, nullptr, "0123456789"},
            {7, "Level", kUint8, kReadWrite, nullptr, nullptr, "255"},
            {8, "Access", kUint8, kReadWrite, &kAccess, nullptr, "writeonly"},
            {9, "Clock", kDatetime, kReadWrite, nullptr, nullptr, "2024/02/29 11:59:58 pm"},
            {10, "Key", kOctetStr, kReadWrite, nullptr, nullptr, "0A0B"},
            {11, "Info", kNoValueType, kReadOnly, nullptr, info_.get(), nullptr},
            {12, "Ratio", kDouble, kReadWrite, nullptr, nullptr, "not a number"},
            {0, nullptr, 0, 0, nullptr, nullptr, nullptr},
        };
        presenter.request.variables.append_definitions(table);
    }

    std::string& Value(Var v) { return presenter.request.variables.at(int(v)).value; }

    template <class W> std::vector<W*> Make(int count) {
        std::vector<W*> widgets;
        for (int i = 0; i < count; ++i)
            widgets.push_back(new W(&owner));
        return widgets;
    }

    template <class W>
    void Bind(std::uint32_t var, std::uint8_t type, const std::vector<W*>& controls,
              std::uint32_t start = 0, const KvOptionList* list = nullptr,
              std::vector<std::int32_t> bits = {}, std::uint32_t field = 0) {
        ControlBinding b;
        b.variableIndex = var;
        b.responseVariableIndex = field;
        b.startByte = start;
        b.valueType = type;
        b.optionList = list;
        b.bitIndices = std::move(bits);
        b.controls.assign(controls.begin(), controls.end());
        presenter.bindings.push_back(std::move(b));
    }

    static std::vector<std::string> Texts(const std::vector<QLineEdit*>& edits) {
        std::vector<std::string> texts;
        for (QLineEdit* e : edits)
            texts.push_back(e->text().toLatin1().toStdString());
        return texts;
    }
    static void SetTexts(const std::vector<QLineEdit*>& edits, std::vector<const char*> texts) {
        for (std::size_t i = 0; i < edits.size(); ++i)
            edits[i]->setText(QString::fromLatin1(texts[i]));
    }

    ScopedFormatSettings plain_{FormatSettings{}};
    std::unique_ptr<KvVRELResponseVarList> info_ =
        KvVRELResponseVarList::create_from_definitions(kInfoFields);
    QWidget owner;
    KvVRELRequest2Edits presenter{&owner};
};

TEST_F(Bindings, LabelsShowWholeValuesAndParts) {
    struct Case {
        Var var;
        const char* value;
        std::uint8_t type;
        std::uint32_t start;
        const char* shown;
    } cases[] = {
        {Counter, "258", kUint8, 0, "2"}, // least significant byte first
        {Counter, "258", kUint8, 1, "1"},
        {Counter, "258", kUint16, 0, "258"},
        {Level, "255", kInt8, 0, "-1"},
        {Level, "255", kUint8, 0, "255"}, // the whole value: its text as it stands
        {Counter, " 07", kUint32, 0, " 07"},
        {Ip, "192.168.1.2", kUint8, 3, "2"},
        {Name, "Hello", kDisplayStr, 1, "ello"},
        {Key, "0A0B0C0D", kUint16, 2, "3340"},
        {Access, "readwrite", kUint8, 0, "readwrite"}, // names survive through the values
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.value) + " at " + std::to_string(c.start));
        presenter.bindings.clear();
        Value(c.var) = c.value;
        QLabel* label = Make<QLabel>(1)[0];
        Bind(c.var, c.type, std::vector{label}, c.start);
        presenter.FillControls();
        EXPECT_EQ(label->text().toStdString(), c.shown);
    }
}

TEST_F(Bindings, ReadingBackMergesThePartIntoTheOldValue) {
    struct Case {
        Var var;
        const char* value;
        std::uint8_t type;
        std::uint32_t start;
        const char* typed;
        const char* result;
    } cases[] = {
        {Counter, "258", kUint8, 1, "5", "1282"},
        {Counter, "258", kUint8, 0, "7", "263"},
        {Ip, "10.0.0.1", kUint8, 3, "9", "10.0.0.9"},
        {Ip, "", kUint8, 3, "9", "0.0.0.9"},
        {Key, "", kUint8, 2, "255", "0000FF"}, // the gap before the part is zero bytes
        {Level, "", kInt8, 0, "-1", "255"},
        {Ratio, "", kDouble, 0, "2.5", "2.5"}, // a cleared double is no conversion failure
        {Clock, "", kDatetime, 0, "2001/09/08 07:06:05 am", "2001/09/08 07:06:05 am"},
        {Access, "readonly", kUint8, 0, "Readwrite", "readwrite"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        presenter.bindings.clear();
        Value(c.var) = c.value;
        auto edit = Make<QLineEdit>(1);
        edit[0]->setText(c.typed);
        Bind(c.var, c.type, edit, c.start);
        presenter.ReadControls();
        EXPECT_EQ(Value(c.var), c.result);
    }
}

TEST_F(Bindings, BoolCheckBoxTakesOnlyTheExactWord) {
    const std::pair<const char*, bool> cases[] = {
        {"true", true}, {"True", false}, {"false", false}};
    auto box = Make<QCheckBox>(1);
    Bind(Enabled, kBool8, box);
    for (const auto& [value, checked] : cases) {
        box[0]->setChecked(!checked);
        Value(Enabled) = value;
        presenter.FillControls();
        EXPECT_EQ(box[0]->isChecked(), checked) << value;
        presenter.ReadControls();
        EXPECT_EQ(Value(Enabled), checked ? "true" : "false");
    }
}

TEST_F(Bindings, CheckBoxBitsCountFromTheTopBitOfThePart) {
    struct Case {
        Var var;
        std::uint8_t type;
        std::uint32_t start;
        std::vector<std::int32_t> bits;
        const char* value;
        std::vector<bool> shown;
        std::vector<bool> set;
        const char* result;
    } cases[] = {
        {Level, kUint8, 0, {0, 7}, "128", {true, false}, {false, true}, "1"},
        {Level, kUint8, 0, {0, 7}, "1", {false, true}, {true, true}, "129"},
        // Bits no box names are rebuilt as 0.
        {Level, kUint8, 0, {0}, "255", {true}, {true}, "128"},
        // Bytes 00 01 80 00; the part is bytes 1 and 2, its byte 1 rebuilt from bit 8 alone.
        {Counter, kUint16, 1, {7, 8}, "8388864", {true, true}, {true, false}, "256"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        presenter.bindings.clear();
        Value(c.var) = c.value;
        auto boxes = Make<QCheckBox>(int(c.bits.size()));
        Bind(c.var, c.type, boxes, c.start, nullptr, c.bits);
        presenter.FillControls();
        for (std::size_t i = 0; i < boxes.size(); ++i) {
            EXPECT_EQ(boxes[i]->isChecked(), c.shown[i]) << i;
            boxes[i]->setChecked(c.set[i]);
        }
        presenter.ReadControls();
        EXPECT_EQ(Value(c.var), c.result);
    }
}

TEST_F(Bindings, CheckBoxWithOptionListUsesEntriesZeroAndOne) {
    const KvOptionList onOff(kOnOff, OptionKind::Text, false);
    auto box = Make<QCheckBox>(1);
    Bind(Name, kDisplayStr, box, 0, &onOff);
    const std::pair<const char*, bool> cases[] = {
        {"on", true}, {"On", true}, {"off", false}, {"dimmed", false}};
    for (const auto& [value, checked] : cases) {
        Value(Name) = value;
        presenter.FillControls();
        EXPECT_EQ(box[0]->isChecked(), checked) << value;
    }
    box[0]->setChecked(true);
    presenter.ReadControls();
    EXPECT_EQ(Value(Name), "on");
}

TEST_F(Bindings, ComboBoxAndRadioGroupShowTheNames) {
    auto combo = Make<QComboBox>(1);
    auto radio = Make<RadioGroup>(1);
    const QStringList names{"readonly", "writeonly", "readwrite"};
    combo[0]->addItems(names);
    radio[0]->SetItems(names);
    Bind(Access, kUint8, combo);                   // the variable's list
    Bind(Level, kUint8, radio, 0, &kAccess);       // the binding's own
    Value(Access) = "3";
    Value(Level) = "2";
    presenter.FillControls();
    EXPECT_EQ(combo[0]->currentIndex(), 2);
    EXPECT_EQ(radio[0]->ItemIndex(), 1);

    // Nothing selected reads as the empty text, which is the number 0.
    const std::tuple<int, int, const char*, const char*> reads[] = {{0, 2, "readonly", "3"},
                                                                    {-1, -1, "0", "0"}};
    for (const auto& [comboIndex, radioIndex, access, level] : reads) {
        combo[0]->setCurrentIndex(comboIndex);
        radio[0]->SetItemIndex(radioIndex);
        presenter.ReadControls();
        EXPECT_EQ(Value(Access), access);
        EXPECT_EQ(Value(Level), level);
    }
}

TEST_F(Bindings, MacAddressOverSixEdits) {
    auto edits = Make<QLineEdit>(6);
    Bind(Mac, kMacAddress, edits);
    presenter.FillControls();
    EXPECT_EQ(Texts(edits), (std::vector<std::string>{"00", "11", "AA", "BB", "CC", "DD"}));
    SetTexts(edits, {"", "1", "AB", "c", "0", "FF"});
    presenter.ReadControls();
    EXPECT_EQ(Value(Mac), "0001AB0C00FF");
}

TEST_F(Bindings, SpreadLayoutsGoOutAndComeBack) {
    struct Case {
        Var var;
        std::uint8_t type;
        int edits;
        const char* value;
        std::vector<std::string> shown;
        std::vector<const char*> typed;
        const char* result;
    } cases[] = {
        {Uptime,
         kTimeticks,
         5,
         "1 day 1:01:01.01",
         {"1", "1", "1", "1", "1"},
         {"2", "0", "3", "4", "5"},
         "2 days, 0:03:04.05"},
        {Clock,
         kDatetime,
         7,
         "2024/02/29 11:59:58 pm",
         {"2024", "2", "29", "23", "59", "58", "0"},
         {"2001", "9", "8", "7", "6", "5", "4"},
         "2001/09/08 07:06:05 am"},
        {Ip,
         kIpAddress,
         4,
         "192.168.1.2",
         {"192", "168", "1", "2"},
         {"10", " 0", "0", "7"},
         "10.0.0.7"},
        // The third edit has no byte to show and keeps what it had.
        {Key, kOctetStr, 3, "0A0B", {"0A", "0B", "kept"}, {"1", "", "FF"}, "0100FF"},
        // Not a spread type: only the first edit is used.
        {Counter, kUint32, 2, "258", {"258", "kept"}, {"9", "x"}, "9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        presenter.bindings.clear();
        Value(c.var) = c.value;
        auto edits = Make<QLineEdit>(c.edits);
        edits.back()->setText("kept");
        Bind(c.var, c.type, edits);
        presenter.FillControls();
        EXPECT_EQ(Texts(edits), c.shown);
        SetTexts(edits, c.typed);
        presenter.ReadControls();
        EXPECT_EQ(Value(c.var), c.result);
    }
}

TEST_F(Bindings, TimeticksSpreadReadsBackTheSameCount) {
    Value(Uptime) = "1 day 1:01:01.01"; // 8640000 + 360000 + 6000 + 100 + 1 hundredths
    auto edits = Make<QLineEdit>(5);
    Bind(Uptime, kTimeticks, edits);
    presenter.FillControls();
    EXPECT_EQ(Texts(edits), (std::vector<std::string>(5, "1")));
    Value(Uptime).clear();
    presenter.ReadControls();
    EXPECT_EQ(Value(Uptime), "1 day 1:01:01.01");
}

TEST_F(Bindings, TextIsRebuiltFromItsBindingsAlone) {
    const std::tuple<const char*, const char*, const char*> cases[] = {
        {"AB", "CD", "AB"}, // the gap is zero bytes, where the text ends
        {"ABCD", "EF", "ABCDEF"},
        {"A\xE9", "", "A\xE9"}, // every byte survives the widgets
    };
    for (const auto& [first, second, result] : cases) {
        presenter.bindings.clear();
        Value(Name) = "0123456789";
        auto edits = Make<QLineEdit>(2);
        edits[0]->setText(QString::fromLatin1(first));
        edits[1]->setText(QString::fromLatin1(second));
        Bind(Name, kDisplayStr, std::vector{edits[0]}, 0);
        Bind(Name, kDisplayStr, std::vector{edits[1]}, 4);
        presenter.ReadControls();
        EXPECT_EQ(Value(Name), result);
    }
}

TEST_F(Bindings, StructuredVariablesAreShownButNeverReadBack) {
    auto label = Make<QLabel>(1);
    Bind(Info, kUint8, label, 1, nullptr, {}, 1);
    presenter.FillControls();
    EXPECT_EQ(label[0]->text(), "1");
    label[0]->setText("9");
    presenter.ReadControls();
    EXPECT_EQ(presenter.request.variables.at(Info).responseVars->at(1).value, "258");
}

TEST_F(Bindings, OnlyBoundVariablesAreConverted) {
    // Ratio holds a text no double reader takes; it has no binding, so it is left alone.
    auto label = Make<QLabel>(1);
    label[0]->setText("3");
    Bind(Level, kUint8, label);
    presenter.ReadControls();
    EXPECT_EQ(Value(Level), "3");
    EXPECT_EQ(Value(Ratio), "not a number");
}

TEST_F(Bindings, OtherControlsFailToFillAndAreSkippedOnReading) {
    auto button = Make<QPushButton>(1);
    Bind(Counter, kUint8, button, 1);
    EXPECT_EQ(FailureCode([&] { presenter.FillControls(); }), -1024);
    presenter.ReadControls();
    EXPECT_EQ(Value(Counter), "258");
}

// Controls of one kind: Label, Combo box, Radio group, check boX, Edit; Mixed is edits but a
// label last.
std::vector<QWidget*> Controls(QWidget* owner, char kind, int count) {
    std::vector<QWidget*> controls;
    for (int i = 0; i < count; ++i) {
        const bool last = i == count - 1;
        switch (kind) {
        case 'L':
            controls.push_back(new QLabel(owner));
            break;
        case 'C':
            controls.push_back(new QComboBox(owner));
            break;
        case 'R':
            controls.push_back(new RadioGroup(owner));
            break;
        case 'X':
            controls.push_back(new QCheckBox(owner));
            break;
        case 'M':
            controls.push_back(last ? static_cast<QWidget*>(new QLabel(owner))
                                    : new QLineEdit(owner));
            break;
        default:
            controls.push_back(new QLineEdit(owner));
        }
    }
    return controls;
}

TEST_F(Bindings, FailureCodes) {
    struct Case {
        const char* what;
        std::uint32_t var;
        const char* value; // null: the table's
        std::uint8_t type;
        char kind;
        int count;
        std::uint32_t start;
        std::vector<std::int32_t> bits;
        std::uint32_t field;
        int fill;
        int read; // 1: reading back succeeds
    } cases[] = {
        {"variable index", VarCount, nullptr, kUint8, 'L', 1, 0, {}, 0, -1016, -1016},
        {"field index", Info, nullptr, kUint8, 'L', 1, 0, {}, 2, -1016, 1},
        {"value type", Info, nullptr, 0, 'L', 1, 0, {}, 0, -1007, 1},
        {"part beyond the value", Counter, nullptr, kUint8, 'L', 1, 4, {}, 0, -1019, 1},
        {"start far out", Name, nullptr, kUint8, 'L', 1, 100000, {}, 0, -1019, -1019},
        {"combo without list", Counter, nullptr, kUint32, 'C', 1, 0, {}, 0, -1020, 1},
        {"partial of a listed value", Access, nullptr, kInt8, 'R', 1, 0, {}, 0, -1020, 1},
        {"bit beyond the part", Level, nullptr, kUint8, 'X', 1, 0, {8}, 0, -1021, 1},
        {"negative bit", Level, nullptr, kUint8, 'X', 1, 0, {-1}, 0, -1021, -1021},
        {"check box on a number", Level, nullptr, kUint8, 'X', 1, 0, {}, 0, -1022, -1022},
        {"four edits for ticks", Uptime, nullptr, kTimeticks, 'E', 4, 0, {}, 0, -1023, -1023},
        {"more bytes than edits", Key, "0A0B0C", kOctetStr, 'E', 2, 0, {}, 0, -1023, 1},
        {"short address", Ip, "1.2", kIpAddress, 'E', 4, 0, {}, 0, -1018, 1},
        {"short MAC address", Mac, "0011", kMacAddress, 'E', 6, 0, {}, 0, -1018, 1},
        {"mixed controls", Mac, nullptr, kMacAddress, 'M', 6, 0, {}, 0, -1024, -1024},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        presenter.bindings.clear();
        if (c.value != nullptr)
            Value(Var(c.var)) = c.value;
        Bind(c.var, c.type, Controls(&owner, c.kind, c.count), c.start, nullptr, c.bits, c.field);
        EXPECT_EQ(FailureCode([&] { presenter.FillControls(); }), c.fill);
        EXPECT_EQ(FailureCode([&] { presenter.ReadControls(); }), c.read);
    }
}

TEST_F(Bindings, TooFewEditsForTicksSaySo) {
    Bind(Uptime, kTimeticks, Make<QLineEdit>(4));
    EXPECT_EQ(test::FailureText([&] { presenter.FillControls(); }),
              "(KvVREL) Count of the edits is not enough to put the VREL variable's partial "
              "value on them!");
}

} // namespace
} // namespace vrel
