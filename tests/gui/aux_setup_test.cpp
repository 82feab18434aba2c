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
    void thePolyDialogBindsAndEnterPressesOk();
};

void AuxSetupTest::okStoresAppliesAndRecalculatesTheLog() {
    test::SimWindow w(SimUnitKind::Det1_501);
    LogStore& log = w.window->log();
    log.setLogData(56, 0, 2.0);  // AN3 raw
    w.window->showAuxSetup = [](SetupAuxDialog& d) {
        field(d, QStringLiteral("txtAuxName2"))->setText(QStringLiteral("EGT"));
        field(d, QStringLiteral("txtAuxVal22"))->setText(QStringLiteral("1000"));
        d.findChild<QCheckBox*>(QStringLiteral("chkDelta0"))->setChecked(true);
        d.findChild<QCheckBox*>(QStringLiteral("chkReCalcLog"))->setChecked(true);
        d.cmdOK_Click();
        return d.result() == QDialog::Accepted;
    };
    w.window->mnuAuxilary_Click();
    QCOMPARE(w.store.text("Aux3Name", ""), std::string("EGT"));
    QCOMPARE(w.session.trace.TraceName[60], std::string("AN3 EGT"));
    QCOMPARE(w.session.trace.TraceName[58], std::string("AN1-AN2 Wide Band"));
    QCOMPARE(log.LogData(60, 0), 400.0);  // 200 C a volt from 0 C
    QVERIFY(!log.LogUnsaved);             // no log beyond sample 0
}

void AuxSetupTest::thePolyDialogBindsAndEnterPressesOk() {
    test::SimWindow w(SimUnitKind::Det1_501);
    SetupAuxDialog d(loadAuxSettings(w.store), NumberLocale{','}, w.prompts, w.window.get());
    int polys = 0;
    d.showPoly = [&](SetupAuxPolyDialog& poly) {
        ++polys;  // opened on AN1's line, 2 A/F a volt from 10, it becomes a curve
        poly.txtPoly[2]->setText(QStringLiteral("0,5"));
        return poly.txtPoly[1]->text() == QStringLiteral("2") &&
               poly.txtPoly[0]->text() == QStringLiteral("10");
    };
    d.cmdAuxPoly_Click(0);
    QVERIFY(!field(d, QStringLiteral("txtAuxVolt10"))->isEnabled());
    QCOMPARE(field(d, QStringLiteral("txtAuxVal20"))->text(), QStringLiteral("32,5"));  // at 5 V

    d.show();
    QLineEdit* name = field(d, QStringLiteral("txtAuxName1"));
    name->setFocus();
    QTest::keyClick(name, Qt::Key_Return);
    QCOMPARE(polys, 1);
    QCOMPARE(d.result(), int(QDialog::Accepted));
    QCOMPARE(d.settings().inputs[0].poly2, 0.5);
}

int runAuxSetupTests(int argc, char** argv) {
    AuxSetupTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "aux_setup_test.moc"
