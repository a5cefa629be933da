#include "OptionSelect.h"
#include "BindingTestSupport.h"
#include "KvOptionList.h"
#include "RadioGroup.h"

#include <QComboBox>
#include <QRadioButton>

#include <gtest/gtest.h>

namespace vrel {
namespace {

using test::FailureCode;

const OptionDef kModes[] = {
    {0, "a", "Alpha"}, {0, "b", "Beta"}, {0, "c", "b"}, {0, nullptr, nullptr}};
const OptionDef kLevels[] = {{10, nullptr, "low"}, {20, nullptr, "high"}, {0, nullptr, nullptr}};

// The item index each control ends with, starting from the last item selected.
TEST(OptionSelect, ByNameElseByValueElseNothing) {
    const KvOptionList modes(kModes, OptionKind::Text, false);
    const KvOptionList levels(kLevels, OptionKind::Number, false);
    const std::tuple<const KvOptionList*, const char*, int> cases[] = {
        {&modes, "Beta", 1},     {&modes, "a", 0},     {&modes, "b", 2}, // the name wins
        {&modes, "zzz", -1},     {&levels, "HIGH", 1}, {&levels, "10", 0},
        {&levels, "(NULL)", -1}, {&levels, "30", -1},
    };
    QComboBox box;
    RadioGroup group;
    for (const auto& [list, text, index] : cases) {
        SCOPED_TRACE(text);
        QStringList names;
        for (int i = 0; i < list->Count(); ++i)
            names << QString::fromStdString(list->Entry(i).name);
        box.clear();
        box.addItems(names);
        group.SetItems(names);
        box.setCurrentIndex(list->Count() - 1);
        group.SetItemIndex(list->Count() - 1);
        SelectInComboBox(*list, &box, text);
        SelectInRadioGroup(*list, &group, text);
        EXPECT_EQ(box.currentIndex(), index);
        EXPECT_EQ(group.ItemIndex(), index);
    }
}

// The control ends with no selection even though the lookup by value raises.
TEST(OptionSelect, NumberListRaisesTheConversionErrorForOtherTexts) {
    const KvOptionList levels(kLevels, OptionKind::Number, false);
    QComboBox box;
    box.addItems({"low", "high"});
    box.setCurrentIndex(1);
    RadioGroup group;
    group.SetItems({"low", "high"});
    group.SetItemIndex(1);
    EXPECT_EQ(FailureCode([&] { SelectInComboBox(levels, &box, "medium"); }), 0);
    EXPECT_EQ(FailureCode([&] { SelectInRadioGroup(levels, &group, "1x"); }), 0);
    EXPECT_EQ(box.currentIndex(), -1);
    EXPECT_EQ(group.ItemIndex(), -1);
}

TEST(RadioGroup, ItemIndexFollowsTheButtons) {
    RadioGroup group;
    EXPECT_EQ(group.ItemIndex(), -1);
    group.SetItems({"one", "two", "three"});
    EXPECT_EQ(group.Items(), (QStringList{"one", "two", "three"}));
    const std::pair<int, int> moves[] = {{1, 1}, {-1, -1}, {2, 2}, {3, -1}, {0, 0}, {-7, -1}};
    for (const auto& [set, result] : moves) {
        group.SetItemIndex(set);
        EXPECT_EQ(group.ItemIndex(), result) << set;
    }
    group.SetItemIndex(1);
    group.SetItems({"x", "y"});
    EXPECT_EQ(group.Items(), (QStringList{"x", "y"}));
    EXPECT_EQ(group.ItemIndex(), -1);
    EXPECT_EQ(group.findChildren<QRadioButton*>().size(), 2);
}

} // namespace
} // namespace vrel
