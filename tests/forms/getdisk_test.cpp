#include "getdisk.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "interaction.h"
#include "qtenvironment.h"
#include "qtinteraction.h"

namespace {

template <typename T>
T* Child(QWidget& form, const char* name) {
    T* child = form.findChild<T*>(name);
    EXPECT_NE(child, nullptr) << name;
    return child;
}

bool WarningShown(TGetDiskForm& form) {
    return !Child<QLabel>(form, "Label3")->isHidden() && !Child<QLabel>(form, "Label4")->isHidden();
}

class GetDiskForm : public testing::Test {
  protected:
    void SetUp() override { TQtEnvironment::App(); }
};

TEST_F(GetDiskForm, TheFirstDisketteOffersThreeItems) {
    TGetDiskForm form(nullptr, 1);

    EXPECT_EQ(form.Items(),
              QStringList({"Insert diskette number 1.", "Make the current diskette number 1.",
                           "Skip diskette number 1 and label this diskette number 2."}));
}

TEST_F(GetDiskForm, ALaterDisketteOffersFourItemsAndTheTexts) {
    TGetDiskForm form(nullptr, 4);

    EXPECT_EQ(form.windowTitle(), "Vaultaire 2000");
    EXPECT_EQ(Child<QLabel>(form, "Label1")->text(),
              "The current diskette for this profile is number 4.");
    EXPECT_EQ(Child<QLabel>(form, "Label2")->text(),
              "Please select one of the following options and press OK when ready.");
    EXPECT_EQ(Child<QLabel>(form, "Label3")->text(), "Warning: If you select this item,");
    EXPECT_EQ(Child<QLabel>(form, "Label4")->text(),
              "All data on the current diskette will be erased");
    EXPECT_TRUE(Child<QLabel>(form, "Label3")->font().bold());
    EXPECT_EQ(form.Items(),
              QStringList({"Insert diskette number 4.",
                           "Use the current diskette and restart numbering at 1",
                           "Make the current diskette number 4.",
                           "Skip diskette number 4 and label this diskette number 5."}));
    EXPECT_TRUE(Child<QRadioButton>(form, "Options0")->isChecked());
    EXPECT_EQ(form.Choice(), gdInsert);
    EXPECT_FALSE(WarningShown(form));
    EXPECT_EQ(Child<QPushButton>(form, "OkButton")->text(), "&Ok");
    EXPECT_EQ(Child<QPushButton>(form, "CancelButton")->text(), "&Cancel");
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
}

struct TChoiceCase {
    int LabelNumber;
    int Item;
    int Choice;
};

class GetDiskChoice : public GetDiskForm, public testing::WithParamInterface<TChoiceCase> {};

// Clicking an item sets the choice it stands for and warns of the erasing; without the
// restart item the later items stand one choice higher.
TEST_P(GetDiskChoice, AClickedItemGivesItsChoice) {
    const TChoiceCase& c = GetParam();
    TGetDiskForm form(nullptr, c.LabelNumber);
    form.show();

    auto* item = Child<QRadioButton>(form, ("Options" + std::to_string(c.Item)).c_str());
    ASSERT_NE(item, nullptr);
    item->click();

    EXPECT_EQ(form.Choice(), c.Choice);
    EXPECT_EQ(WarningShown(form), c.Choice != gdInsert);
}

INSTANTIATE_TEST_SUITE_P(Items, GetDiskChoice,
                         testing::Values(TChoiceCase{1, 0, gdInsert}, TChoiceCase{1, 1, gdRenumber},
                                         TChoiceCase{1, 2, gdSkip}, TChoiceCase{4, 0, gdInsert},
                                         TChoiceCase{4, 1, gdRestart},
                                         TChoiceCase{4, 2, gdRenumber}, TChoiceCase{4, 3, gdSkip}));

TEST_F(GetDiskForm, GoingBackToTheFirstItemHidesTheWarningAndResetsTheChoice) {
    TGetDiskForm form(nullptr, 4);
    form.show();
    Child<QRadioButton>(form, "Options3")->click();
    ASSERT_TRUE(WarningShown(form));

    Child<QRadioButton>(form, "Options0")->click();

    EXPECT_EQ(form.Choice(), gdInsert);
    EXPECT_FALSE(WarningShown(form));
}

// The desktop's interaction asks the diskette question with this form.
struct TAnswerCase {
    const char* Name;
    int LabelNumber;
    int Item;
    const char* Button;
    int Answer;
    int Choice;
};

class DisketteQuestion : public GetDiskForm, public testing::WithParamInterface<TAnswerCase> {};

TEST_P(DisketteQuestion, TheQtInteractionAsksWithTheForm) {
    const TAnswerCase& c = GetParam();
    QTimer::singleShot(0, [&] {
        auto* form = qobject_cast<TGetDiskForm*>(QApplication::activeModalWidget());
        ASSERT_NE(form, nullptr) << "no diskette request open";
        form->SelectItem(c.Item);
        Child<QPushButton>(*form, c.Button)->click();
    });
    TQtInteraction interaction;
    int choice = -1;

    EXPECT_EQ(interaction.AskDiskette(c.LabelNumber, choice), c.Answer);
    EXPECT_EQ(choice, c.Choice);
}

INSTANTIATE_TEST_SUITE_P(
    Answers, DisketteQuestion,
    testing::Values(TAnswerCase{"OkOnRestart", 4, 1, "OkButton", IDOK, gdRestart},
                    TAnswerCase{"OkOnSkipOfTheFirst", 1, 2, "OkButton", IDOK, gdSkip},
                    TAnswerCase{"OkOnInsert", 2, 0, "OkButton", IDOK, gdInsert},
                    // Cancel leaves the choice as it was given.
                    TAnswerCase{"Cancel", 4, 3, "CancelButton", IDCANCEL, -1}),
    [](const testing::TestParamInfo<TAnswerCase>& info) { return info.param.Name; });

}  // namespace
