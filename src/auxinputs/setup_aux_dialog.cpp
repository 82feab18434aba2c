#include "auxinputs/setup_aux_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "model/number_format.h"

namespace tunalyx {

namespace {

QString numberText(double v) {
    return QString::fromStdString(formatValue(v, "", NumberLocale{}));
}

std::optional<double> numberOf(const QLineEdit* box) {
    return parseUserNumber(box->text().toStdString(), NumberLocale{});
}

QLineEdit* box(const QString& name, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    return e;
}

}  // namespace

SetupAuxPolyDialog::SetupAuxPolyDialog(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmSetupAuxPoly"));
    setWindowTitle(tr("Setup Polynomial"));
    auto* layout = new QGridLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("y = ax^2 + bx + c"), this), 0, 0, 1, 2);
    const char* labels[3] = {"c", "b", "a"};
    for (int power = 2; power >= 0; --power) {
        txtPoly[static_cast<std::size_t>(power)] =
            box(QStringLiteral("txtPoly%1").arg(power), this);
        const int row = 3 - power;
        layout->addWidget(new QLabel(QString::fromLatin1(labels[power]), this), row, 0);
        layout->addWidget(txtPoly[static_cast<std::size_t>(power)], row, 1);
    }
    auto* ok = new QPushButton(tr("&OK"), this);
    auto* cancel = new QPushButton(tr("&Cancel"), this);
    layout->addWidget(ok, 4, 0);
    layout->addWidget(cancel, 4, 1);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

