#pragma once

#include <QDialog>
#include <array>

#include "auxinputs/aux_calibration.h"
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
// pairs, and whether the log in memory is calibrated again. OK checks and keeps the set-up;
// the caller stores and applies it.
class SetupAuxDialog final : public QDialog {
    Q_OBJECT
public:
    SetupAuxDialog(const AuxSettings& settings, UserPrompts& prompts, QWidget* parent = nullptr);

    [[nodiscard]] const AuxSettings& settings() const { return m_settings; }
    [[nodiscard]] bool reCalcLog() const;
    void cmdOK_Click();
    void cmdAuxPoly_Click(int k);
    // The polynomial dialog; tests answer it. True when it was confirmed.
    std::function<bool(SetupAuxPolyDialog&)> showPoly;

private:
    bool CalcAuxLinear(int k);
    void chkDelta_Click(int pair);
    void setPointsEnabled(int k, bool enabled);

    AuxSettings m_settings;
    UserPrompts& m_prompts;
    std::array<QGroupBox*, 4> m_fraAux{};
    std::array<QLineEdit*, 4> m_txtAuxName{}, m_txtAuxUnit{};
    std::array<QLineEdit*, 4> m_txtAuxVolt1{}, m_txtAuxVolt2{}, m_txtAuxVal1{}, m_txtAuxVal2{};
    std::array<QCheckBox*, 2> m_chkDelta{};
    QCheckBox* m_chkReCalcLog;
};

}  // namespace tunalyx
