#pragma once

#include <QDialog>
#include <array>

#include "auxinputs/aux_setup_form.h"
#include "ports/user_prompts.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;

namespace tunalyx {

// frmSetupAuxPoly: y = ax^2 + bx + c for one input.
class SetupAuxPolyDialog final : public QDialog {
    Q_OBJECT
public:
    explicit SetupAuxPolyDialog(QWidget* parent = nullptr);
    std::array<QLineEdit*, 3> txtPoly{};  // c, b, a by power
};

// frmSetupAux: name, unit and calibration of the four analogue inputs, the two difference
// pairs, and whether the log in memory is calibrated again. The rules are the form's; the dialog
// shows its fields and hands back what is typed. OK checks and keeps the set-up; the caller
// stores and applies it.
class SetupAuxDialog final : public QDialog {
    Q_OBJECT
public:
    SetupAuxDialog(const AuxSettings& settings, const NumberLocale& locale, UserPrompts& prompts,
                   QWidget* parent = nullptr);

    [[nodiscard]] const AuxSettings& settings() const { return m_form.settings(); }
    [[nodiscard]] bool reCalcLog() const;
    void cmdOK_Click();
    void cmdAuxPoly_Click(int k);
    // The polynomial dialog; tests answer it. True when it was confirmed.
    std::function<bool(SetupAuxPolyDialog&)> showPoly;

private:
    void chkDelta_Click(int pair);
    // The form's fields to the widgets and back.
    void showFields();
    void takeFields();

    AuxSetupForm m_form;
    UserPrompts& m_prompts;
    std::array<QGroupBox*, 4> m_fraAux{};
    std::array<QLineEdit*, 4> m_txtAuxName{}, m_txtAuxUnit{};
    std::array<QLineEdit*, 4> m_txtAuxVolt1{}, m_txtAuxVolt2{}, m_txtAuxVal1{}, m_txtAuxVal2{};
    std::array<QCheckBox*, 2> m_chkDelta{};
    QCheckBox* m_chkReCalcLog;
};

}  // namespace tunalyx
