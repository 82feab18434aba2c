#include <QComboBox>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QtTest>

#include "gui_harness.h"

using namespace tunalyx;

namespace {

template <typename T>
T* child(QWidget& parent, const char* name) {
    return parent.findChild<T*>(QLatin1String(name));
}

// The setup dialog confirmed as it opens.
bool confirm(SetupWatchDialog& d) {
    d.cmdOK_Click();
    return true;
}

}  // namespace

class WatchWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void addWatchTakesTheLowestHiddenWatchAndEndsAfterTheTenth();
    void theSetupDialogKeepsTheTopBandWithoutALimit();
    void watchesShowTheirWholeTextAndStayOnTheScreen();
    void setupFileSaveDialogsSelectTheirKindAsWritten();
    void watchesFollowTheMonitorOnceASecondAndTheChartCursor();
    void watchesComeBackAfterARestart();
};

void WatchWindowsTest::addWatchTakesTheLowestHiddenWatchAndEndsAfterTheTenth() {
    test::SimWindow w(SimUnitKind::Det1_501);
    WatchWindows& watches = w.window->watches();
    std::vector<int> offered;
    watches.showSetup = [&](SetupWatchDialog& d) {
        offered.push_back(d.selectedWatch());
        return confirm(d);
    };
    QAction* add = w.window->menus().mnuAddWatch;
    for (int i = 0; i < 3; ++i)
        add->trigger();
    QVERIFY(watches.watch(2).isVisible());
    watches.watch(1).close();  // the close box only hides
    QVERIFY(!watches.watch(1).isVisible());
    add->trigger();
    QCOMPARE(offered, (std::vector<int>{0, 1, 2, 1}));

    // A double click opens the dialog on that watch.
    watches.showSetup = [&](SetupWatchDialog& d) {
        offered.push_back(d.selectedWatch());
        return false;
    };
    QTest::mouseDClick(&watches.watch(2), Qt::LeftButton);
    QCOMPARE(offered.back(), 2);

    watches.showSetup = confirm;
    for (int i = 3; i < kWatchCount; ++i)
        add->trigger();
    QVERIFY(watches.watch(9).isVisible());
    QVERIFY(!add->isEnabled());
    QAction* chartAdd = w.window->chart().findChild<QAction*>(QStringLiteral("mnuAddWatch"));
    QVERIFY(!chartAdd->isEnabled());
    w.window->menus().mnuHideWatches->trigger();
    QVERIFY(!watches.watch(0).isVisible());
    QVERIFY(!add->isEnabled());  // nothing brings it back while the program runs
}

void WatchWindowsTest::theSetupDialogKeepsTheTopBandWithoutALimit() {
    test::SimWindow w(SimUnitKind::Det1_501);
    WatchWindows& watches = w.window->watches();
    // What the dialog showed on the way, checked once it is closed.
    QString thirdBand;
    QString topLimit = QStringLiteral("?");
    watches.showSetup = [&](SetupWatchDialog& d) {
        auto* colours = child<QComboBox>(d, "comColours");
        auto* band = child<QComboBox>(d, "comColour");
        auto* limit = child<QLineEdit>(d, "txtMaxValue");
        colours->setCurrentIndex(2);
        d.comColours_Click();
        thirdBand = band->itemText(2) + band->itemText(3);
        band->setCurrentIndex(2);
        d.comColour_Click();
        topLimit = limit->isEnabled() ? QStringLiteral("enabled") : limit->text();
        band->setCurrentIndex(0);
        d.comColour_Click();
        limit->setText(QStringLiteral("ten"));
        d.txtMaxValue_LostFocus();
        limit->setText(QStringLiteral("10"));
        d.txtMaxValue_LostFocus();
        band->setCurrentIndex(1);
        d.comColour_Click();
        d.chooseColour = [](const QColor&) { return std::optional<QColor>(Qt::red); };
        d.cmdColour_Click();
        child<QComboBox>(d, "comItem")->setCurrentIndex(8);
        d.comItem_Click();  // the caption becomes the item's name
        // The limit typed and Enter pressed: both the limit and the dialog are taken.
        d.show();
        limit->setFocus();
        limit->setText(QStringLiteral("20"));
        QTest::keyClick(limit, Qt::Key_Return);
        return d.result() == QDialog::Accepted;
    };
    w.window->menus().mnuAddWatch->trigger();
    QCOMPARE(thirdBand, QStringLiteral(" 3"));  // and no fourth
    QVERIFY(topLimit.isEmpty());                // disabled and blank
    QCOMPARE(w.prompts.texts(), std::vector<std::string>{"Please enter a numeric value"});
    const WatchSettings s = watches.watch(0).settings();
    QVERIFY(std::tuple(s.Colours, s.MaxValue[0], s.MaxValue[1], s.Colour[1], s.ItemIndex,
                       s.Caption) == std::tuple(3, 10.0, 20.0, 0x0000FFu, 8, "Boost"));
    QCOMPARE(watches.watch(0).windowTitle(), QStringLiteral("Boost"));
}

