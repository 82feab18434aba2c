#include "auxinputs/aux_setup_form.h"

namespace tunalyx {

AuxSetupForm::AuxSetupForm(const AuxSettings& settings, const NumberLocale& locale)
    : delta(settings.delta), m_settings(settings), m_locale(locale) {
    for (std::size_t k = 0; k < fields.size(); ++k) {
        const AuxInput& in = settings.inputs[k];
        fields[k] = {in.name,        in.unit,       text(in.volt1),
                     text(in.volt2), text(in.val1), text(in.val2)};
    }
}

std::optional<double> AuxSetupForm::number(const std::string& t) const {
    return parseUserNumber(t, m_locale);
}

std::string AuxSetupForm::text(double value) const {
    return formatValue(value, "", m_locale);
}

bool AuxSetupForm::pointsEnabled(int k) const {
    return m_settings.inputs.at(static_cast<std::size_t>(k)).poly2 == 0;
}

bool AuxSetupForm::sameVolts(int k) const {
    const Fields& f = fields.at(static_cast<std::size_t>(k));
    const auto v1 = number(f.volt1);
    return v1 && v1 == number(f.volt2);
}

bool AuxSetupForm::takeLine(int k, UserPrompts& prompts) {
    const Fields& f = fields.at(static_cast<std::size_t>(k));
    const auto v1 = number(f.volt1), v2 = number(f.volt2);
    const auto y1 = number(f.val1), y2 = number(f.val2);
    if (!v1 || !v2 || !y1 || !y2) {
        prompts.tell("Please enter numerical values.", MessageIcon::Critical);
        return false;
    }
    const auto line = lineThrough(*v1, *v2, *y1, *y2);
    if (!line) return false;
    AuxInput& in = m_settings.inputs[static_cast<std::size_t>(k)];
    in.volt1 = *v1;
    in.volt2 = *v2;
    in.val1 = *y1;
    in.val2 = *y2;
    in.poly1 = line->slope;
    in.poly0 = line->offset;
    return true;
}

AuxSetupForm::PolyTexts AuxSetupForm::polyStart(int k, UserPrompts& prompts) {
    const AuxInput& in = m_settings.inputs.at(static_cast<std::size_t>(k));
    if (in.poly2 == 0) {
        if (sameVolts(k)) {
            fields[static_cast<std::size_t>(k)].volt1 = text(0);
            fields[static_cast<std::size_t>(k)].volt2 = text(5);
        }
        takeLine(k, prompts);
    }
    return {text(in.poly2), text(in.poly1), text(in.poly0)};
}

void AuxSetupForm::polyConfirmed(int k, const PolyTexts& abc, UserPrompts& prompts) {
    AuxInput& in = m_settings.inputs.at(static_cast<std::size_t>(k));
    double* coefficients[3] = {&in.poly2, &in.poly1, &in.poly0};
    for (std::size_t i = 0; i < abc.size(); ++i) {
        const auto value = number(abc[i]);
        if (!value) {
            prompts.tell("Polynomial Setup Error", MessageIcon::Critical);
            return;
        }
        *coefficients[i] = *value;
    }
    Fields& f = fields[static_cast<std::size_t>(k)];
    const auto curve = [&](const std::string& volts, double otherwise) {
        const double v = number(volts).value_or(otherwise);
        return text(in.poly2 * v * v + in.poly1 * v + in.poly0);
    };
    f.val1 = curve(f.volt1, in.volt1);
    f.val2 = curve(f.volt2, in.volt2);
}

bool AuxSetupForm::confirm(UserPrompts& prompts) {
    for (int k = 0; k < 4; ++k)
        if (sameVolts(k)) {
            prompts.tell("Error! Volts values must not be the same.", MessageIcon::Exclamation);
            return false;
        }
    for (std::size_t k = 0; k < fields.size(); ++k) {
        AuxInput& in = m_settings.inputs[k];
        const Fields& f = fields[k];
        if (in.poly2 == 0) {
            takeLine(static_cast<int>(k), prompts);
        } else {
            in.volt1 = number(f.volt1).value_or(in.volt1);
            in.volt2 = number(f.volt2).value_or(in.volt2);
            in.val1 = number(f.val1).value_or(in.val1);
            in.val2 = number(f.val2).value_or(in.val2);
        }
        in.name = f.name;
        in.unit = f.unit;
    }
    m_settings.delta = delta;
    return true;
}

}  // namespace tunalyx