SetupAuxDialog::SetupAuxDialog(const AuxSettings& settings, UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), m_settings(settings), m_prompts(prompts) {
    setObjectName(QStringLiteral("frmSetupAux"));
    setWindowTitle(tr("Setup Auxilarys"));
    auto* layout = new QVBoxLayout(this);
    auto* frames = new QHBoxLayout;
    layout->addLayout(frames);
    for (int k = 0; k < 4; ++k) {
        const auto at = static_cast<std::size_t>(k);
        const AuxInput& in = m_settings.inputs[at];
        auto* frame = new QGroupBox(QStringLiteral("AN%1").arg(k + 1), this);
        frame->setObjectName(QStringLiteral("fraAux%1").arg(k));
        m_fraAux[at] = frame;
        auto* grid = new QGridLayout(frame);
        m_txtAuxName[at] = box(QStringLiteral("txtAuxName%1").arg(k), frame);
        m_txtAuxUnit[at] = box(QStringLiteral("txtAuxUnit%1").arg(k), frame);
        m_txtAuxVolt1[at] = box(QStringLiteral("txtAuxVolt1%1").arg(k), frame);
        m_txtAuxVal1[at] = box(QStringLiteral("txtAuxVal1%1").arg(k), frame);
        m_txtAuxVolt2[at] = box(QStringLiteral("txtAuxVolt2%1").arg(k), frame);
        m_txtAuxVal2[at] = box(QStringLiteral("txtAuxVal2%1").arg(k), frame);
        m_txtAuxName[at]->setText(QString::fromStdString(in.name));
        m_txtAuxUnit[at]->setText(QString::fromStdString(in.unit));
        m_txtAuxVolt1[at]->setText(numberText(in.volt1));
        m_txtAuxVal1[at]->setText(numberText(in.val1));
        m_txtAuxVolt2[at]->setText(numberText(in.volt2));
        m_txtAuxVal2[at]->setText(numberText(in.val2));
        grid->addWidget(new QLabel(tr("Name"), frame), 0, 0);
        grid->addWidget(m_txtAuxName[at], 0, 1, 1, 2);
        grid->addWidget(new QLabel(tr("Unit"), frame), 1, 0);
        grid->addWidget(m_txtAuxUnit[at], 1, 1, 1, 2);
        grid->addWidget(new QLabel(tr("Volts"), frame), 2, 1);
        grid->addWidget(new QLabel(tr("Value"), frame), 2, 2);
        grid->addWidget(m_txtAuxVolt1[at], 3, 1);
        grid->addWidget(m_txtAuxVal1[at], 3, 2);
        grid->addWidget(m_txtAuxVolt2[at], 4, 1);
        grid->addWidget(m_txtAuxVal2[at], 4, 2);
        auto* poly = new QPushButton(tr("Poly"), frame);
        poly->setObjectName(QStringLiteral("cmdAuxPoly%1").arg(k));
        grid->addWidget(poly, 5, 2);
        connect(poly, &QPushButton::clicked, this, [this, k] { cmdAuxPoly_Click(k); });
        setPointsEnabled(k, in.poly2 == 0);
        frames->addWidget(frame);
    }
    auto* options = new QHBoxLayout;
    for (int p = 0; p < 2; ++p) {
        auto* check = new QCheckBox(p == 0 ? tr("Delta  AN1-AN2") : tr("Delta  AN3-AN4"), this);
        check->setObjectName(QStringLiteral("chkDelta%1").arg(p));
        check->setChecked(m_settings.delta[static_cast<std::size_t>(p)]);
        m_chkDelta[static_cast<std::size_t>(p)] = check;
        connect(check, &QCheckBox::toggled, this, [this, p] { chkDelta_Click(p); });
        chkDelta_Click(p);
        options->addWidget(check);
    }
    m_chkReCalcLog = new QCheckBox(tr("ReCalculate Log"), this);
    m_chkReCalcLog->setObjectName(QStringLiteral("chkReCalcLog"));
    options->addWidget(m_chkReCalcLog);
    options->addStretch(1);
    auto* ok = new QPushButton(tr("&OK"), this);
    ok->setObjectName(QStringLiteral("cmdOK"));
    auto* cancel = new QPushButton(tr("&Cancel"), this);
    cancel->setObjectName(QStringLiteral("cmdCancel"));
    options->addWidget(ok);
    options->addWidget(cancel);
    layout->addLayout(options);
    connect(ok, &QPushButton::clicked, this, &SetupAuxDialog::cmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    showPoly = [](SetupAuxPolyDialog& dialog) { return dialog.exec() == QDialog::Accepted; };
}

bool SetupAuxDialog::reCalcLog() const {
    return m_chkReCalcLog->isChecked();
}

void SetupAuxDialog::setPointsEnabled(int k, bool enabled) {
    const auto at = static_cast<std::size_t>(k);
    for (QLineEdit* e : {m_txtAuxVolt1[at], m_txtAuxVal1[at], m_txtAuxVolt2[at], m_txtAuxVal2[at]})
        e->setEnabled(enabled);
}

void SetupAuxDialog::chkDelta_Click(int pair) {
    const int first = 2 * pair + 1;
    m_fraAux[static_cast<std::size_t>(2 * pair)]->setTitle(
        m_chkDelta[static_cast<std::size_t>(pair)]->isChecked()
            ? QStringLiteral("AN%1 - AN%2").arg(first).arg(first + 1)
            : QStringLiteral("AN%1").arg(first));
}

bool SetupAuxDialog::CalcAuxLinear(int k) {
    const auto at = static_cast<std::size_t>(k);
    const auto v1 = numberOf(m_txtAuxVolt1[at]), v2 = numberOf(m_txtAuxVolt2[at]);
    const auto y1 = numberOf(m_txtAuxVal1[at]), y2 = numberOf(m_txtAuxVal2[at]);
    if (!v1 || !v2 || !y1 || !y2) {
        m_prompts.tell("Please enter numerical values.", MessageIcon::Critical);
        return false;
    }
    const auto line = lineThrough(*v1, *v2, *y1, *y2);
    if (!line) return false;
    AuxInput& in = m_settings.inputs[at];
    in.volt1 = *v1;
    in.volt2 = *v2;
    in.val1 = *y1;
    in.val2 = *y2;
    in.poly1 = line->slope;
    in.poly0 = line->offset;
    return true;
}

void SetupAuxDialog::cmdAuxPoly_Click(int k) {
    const auto at = static_cast<std::size_t>(k);
    AuxInput& in = m_settings.inputs[at];
    SetupAuxPolyDialog poly(this);
    poly.txtPoly[2]->setText(numberText(in.poly2));
    if (in.poly2 == 0) {
        if (numberOf(m_txtAuxVolt1[at]) == numberOf(m_txtAuxVolt2[at])) {
            m_txtAuxVolt1[at]->setText(QStringLiteral("0"));
            m_txtAuxVolt2[at]->setText(QStringLiteral("5"));
        }
        CalcAuxLinear(k);
    }
    poly.txtPoly[1]->setText(numberText(in.poly1));
    poly.txtPoly[0]->setText(numberText(in.poly0));
    if (!showPoly || !showPoly(poly)) return;
    // Coefficients read before a bad one keep their new values.
    double* targets[3] = {&in.poly0, &in.poly1, &in.poly2};
    for (int power = 2; power >= 0; --power) {
        const auto value = numberOf(poly.txtPoly[static_cast<std::size_t>(power)]);
        if (!value) {
            m_prompts.tell("Polynomial Setup Error", MessageIcon::Critical);
            return;
        }
        *targets[power] = *value;
    }
    const double v1 = numberOf(m_txtAuxVolt1[at]).value_or(0);
    const double v2 = numberOf(m_txtAuxVolt2[at]).value_or(0);
    const auto curve = [&](double v) { return in.poly2 * v * v + in.poly1 * v + in.poly0; };
    m_txtAuxVal1[at]->setText(numberText(curve(v1)));
    m_txtAuxVal2[at]->setText(numberText(curve(v2)));
    setPointsEnabled(k, in.poly2 == 0);
}

void SetupAuxDialog::cmdOK_Click() {
    for (int k = 0; k < 4; ++k) {
        const auto at = static_cast<std::size_t>(k);
        if (numberOf(m_txtAuxVolt1[at]) == numberOf(m_txtAuxVolt2[at])) {
            m_prompts.tell("Error! Volts values must not be the same.", MessageIcon::Exclamation);
            return;
        }
    }
    for (int k = 0; k < 4; ++k) {
        const auto at = static_cast<std::size_t>(k);
        AuxInput& in = m_settings.inputs[at];
        if (in.poly2 == 0) {
            CalcAuxLinear(k);
        } else {
            // The point fields are stored as shown.
            in.volt1 = numberOf(m_txtAuxVolt1[at]).value_or(in.volt1);
            in.volt2 = numberOf(m_txtAuxVolt2[at]).value_or(in.volt2);
            in.val1 = numberOf(m_txtAuxVal1[at]).value_or(in.val1);
            in.val2 = numberOf(m_txtAuxVal2[at]).value_or(in.val2);
        }
        in.name = m_txtAuxName[at]->text().toStdString();
        in.unit = m_txtAuxUnit[at]->text().toStdString();
    }
    for (std::size_t p = 0; p < 2; ++p)
        m_settings.delta[p] = m_chkDelta[p]->isChecked();
    accept();
}

}  // namespace tunalyx