void WatchWindowsTest::watchesShowTheirWholeTextAndStayOnTheScreen() {
    test::SimWindow w(SimUnitKind::Det1_501);
    WatchWindows& watches = w.window->watches();
    WatchSettings first = defaultWatch(0);
    first.DecimalPlaces = 2;
    first.Visible = true;
    watches.watch(0).apply(first);
    watches.watch(0).DisplayWatchValue(-1234.56);
    const QLabel* value = watches.watch(0).lblValue();
    const QFontMetrics metrics(value->font());
    QVERIFY(value->width() >= metrics.horizontalAdvance(value->text()));
    QVERIFY(value->height() >= metrics.height());
    QVERIFY(watches.watch(0).rect().contains(value->geometry()));

    // What a damaged file or store may ask for: windows and fonts far beyond any screen.
    WatchSettings huge = defaultWatch(1);
    huge.Left = huge.Width = huge.Height = huge.FontSize = 1e300;
    huge.Top = -1e300;
    huge.Visible = true;
    watches.watch(1).apply(huge);
    QVERIFY(
        watches.watch(1).screen()->availableGeometry().contains(watches.watch(1).frameGeometry()));
    QVERIFY(watches.watch(1).lblValue()->font().pointSizeF() <= kLargestWatchFontSize);
}

void WatchWindowsTest::setupFileSaveDialogsSelectTheirKindAsWritten() {
    test::SimWindow w(SimUnitKind::Det1_501);
    QStringList selected;
    for (const char* save : {"mnuSetupSave", "mnuSaveWatches"}) {  // of the chart window
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            selected << dialog->selectedNameFilter();
            dialog->reject();
        });
        w.window->chart().findChild<QAction*>(QLatin1String(save))->trigger();
    }
    QCOMPARE(selected, (QStringList{QStringLiteral("Corvalink Chart Setup Files(*.dcf)"),
                                    QStringLiteral("Corvalink Watch Files(*.dwf)")}));
}

void WatchWindowsTest::watchesFollowTheMonitorOnceASecondAndTheChartCursor() {
    test::SimWindow w(SimUnitKind::Det1_501);
    WatchWindows& watches = w.window->watches();
    WatchSettings rpm = watches.watch(0).settings();
    rpm.Colours = 3;
    rpm.Colour = {0x00FF00, 0x00FFFF, 0x0000FF, 0, 0};
    rpm.MaxValue = {10, 20, 0, 0};
    rpm.Visible = true;
    watches.watch(0).apply(rpm);
    watches.Init(0);
    LogStore& log = w.window->log();
    for (int s = 0; s < 4; ++s)
        log.setLogData(0, s, std::array{10.4, 10.5, 20.0, 20.1}[static_cast<std::size_t>(s)]);
    log.LogLast = 3;
    QLabel* value = watches.watch(0).lblValue();
    const auto colour = [&] { return value->palette().color(QPalette::WindowText); };

    const LiveSample values;
    watches.samplePublished({1, 0, 0, values, false});  // between refreshes nothing moves
    QCOMPARE(value->text(), QStringLiteral("0"));
    watches.samplePublished({0, 0, 0, values, true});
    QCOMPARE(value->text(), QStringLiteral("10"));  // 10.4 shown as 10 stays in band 1
    QCOMPARE(colour(), QColor(Qt::green));

    // The chart's cursor steps through the log; the watch follows it.
    ChartWindow& chart = w.window->chart();
    chart.initTraces();
    for (int s = 1; s <= 3; ++s)
        chart.Strip1_KeyDown(Qt::Key_Right, Qt::NoModifier);
    QCOMPARE(value->text(), QStringLiteral("20"));  // 20.1 shown as 20 keeps band 2
    QCOMPARE(colour(), QColor(Qt::yellow));
}

void WatchWindowsTest::watchesComeBackAfterARestart() {
    MemorySettingsStore store;
    {
        test::GuiHarness first(&store);
        first.window->Form_Load();
        WatchWindows& watches = first.window->watches();
        WatchSettings af = watches.watch(4).settings();
        af.Caption = "A/F";
        af.ItemIndex = 58;
        af.DecimalPlaces = 1;
        af.Visible = true;
        watches.watch(4).apply(af);
        first.window->close();
    }
    QCOMPARE(store.text("Watch4Visible", ""), std::string("True"));
    test::GuiHarness second(&store);
    second.window->Form_Load();
    const WatchWindow& af = second.window->watches().watch(4);
    QVERIFY(af.isVisible());
    QCOMPARE(af.windowTitle(), QStringLiteral("A/F"));
    QCOMPARE(af.lblValue()->text(), QStringLiteral("0.0"));
    QCOMPARE(af.ItemIndex(), 58);
    // The design font is kept by name, installed or not.
    QCOMPARE(af.settings().FontName, std::string("Comic Sans MS"));
}

int runWatchWindowsTests(int argc, char** argv) {
    WatchWindowsTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "watch_windows_test.moc"
