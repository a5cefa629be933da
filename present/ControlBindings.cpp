#include "KvVRELRequest2Controls.h"

#include "BindingImage.h"
#include "DateTimeText.h"
#include "Exception.h"
#include "KvOptionList.h"
#include "RadioGroup.h"
#include "OptionSelect.h"
#include "ResultCodes.h"
#include "ValueCodec.h"
#include "VrelTypes.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

namespace vrel {

namespace {

// A part starting beyond a request datagram is a bad binding, not gigabytes of zeros.
constexpr std::size_t kMaxStart = kSendAreaSize;

// Latin-1 keeps every byte of a value text across the widget boundary.
std::string Bytes(const QString& text) {
    return text.toLatin1().toStdString();
}

// What a binding shows: the response variable it names of a structured variable, else that.
struct Source {
    std::uint8_t type;
    const KvOptionList* optionList;
    const std::string* value;
};

Source SourceOf(const KvVRELVarList& vars, const ControlBinding& b) {
    if (b.variableIndex >= static_cast<std::uint32_t>(vars.count()))
        RaiseVrel(kBadIndex);
    const KvVRELVar& var = vars.at(static_cast<int>(b.variableIndex));
    if (!var.responseVars)
        return {var.valueType, var.optionList, &var.value};
    if (b.responseVariableIndex >= static_cast<std::uint32_t>(var.responseVars->count()))
        RaiseVrel(kBadIndex);
    const KvVRELResponseVar& field =
        var.responseVars->at(static_cast<int>(b.responseVariableIndex));
    return {field.valueType, field.optionList, &field.value};
}

bool IsPartial(const ControlBinding& b, std::uint8_t sourceType) {
    return b.startByte != 0 || b.valueType != sourceType;
}

// A part has no names of its own unless the binding brings them.
const KvOptionList* EffectiveList(const ControlBinding& b, const KvOptionList* sourceList,
                                  std::uint8_t sourceType) {
    return b.optionList != nullptr || IsPartial(b, sourceType) ? b.optionList : sourceList;
}

// The controls of a binding are all of its first control's kind.
QWidget* FirstControl(const ControlBinding& b) {
    return b.controls.empty() ? nullptr : b.controls.front();
}

template <class Control> Control* ControlAt(const ControlBinding& b, std::size_t i) {
    auto* control = qobject_cast<Control*>(b.controls[i]);
    if (control == nullptr)
        RaiseVrel(kBadControl);
    return control;
}

const KvOptionList& RequiredList(const KvOptionList* list) {
    if (list == nullptr)
        RaiseVrel(kNoOptionList);
    return *list;
}

bool IsBoolType(std::uint8_t type) {
    return type == kBool8 || type == kBool16 || type == kBool32;
}

// Bit 0 is the most significant bit of the part's first byte.
struct Bit {
    std::size_t byte;
    unsigned char mask;
};

Bit BitAt(std::int32_t index) {
    if (index < 0 || static_cast<std::size_t>(index) / 8 >= kMaxStart)
        RaiseVrel(kBitOutside);
    return {static_cast<std::size_t>(index) / 8, static_cast<unsigned char>(0x80u >> (index % 8))};
}

std::size_t BitBoxCount(const ControlBinding& b) {
    return std::min(b.controls.size(), b.bitIndices.size());
}

// Types shown over several edits when bound to more than one.
bool IsSpreadType(std::uint8_t type) {
    return type >= kTimeticks && type <= kOctetStr;
}

// Edits a spread layout needs, by type from kTimeticks on (the strings: one per byte).
constexpr std::size_t kLayoutEdits[] = {5, 7, 4, 6, 0, 0};

std::size_t LayoutEdits(std::uint8_t type) {
    return IsSpreadType(type) ? kLayoutEdits[type - kTimeticks] : 0;
}

// The texts of the first edits of a spread layout.
std::vector<std::string> SpreadImage(const std::string& image, std::uint8_t type,
                                     std::size_t edits) {
    const bool isString = type == kBitStr || type == kOctetStr;
    const std::size_t needed = isString ? image.size() : LayoutEdits(type);
    if (edits < needed)
        RaiseVrel(kTooFewEdits);
    std::vector<std::string> texts;
    if (type == kTimeticks) {
        const std::uint32_t t = ReadWrappedDecimal(BytesToText(image, kUint32));
        for (auto v :
             {t / 8640000, t % 8640000 / 360000, t % 360000 / 6000, t % 6000 / 100, t % 100})
            texts.push_back(std::to_string(v));
    } else if (type == kDatetime) {
        const CivilDateTime c = DecodeDateTime(ImageDateTime(image));
        for (int v : {c.year, c.month, c.day, c.hour, c.minute, c.second, c.millisecond})
            texts.push_back(std::to_string(v));
    } else {
        // An address of fewer components than edits would leave edits with nothing to show.
        if (image.size() < fixed_value_size(type))
            RaiseVrel(kShortImage);
        for (std::size_t i = 0; i < needed; ++i) {
            const auto byte = static_cast<unsigned char>(image[i]);
            texts.push_back(type == kIpAddress ? std::to_string(byte)
                                               : bytes_to_hex(image.substr(i, 1)));
        }
    }
    return texts;
}

// The value text of a spread layout's edits.
std::string GatherEdits(const std::vector<std::string>& t, std::uint8_t type) {
    if (t.size() < LayoutEdits(type))
        RaiseVrel(kTooFewEdits);
    auto n = [&t](std::size_t i) { return ReadWrappedDecimal(t[i]); };
    auto i32 = [&n](std::size_t i) { return static_cast<int>(n(i)); };
    std::string text;
    switch (type) {
    case kTimeticks:
        return ticks_to_text(n(0) * 8640000u + n(1) * 360000u + n(2) * 6000u + n(3) * 100u + n(4));
    case kDatetime:
        return FormatDateTime(
            EncodeDateTime({i32(0), i32(1), i32(2), i32(3), i32(4), i32(5), i32(6)}));
    case kIpAddress:
        for (std::size_t i = 0; i < 4; ++i)
            text += (i ? "." : "") + std::to_string(n(i));
        return text;
    case kMacAddress:
    case kBitStr:
    case kOctetStr: {
        const std::size_t count = type == kMacAddress ? 6 : t.size();
        // A hex byte typed into an edit: empty counts as 00, one digit as its low half.
        for (std::size_t i = 0; i < count; ++i)
            text += std::string(2 - std::min<std::size_t>(t[i].size(), 2), '0') + t[i];
        return text;
    }
    default:
        return t.front();
    }
}

void PutInEdits(const ControlBinding& b, const std::string& image, const std::string& text) {
    if (b.controls.size() == 1 || !IsSpreadType(b.valueType)) {
        ControlAt<QLineEdit>(b, 0)->setText(QString::fromLatin1(text));
        return;
    }
    const std::vector<std::string> texts = SpreadImage(image, b.valueType, b.controls.size());
    for (std::size_t i = 0; i < texts.size(); ++i)
        ControlAt<QLineEdit>(b, i)->setText(QString::fromLatin1(texts[i]));
}

void PutInCheckBoxes(const ControlBinding& b, const KvOptionList* list, const std::string& image,
                     const std::string& text) {
    if (!b.bitIndices.empty()) {
        for (std::size_t i = 0; i < BitBoxCount(b); ++i) {
            const Bit bit = BitAt(b.bitIndices[i]);
            if (bit.byte >= image.size())
                RaiseVrel(kBitOutside);
            const auto byte = static_cast<unsigned char>(image[bit.byte]);
            ControlAt<QCheckBox>(b, i)->setChecked((byte & bit.mask) != 0);
        }
    } else if (list != nullptr) {
        // Entry 0 names the unchecked state; a text that names nothing leaves the box clear.
        ControlAt<QCheckBox>(b, 0)->setChecked(list->SelectionIndex(text) > 0);
    } else if (IsBoolType(b.valueType)) {
        ControlAt<QCheckBox>(b, 0)->setChecked(text == "true");
    } else {
        RaiseVrel(kCheckBoxType);
    }
}

void FillBinding(const KvVRELVarList& vars, const ControlBinding& b) {
    const Source source = SourceOf(vars, b);
    std::string text =
        source.optionList ? source.optionList->NameToValue(*source.value) : *source.value;
    std::string image = TextToBytes(text, source.type);
    if (IsPartial(b, source.type)) {
        image = ExtractPart(image, b.startByte, b.valueType);
        text = BytesToText(image, b.valueType);
    }
    const KvOptionList* list = EffectiveList(b, source.optionList, source.type);
    if (list != nullptr)
        text = list->ValueToName(text);
    QWidget* first = FirstControl(b);
    if (auto* label = qobject_cast<QLabel*>(first))
        label->setText(QString::fromLatin1(text));
    else if (qobject_cast<QCheckBox*>(first))
        PutInCheckBoxes(b, list, image, text);
    else if (auto* box = qobject_cast<QComboBox*>(first))
        SelectInComboBox(RequiredList(list), box, text);
    else if (auto* group = qobject_cast<RadioGroup*>(first))
        SelectInRadioGroup(RequiredList(list), group, text);
    else if (qobject_cast<QLineEdit*>(first))
        PutInEdits(b, image, text);
    else
        RaiseVrel(kBadControl);
}

// The checked boxes' bits over zero bytes: bits of those bytes no box names read back as 0.
std::string BitsPart(const ControlBinding& b) {
    std::string part;
    for (std::size_t i = 0; i < BitBoxCount(b); ++i) {
        const Bit bit = BitAt(b.bitIndices[i]);
        part.resize(std::max(part.size(), bit.byte + 1), '\0');
        auto byte = static_cast<unsigned char>(part[bit.byte]);
        byte = ControlAt<QCheckBox>(b, i)->isChecked() ? byte | bit.mask : byte & ~bit.mask;
        part[bit.byte] = static_cast<char>(byte);
    }
    return part;
}

// The text a binding's controls hold; a control showing no item gives the empty text.
std::optional<std::string> ControlsText(const ControlBinding& b, const KvOptionList* list) {
    QWidget* first = FirstControl(b);
    if (const auto* label = qobject_cast<QLabel*>(first))
        return Bytes(label->text());
    if (const auto* check = qobject_cast<QCheckBox*>(first)) {
        const int entry = check->isChecked() ? 1 : 0;
        if (list != nullptr)
            return entry < list->Count() ? list->Entry(entry).name : std::string();
        if (!IsBoolType(b.valueType))
            RaiseVrel(kCheckBoxType);
        return check->isChecked() ? "true" : "false";
    }
    if (const auto* box = qobject_cast<QComboBox*>(first))
        return box->currentIndex() < 0 ? std::string() : Bytes(box->itemText(box->currentIndex()));
    if (const auto* group = qobject_cast<RadioGroup*>(first))
        return Bytes(group->Items().value(group->ItemIndex())); // none checked: empty
    if (!qobject_cast<QLineEdit*>(first))
        return std::nullopt;
    if (b.controls.size() == 1)
        return Bytes(ControlAt<QLineEdit>(b, 0)->text());
    std::vector<std::string> texts;
    for (std::size_t i = 0; i < b.controls.size(); ++i)
        texts.push_back(Bytes(ControlAt<QLineEdit>(b, i)->text()));
    return GatherEdits(texts, b.valueType);
}

// The bytes the binding's controls hold, or nothing for controls no value is read from.
std::optional<std::string> ReadPart(const ControlBinding& b, const KvOptionList* list) {
    if (qobject_cast<QCheckBox*>(FirstControl(b)) && !b.bitIndices.empty())
        return BitsPart(b);
    std::optional<std::string> text = ControlsText(b, list);
    if (!text)
        return std::nullopt;
    return TextToBytes(list ? list->NameToValue(*text) : *text, b.valueType);
}

void ReadVariable(KvVRELVar& var, std::uint32_t index, const std::vector<ControlBinding>& all) {
    std::string image;
    bool named = false;
    for (const ControlBinding& b : all) {
        if (b.variableIndex != index)
            continue;
        // The old value matters only to the bytes no binding covers; a text is rebuilt from
        // its bindings alone.
        if (!named && var.valueType != kDisplayStr)
            image = TextToBytes(var.optionList ? var.optionList->NameToValue(var.value) : var.value,
                                var.valueType);
        named = true;
        if (const auto part = ReadPart(b, EffectiveList(b, var.optionList, var.valueType))) {
            if (b.startByte > kMaxStart)
                RaiseVrel(kPartOutside);
            image.resize(std::max<std::size_t>(image.size(), b.startByte + part->size()), '\0');
            image.replace(b.startByte, part->size(), *part);
        }
    }
    if (!named)
        return;
    const std::string text = BytesToText(image, var.valueType);
    var.value = var.optionList ? var.optionList->ValueToName(text) : text;
}

} // namespace

void KvVRELRequest2Edits::FillControls() {
    for (const ControlBinding& b : bindings)
        FillBinding(request.variables, b);
}

void KvVRELRequest2Edits::ReadControls() {
    KvVRELVarList& vars = request.variables;
    for (const ControlBinding& b : bindings) {
        if (b.variableIndex >= static_cast<std::uint32_t>(vars.count()))
            RaiseVrel(kBadIndex);
    }
    // Structured variables are answers only; nothing of theirs is sent back.
    for (int i = 0; i < vars.count(); ++i) {
        if (!vars.at(i).responseVars)
            ReadVariable(vars.at(i), static_cast<std::uint32_t>(i), bindings);
    }
}

} // namespace vrel
