#include "auxinputs/aux_calibration.h"

#include <gtest/gtest.h>

#include "auxinputs/aux_setup_form.h"
#include "ports/memory_settings_store.h"
#include "support/recording_prompts.h"

namespace tunalyx {
namespace {

TEST(AuxCalibration, AnEmptyStoreGivesTheWideBandLineAndWhatIsStoredReadsBack) {
    MemorySettingsStore store;
    AuxSettings s = loadAuxSettings(store);
    EXPECT_EQ(s.inputs[0].name + " " + s.inputs[0].unit + " " + s.inputs[3].name,
              "Wide Band A/F raw");  // and the lines of the form's tests

    s.inputs[2] = {"EGT", "C", 1, 4, 0, 1200, 0, 0, 0};
    s.inputs[3] = {"Oil", "bar", 0, 5, 0, 5, 0.5, -2, 3};  // the polynomial replaces the line
    s.delta = {true, false};
    saveAuxSettings(store, s);
    EXPECT_EQ(store.text("Aux3Volt2", ""), " 4");  // a leading blank when not negative
    EXPECT_EQ(store.text("Aux4Poly1", ""), "-2");
    EXPECT_EQ(store.text("Aux12Delta", ""), "1");
    const AuxCalibration aux = auxCalibrationOf(loadAuxSettings(store));
    EXPECT_EQ(aux.names.names[2], "EGT");
    EXPECT_EQ((std::array{aux.c1[2], aux.c0[2], aux.c2[3], aux.c1[3], aux.c0[3]}),
              (std::array<double, 5>{400, -400, 0.5, -2, 3}));
    EXPECT_TRUE(aux.names.an1MinusAn2);
    EXPECT_FALSE(aux.names.an3MinusAn4);
}

class AuxSetupFormTest : public ::testing::Test {
protected:
    test::RecordingPrompts prompts;
    const AuxSettings stored = loadAuxSettings(MemorySettingsStore());
    AuxSetupForm form{stored, NumberLocale{','}};
};

TEST_F(AuxSetupFormTest, NumbersAreInTheLocaleAndAnEntryThatIsNoneKeepsTheLine) {
    form.fields[0].val2 = "20,5";                       // the user's decimal comma
    form.fields[1].val1 = "4 A/F";                      // a unit after the number
    form.fields[2].volt1 = form.fields[2].volt2 = "x";  // the same text, but no number
    form.fields[3].name = "Oil";
    form.delta = {false, true};
    ASSERT_TRUE(form.confirm(prompts));
    const AuxSettings& s = form.settings();
    EXPECT_EQ((std::array{s.inputs[0].poly1, s.inputs[0].poly0, s.inputs[0].val2}),
              (std::array{2.1, 10.0, 20.5}));
    EXPECT_EQ(s.inputs[1], stored.inputs[1]);  // the line they had, points and all
    EXPECT_EQ(s.inputs[2], stored.inputs[2]);
    EXPECT_EQ(s.inputs[3].name, "Oil");
    EXPECT_TRUE(s.delta[1]);
    EXPECT_EQ(prompts.texts(), std::vector<std::string>(2, "Please enter numerical values."));
}

TEST_F(AuxSetupFormTest, EqualVoltsKeepTheDialogOpenAndThePolynomialTakesOver) {
    form.fields[3].volt2 = "0";
    EXPECT_FALSE(form.confirm(prompts));
    EXPECT_EQ(prompts.texts(),
              std::vector<std::string>{"Error! Volts values must not be the same."});
    EXPECT_EQ(form.settings().inputs[3].volt2, 5);  // nothing kept
    // Poly on equal volts starts the line from 0 V and 5 V.
    EXPECT_EQ(form.polyStart(3, prompts), (AuxSetupForm::PolyTexts{"0", "1", "0"}));
    EXPECT_EQ(form.fields[3].volt2, "5");

    // A linear input opens with its line; a curve takes over its points...
    EXPECT_EQ(form.polyStart(0, prompts), (AuxSetupForm::PolyTexts{"0", "2", "10"}));
    form.polyConfirmed(0, {"0,5", "2", "10"}, prompts);
    EXPECT_FALSE(form.pointsEnabled(0));
    EXPECT_EQ(form.fields[0].val2, "32,5");  // the curve at 5 V
    ASSERT_TRUE(form.confirm(prompts));
    EXPECT_EQ((std::array{form.settings().inputs[0].poly2, form.settings().inputs[0].val2}),
              (std::array{0.5, 32.5}));  // the points stored as shown
    // ...until a is 0 again; a bad coefficient stops after those before it.
    form.polyConfirmed(0, {"0", "3", "x"}, prompts);
    EXPECT_EQ(prompts.texts().back(), "Polynomial Setup Error");
    EXPECT_TRUE(form.pointsEnabled(0));
    EXPECT_EQ((std::array{form.settings().inputs[0].poly1, form.settings().inputs[0].poly0}),
              (std::array{3.0, 10.0}));
}

}  // namespace
}  // namespace tunalyx
