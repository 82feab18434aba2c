#include <QCheckBox>
#include <QLineEdit>
#include <QtTest>

#include "gui_harness.h"

using namespace tunalyx;

namespace {
QLineEdit* field(SetupAuxDialog& d, const QString& name) {
    return d.findChild<QLineEdit*>(name);
}
}  // namespace

class AuxSetupTest : public QObject {
    Q_OBJECT
private slots:
    void okStoresAppliesAndRecalculatesTheLog();
    void equalVoltsAreRefusedAndThePolynomialTakesOver();
};

void AuxSetupTest::okStoresAppliesAndRecalculatesTheLog() {
    test::SimWindow w(SimUnitKind::Det1_501);
    LogStore& log = w.window->log();
    log.setLogData(56, 0, 2.0);  // AN3 raw
    w.window->showAuxSetup = [](SetupAuxDialog& d) {
        field(d, QStringLiteral("txtAuxName2"))->setText(QStringLiteral("EGT"));
        field(d, QStringLiteral("txtAuxVolt12"))->setText(QStringLiteral("1"));
        field(d, QStringLiteral("txtAuxVal12"))->setText(QStringLiteral("0"));
        field(d, QStringLiteral("txtAuxVolt22"))->setText(QStringLiteral("4"));
        field(d, QStringLiteral("txtAuxVal22"))->setText(QStringLiteral("1200"));
        d.findChild<QCheckBox*>(QStringLiteral("chkDelta0"))->setChecked(true);
        d.findChild<QCheckBox*>(QStringLiteral("chkReCalcLog"))->setChecked(true);
        d.cmdOK_Click();
        return d.result() == QDialog::Accepted;
    };
    w.window->mnuAuxilary_Click();
    QCOMPARE(w.store.text("Aux3Name", ""), std::string("EGT"));
    QCOMPARE(w.store.text("Aux12Delta", ""), std::string("1"));
    QCOMPARE(w.session.trace.TraceName[60], std::string("AN3 EGT"));
    QCOMPARE(w.session.trace.TraceName[58], std::string("AN1-AN2 Wide Band"));
    QCOMPARE(log.LogData(60, 0), 400.0);  // 400 C a volt from -400 C
    QVERIFY(!log.LogUnsaved);             // no log beyond sample 0
}

void AuxSetupTest::equalVoltsAreRefusedAndThePolynomialTakesOver() {
    test::SimWindow w(SimUnitKind::Det1_501);
    SetupAuxDialog d(loadAuxSettings(w.store), w.prompts, w.window.get());
    field(d, QStringLiteral("txtAuxVolt21"))->setText(QStringLiteral("0"));
    d.cmdOK_Click();
    QCOMPARE(w.prompts.texts(),
             std::vector<std::string>{"Error! Volts values must not be the same."});
    QCOMPARE(d.result(), int(QDialog::Rejected));

    d.showPoly = [](SetupAuxPolyDialog& poly) {
        // A linear input opens with its line: AN1's 2 V per A/F from 10.
        if (poly.txtPoly[1]->text() != QStringLiteral("2") ||
            poly.txtPoly[0]->text() != QStringLiteral("10"))
            return false;
        poly.txtPoly[2]->setText(QStringLiteral("0.5"));
        return true;
    };
    d.cmdAuxPoly_Click(0);
    QCOMPARE(d.settings().inputs[0].poly2, 0.5);
    QVERIFY(!field(d, QStringLiteral("txtAuxVolt10"))->isEnabled());
    QCOMPARE(field(d, QStringLiteral("txtAuxVal20"))->text(), QStringLiteral("32.5"));  // at 5 V
}

int runAuxSetupTests(int argc, char** argv) {
    AuxSetupTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "aux_setup_test.moc"
