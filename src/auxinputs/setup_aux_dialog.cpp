#include "auxinputs/setup_aux_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tunalyx {

namespace {

QLineEdit* box(const QString& name, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    return e;
}

QString shown(const std::string& s) {
    return QString::fromStdString(s);
}

std::string typed(const QLineEdit* box) {
    return box->text().toStdString();
}

// Enter confirms the dialog: no other button takes it over when it gets the focus.
void okTakesEnter(QPushButton* ok, std::initializer_list<QPushButton*> others) {
    ok->setDefault(true);
    for (QPushButton* b : others)
        b->setAutoDefault(false);
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
    okTakesEnter(ok, {cancel});
    layout->addWidget(ok, 4, 0);
    layout->addWidget(cancel, 4, 1);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

SetupAuxDialog::SetupAuxDialog(const AuxSettings& settings, const NumberLocale& locale,
                               UserPrompts& prompts, QWidget* parent)
    : QDialog(parent), m_form(settings, locale), m_prompts(prompts) {
    setObjectName(QStringLiteral("frmSetupAux"));
    setWindowTitle(tr("Setup Auxilarys"));
    auto* layout = new QVBoxLayout(this);
    auto* frames = new QHBoxLayout;
    layout->addLayout(frames);
    for (int k = 0; k < 4; ++k) {
        const auto at = static_cast<std::size_t>(k);
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
        poly->setAutoDefault(false);
        grid->addWidget(poly, 5, 2);
        connect(poly, &QPushButton::clicked, this, [this, k] { cmdAuxPoly_Click(k); });
        frames->addWidget(frame);
    }
    auto* options = new QHBoxLayout;
    for (int p = 0; p < 2; ++p) {
        auto* check = new QCheckBox(p == 0 ? tr("Delta  AN1-AN2") : tr("Delta  AN3-AN4"), this);
        check->setObjectName(QStringLiteral("chkDelta%1").arg(p));
        check->setChecked(m_form.delta[static_cast<std::size_t>(p)]);
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
    okTakesEnter(ok, {cancel});
    options->addWidget(ok);
    options->addWidget(cancel);
    layout->addLayout(options);
    showFields();
    connect(ok, &QPushButton::clicked, this, &SetupAuxDialog::cmdOK_Click);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    showPoly = [](SetupAuxPolyDialog& dialog) { return dialog.exec() == QDialog::Accepted; };
}

bool SetupAuxDialog::reCalcLog() const {
    return m_chkReCalcLog->isChecked();
}

void SetupAuxDialog::showFields() {
    for (std::size_t k = 0; k < m_form.fields.size(); ++k) {
        const AuxSetupForm::Fields& f = m_form.fields[k];
        m_txtAuxName[k]->setText(shown(f.name));
        m_txtAuxUnit[k]->setText(shown(f.unit));
        m_txtAuxVolt1[k]->setText(shown(f.volt1));
        m_txtAuxVolt2[k]->setText(shown(f.volt2));
        m_txtAuxVal1[k]->setText(shown(f.val1));
        m_txtAuxVal2[k]->setText(shown(f.val2));
        const bool enabled = m_form.pointsEnabled(static_cast<int>(k));
        for (QLineEdit* e : {m_txtAuxVolt1[k], m_txtAuxVal1[k], m_txtAuxVolt2[k], m_txtAuxVal2[k]})
            e->setEnabled(enabled);
    }
}

void SetupAuxDialog::takeFields() {
    for (std::size_t k = 0; k < m_form.fields.size(); ++k)
        m_form.fields[k] = {typed(m_txtAuxName[k]),  typed(m_txtAuxUnit[k]),
                            typed(m_txtAuxVolt1[k]), typed(m_txtAuxVolt2[k]),
                            typed(m_txtAuxVal1[k]),  typed(m_txtAuxVal2[k])};
    for (std::size_t p = 0; p < m_chkDelta.size(); ++p)
        m_form.delta[p] = m_chkDelta[p]->isChecked();
}

void SetupAuxDialog::chkDelta_Click(int pair) {
    const int first = 2 * pair + 1;
    m_fraAux[static_cast<std::size_t>(2 * pair)]->setTitle(
        m_chkDelta[static_cast<std::size_t>(pair)]->isChecked()
            ? QStringLiteral("AN%1 - AN%2").arg(first).arg(first + 1)
            : QStringLiteral("AN%1").arg(first));
}

void SetupAuxDialog::cmdAuxPoly_Click(int k) {
    takeFields();
    const AuxSetupForm::PolyTexts start = m_form.polyStart(k, m_prompts);
    showFields();
    SetupAuxPolyDialog poly(this);
    for (std::size_t i = 0; i < start.size(); ++i)
        poly.txtPoly[2 - i]->setText(shown(start[i]));
    if (!showPoly || !showPoly(poly)) return;
    m_form.polyConfirmed(
        k, {typed(poly.txtPoly[2]), typed(poly.txtPoly[1]), typed(poly.txtPoly[0])}, m_prompts);
    showFields();
}

void SetupAuxDialog::cmdOK_Click() {
    takeFields();
    if (m_form.confirm(m_prompts)) accept();
}

}  // namespace tunalyx
