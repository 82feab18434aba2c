#pragma once

#include <array>
#include <string>

#include "auxinputs/aux_calibration.h"
#include "model/number_format.h"
#include "ports/user_prompts.h"

namespace tunalyx {

// The aux set-up dialog without its widgets: the texts of its fields as typed, the set-up they
// make and the checks of its buttons. Numbers are typed and shown in the user's locale. An input
// whose point fields hold something that is not a number keeps the line it had.
class AuxSetupForm {
public:
    struct Fields {
        std::string name;
        std::string unit;
        std::string volt1;
        std::string volt2;
        std::string val1;
        std::string val2;
    };
    // The polynomial dialog's a, b and c, as texts.
    using PolyTexts = std::array<std::string, 3>;

    AuxSetupForm(const AuxSettings& settings, const NumberLocale& locale);

    // What the dialog shows; it writes back what is typed before each button's rule runs.
    std::array<Fields, 4> fields;
    std::array<bool, 2> delta{};

    [[nodiscard]] const AuxSettings& settings() const { return m_settings; }
    // The point fields are typed into while the input is a line, not a polynomial.
    [[nodiscard]] bool pointsEnabled(int k) const;

    // "Poly": the a, b and c the polynomial dialog opens with. A line input first takes the line
    // of its points, from 0 V and 5 V when its volts are the same number.
    [[nodiscard]] PolyTexts polyStart(int k, UserPrompts& prompts);
    // The polynomial dialog confirmed: its coefficients replace the input's, and its value fields
    // show the curve at the two volts. A text that is not a number gives "Polynomial Setup
    // Error"; the coefficients read before it keep their new values.
    void polyConfirmed(int k, const PolyTexts& abc, UserPrompts& prompts);
    // OK: false, with "Error! Volts values must not be the same.", while an input's volts are the
    // same number (the dialog stays open, nothing is kept). Otherwise every line input takes the
    // line of its points ("Please enter numerical values." for one that cannot), a polynomial
    // input keeps its points as shown, and the names, units and pairs are taken.
    bool confirm(UserPrompts& prompts);

private:
    // CalcAuxLinear: the line through the input's two points.
    bool takeLine(int k, UserPrompts& prompts);
    [[nodiscard]] std::optional<double> number(const std::string& text) const;
    [[nodiscard]] std::string text(double value) const;
    [[nodiscard]] bool sameVolts(int k) const;

    AuxSettings m_settings;
    NumberLocale m_locale;
};

}  // namespace tunalyx
