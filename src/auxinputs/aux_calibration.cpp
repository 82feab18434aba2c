#include "auxinputs/aux_calibration.h"

#include "model/number_format.h"

namespace tunalyx {

namespace {

// Numbers are read by their leading number: blanks skipped, no number reads 0.
double storedNumber(const SettingsStore& store, const std::string& key, double fallback) {
    const auto text = store.value(key);
    return text ? leadingNumber(*text) : fallback;
}

std::string numberText(double v) {
    return withLeadingBlank(shortestDecimal(v));
}

std::string key(int k, const char* what) {
    return "Aux" + std::to_string(k + 1) + what;
}

}  // namespace

AuxSettings loadAuxSettings(const SettingsStore& store) {
    AuxSettings s;
    for (int k = 0; k < 4; ++k) {
        AuxInput& in = s.inputs[static_cast<std::size_t>(k)];
        const bool wideBand = k == 0;
        in.name = store.text(key(k, "Name"), wideBand ? "Wide Band" : "raw");
        in.unit = store.text(key(k, "Unit"), wideBand ? "A/F" : "V");
        in.volt1 = storedNumber(store, key(k, "Volt1"), 0);
        in.volt2 = storedNumber(store, key(k, "Volt2"), 5);
        in.val1 = storedNumber(store, key(k, "Val1"), wideBand ? 10 : 0);
        in.val2 = storedNumber(store, key(k, "Val2"), wideBand ? 20 : 5);
        in.poly2 = storedNumber(store, key(k, "Poly2"), 0);
        in.poly1 = storedNumber(store, key(k, "Poly1"), 0);
        in.poly0 = storedNumber(store, key(k, "Poly0"), 0);
    }
    s.delta[0] = storedNumber(store, "Aux12Delta", 0) != 0;
    s.delta[1] = storedNumber(store, "Aux34Delta", 0) != 0;
    return s;
}

void saveAuxSettings(SettingsStore& store, const AuxSettings& s) {
    const auto each = [&](const char* what, auto value) {
        for (int k = 0; k < 4; ++k)
            store.setValue(key(k, what), value(s.inputs[static_cast<std::size_t>(k)]));
    };
    each("Name", [](const AuxInput& in) { return in.name; });
    each("Volt1", [](const AuxInput& in) { return numberText(in.volt1); });
    each("Volt2", [](const AuxInput& in) { return numberText(in.volt2); });
    each("Val1", [](const AuxInput& in) { return numberText(in.val1); });
    each("Val2", [](const AuxInput& in) { return numberText(in.val2); });
    each("Unit", [](const AuxInput& in) { return in.unit; });
    for (int k = 0; k < 4; ++k) {
        const AuxInput& in = s.inputs[static_cast<std::size_t>(k)];
        store.setValue(key(k, "Poly2"), numberText(in.poly2));
        store.setValue(key(k, "Poly1"), numberText(in.poly1));
        store.setValue(key(k, "Poly0"), numberText(in.poly0));
    }
    store.setValue("Aux12Delta", s.delta[0] ? "1" : "0");
    store.setValue("Aux34Delta", s.delta[1] ? "1" : "0");
}

std::optional<AuxLine> lineThrough(double volt1, double volt2, double val1, double val2) {
    if (volt1 == volt2) return std::nullopt;
    const double slope = (val2 - val1) / (volt2 - volt1);
    return AuxLine{slope, val1 - volt1 * slope};
}

AuxCalibration auxCalibrationOf(const AuxSettings& s) {
    AuxCalibration aux;
    for (std::size_t k = 0; k < 4; ++k) {
        const AuxInput& in = s.inputs[k];
        aux.names.names[k] = in.name;
        aux.c2[k] = in.poly2;
        if (in.poly2 != 0) {
            aux.c1[k] = in.poly1;
            aux.c0[k] = in.poly0;
        } else {
            const AuxLine line =
                lineThrough(in.volt1, in.volt2, in.val1, in.val2).value_or(AuxLine{1, 0});
            aux.c1[k] = line.slope;
            aux.c0[k] = line.offset;
        }
    }
    aux.names.an1MinusAn2 = s.delta[0];
    aux.names.an3MinusAn4 = s.delta[1];
    return aux;
}

std::array<double, 4> AuxCalibration::values(const std::array<double, 4>& volts) const {
    std::array<double, 4> x = volts;
    if (names.an1MinusAn2) x[0] = volts[0] - volts[1];
    if (names.an3MinusAn4) x[2] = volts[2] - volts[3];
    std::array<double, 4> value{};
    for (std::size_t k = 0; k < 4; ++k)
        value[k] = c2[k] * x[k] * x[k] + c1[k] * x[k] + c0[k];
    return value;
}

}  // namespace tunalyx
