#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QtTest>

#include <fstream>

#include "gui_harness.h"
#include "transfer/data_file.h"

using namespace tunalyx;
using tunalyx::test::kRevLimitBox;

namespace {

constexpr QRgb kRed = qRgb(255, 0, 0);

// The window after a Read All of a family 5 unit, with a changed copy of its tune on disk.
struct CompareWindow : test::SimWindow {
    CompareWindow() : SimWindow(SimUnitKind::Det1_501) {
        readAll();
        PacketImage theirs = session.image;
        theirs[0x8B][0] = 7000 & 0xFF;  // Rev Limit 7500 -> 7000
        theirs[0x8B][1] = 7000 >> 8;
        theirs[0xAC][0] = 255;  // Protect On
        theirs[0x86][44] += 1;  // Inj Map row 5, column 3
        changedFile = dir.filePath(QStringLiteral("theirs.dat")).toStdString();
        std::ofstream(changedFile, std::ios::binary) << dataFileText(theirs, "their notes");
        prompts.clear();
    }
    void compare(const std::string& path) {
        window->compare().chooseComparePath = [path] { return path; };
        window->menus().mnuCompare->trigger();
    }
    QCheckBox* protectOn() const {
        for (QCheckBox* box : window->settingsPage(1)->findChildren<QCheckBox*>())
            if (box->text() == QLatin1String("Protect On")) return box;
        return nullptr;
    }
    QPlainTextEdit* notes() const {
        return qobject_cast<QPlainTextEdit*>(window->settingsPage(5)->notesEdit());
    }
    QString notesFrameTitle() const {
        return qobject_cast<QGroupBox*>(notes()->parentWidget())->title();
    }
    bool writingEnabled() {
        return button("cmdWriteAll")->isEnabled() && button("cmdWriteMap0")->isEnabled() &&
               button("cmdReadMap1")->isEnabled() && window->menus().mnuSaveAs->isEnabled();
    }

    QTemporaryDir dir;
    std::string changedFile;
};

}  // namespace

class CompareWindowTest : public QObject {
    Q_OBJECT
private slots:
    void differencesArePaintedAndEndingPutsTheWindowBack();
    void anUnrecognisedFileLeavesTheWindowAlone();
    void readAllEndsCompareMode();
};

void CompareWindowTest::differencesArePaintedAndEndingPutsTheWindowBack() {
    CompareWindow w;
    const PacketImage before = w.session.image;
    w.compare(w.changedFile);
    QCOMPARE(w.prompts.texts(), std::vector<std::string>{});
    QVERIFY(w.window->menus().mnuCompare->isChecked());
    QCOMPARE(w.session.image, before);

    QLineEdit* revLimit = w.textBox(kRevLimitBox);
    QCOMPARE(revLimit->text(), QStringLiteral("7500"));
    revLimit->setFocus();  // refused: the box cannot be typed into
    QVERIFY(!revLimit->hasFocus());
    QCOMPARE(revLimit->toolTip(), QStringLiteral("7000"));
    QCOMPARE(revLimit->palette().color(QPalette::Base).rgb(), kRed);
    QCOMPARE(w.protectOn()->palette().color(w.protectOn()->backgroundRole()).rgb(), kRed);
    QCOMPARE(w.notes()->toolTip(), QStringLiteral("Double Click to view compare notes"));
    // Nothing on the pages can be edited meanwhile.
    w.window->tabs()->setCurrentIndex(MainWindow::kFirstSettingsTab);
    QTest::mouseClick(w.protectOn(), Qt::LeftButton);
    QCOMPARE(w.session.image, before);
    QTest::keyClick(w.protectOn(), Qt::Key_Space);
    QCOMPARE(w.session.image, before);
    QCOMPARE(w.window->grid(kInjMap)->cells().cellText(5, 3), QStringLiteral("-4"));
    QCOMPARE(w.window->grid(kInjMap)->cells().cellText(5, 4), QStringLiteral("0"));
    QCOMPARE(w.session.cellColours.at(kInjMap, 5, 3), kCompareRed);
    QVERIFY(!w.writingEnabled());
    QVERIFY(!w.window->updateButton()->isEnabled());
    QVERIFY(w.button("cmdReadAll")->isEnabled());

    // The notes box switches between the file's notes and the window's.
    QTest::mouseDClick(w.notes()->viewport(), Qt::LeftButton);
    QCOMPARE(w.notes()->toPlainText(), QStringLiteral("their notes\n"));
    QCOMPARE(w.notesFrameTitle(), QStringLiteral("Notes (compare)"));
    QCOMPARE(w.session.notes, std::string());  // shown, not taken over
    QTest::mouseDClick(w.notes()->viewport(), Qt::LeftButton);
    QCOMPARE(w.notesFrameTitle(), QStringLiteral("Notes"));

    // Ghost Clear takes the colours, not the differences.
    // As from a grid's context menu, where the item shows.
    QAction* ghostClear = w.window->menus().mnuMapTraceGhostClear;
    w.window->menus().mnuMapTraceGhost->trigger();
    ghostClear->setVisible(true);
    QVERIFY(ghostClear->isEnabled());
    ghostClear->trigger();
    QCOMPARE(w.session.cellColours.at(kInjMap, 5, 3), kNormalBackground);
    QCOMPARE(w.window->grid(kInjMap)->cells().cellText(5, 3), QStringLiteral("-4"));

    w.window->menus().mnuCompare->trigger();
    QVERIFY(!w.window->menus().mnuCompare->isChecked());
    QVERIFY(!w.session.compareMode);
    QVERIFY(revLimit->toolTip().isEmpty());
    QVERIFY(revLimit->palette().color(QPalette::Base).rgb() != kRed);
    QVERIFY(w.protectOn()->palette().color(w.protectOn()->backgroundRole()).rgb() != kRed);
    QVERIFY(w.notes()->toolTip().isEmpty());
    QCOMPARE(w.window->grid(kInjMap)->cells().cellText(5, 3),
             QString::fromStdString(w.session.maps.cellText(kInjMap, 5, 3)));
    QVERIFY(w.writingEnabled());
    QCOMPARE(w.session.image, before);
}

void CompareWindowTest::anUnrecognisedFileLeavesTheWindowAlone() {
    CompareWindow w;
    const PacketImage before = w.session.image;
    const std::string garbage = w.dir.filePath(QStringLiteral("garbage.dat")).toStdString();
    std::ofstream(garbage, std::ios::binary) << "not a tune\r\n";
    w.compare(garbage);
    QCOMPARE(w.prompts.texts(),
             std::vector<std::string>{"garbage.dat is not a Recognised SR20DET File"});
    QVERIFY(!w.window->menus().mnuCompare->isChecked());
    QVERIFY(w.writingEnabled());
    QCOMPARE(w.session.image, before);
    // Cancelling the dialog changes nothing either.
    w.compare("");
    QVERIFY(!w.session.compareMode);
}

void CompareWindowTest::readAllEndsCompareMode() {
    CompareWindow w;
    w.compare(w.changedFile);
    QVERIFY(w.session.compareMode);
    w.readAll();
    QVERIFY(!w.session.compareMode && !w.window->menus().mnuCompare->isChecked());
    QVERIFY(w.textBox(kRevLimitBox)->toolTip().isEmpty() && w.writingEnabled());
    QCOMPARE(w.window->grid(kInjMap)->cells().cellText(5, 3),
             QString::fromStdString(w.session.maps.cellText(kInjMap, 5, 3)));
}

int runCompareWindowTests(int argc, char** argv) {
    CompareWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "compare_window_test.moc"
