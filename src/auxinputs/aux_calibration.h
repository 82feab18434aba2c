#pragma once

#include <array>
#include <optional>
#include <string>

#include "model/trace_items.h"
#include "ports/settings_store.h"

namespace tunalyx {

// One analogue input of the interface box as the user set it up: a name and a unit, the two
// points of its line, and a polynomial that replaces the line when its x^2 term is not 0.
struct AuxInput {
    std::string name;
    std::string unit;
    double volt1 = 0;
    double volt2 = 5;
    double val1 = 0;
    double val2 = 5;
    double poly2 = 0;
    double poly1 = 0;
    double poly0 = 0;

    bool operator==(const AuxInput&) const = default;
};

// What the monitor applies to the four analogue inputs, worked out from the user's settings
// (AuxSettings): names and difference flags, and the value = c2 x^2 + c1 x + c0 of each.
struct AuxCalibration {
    AuxNames names;
    std::array<double, 4> c2{0, 0, 0, 0};
    std::array<double, 4> c1{1, 1, 1, 1};
    std::array<double, 4> c0{0, 0, 0, 0};

    // The four calibrated values of the four raw voltages (AN1 - AN2 and AN3 - AN4 where the
    // difference flags say so).
    [[nodiscard]] std::array<double, 4> values(const std::array<double, 4>& volts) const;
};

// The four inputs as the user entered them and the settings store keeps them; the monitor
// applies what auxCalibrationOf works out from them.
struct AuxSettings {
    std::array<AuxInput, 4> inputs;
    std::array<bool, 2> delta{};  // AN1 as AN1 - AN2, AN3 as AN3 - AN4
};

// The stored set-up ("Aux1Name" .. "Aux34Delta"); an empty store gives AN1 a wide-band A/F line
// (0 V -> 10, 5 V -> 20) and the others plain volts.
[[nodiscard]] AuxSettings loadAuxSettings(const SettingsStore& store);
// Writes it back: numbers with a leading blank when not negative, in the order the keys were
// always written.
void saveAuxSettings(SettingsStore& store, const AuxSettings& settings);

// The line through two (volts, value) points: slope and offset; nothing for equal volts.
struct AuxLine {
    double slope;
    double offset;
};
[[nodiscard]] std::optional<AuxLine> lineThrough(double volt1, double volt2, double val1,
                                                 double val2);

// The calibration the monitor applies: each input's polynomial, or its two-point line while the
// x^2 term is 0; the names and the difference flags. Inputs whose volts are equal keep a plain
// line (slope 1) rather than dividing by zero.
[[nodiscard]] AuxCalibration auxCalibrationOf(const AuxSettings& settings);

}  // namespace tunalyx
