#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTemporaryDir>
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
    void watchesFollowTheMonitorOnceASecondAndTheChartCursor();
    void watchesSurviveARestartAndAWatchFile();
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
    int bandCount = 0;
    QString thirdBand;
    bool topLimitEnabled = true;
    QString topLimitText = QStringLiteral("?");
    QString captionFromItem;
    watches.showSetup = [&](SetupWatchDialog& d) {
        auto* colours = child<QComboBox>(d, "comColours");
        auto* band = child<QComboBox>(d, "comColour");
        auto* limit = child<QLineEdit>(d, "txtMaxValue");
        colours->setCurrentIndex(2);
        d.comColours_Click();
        bandCount = band->count();
        thirdBand = band->itemText(2);
        band->setCurrentIndex(2);
        d.comColour_Click();
        topLimitEnabled = limit->isEnabled();
        topLimitText = limit->text();
        band->setCurrentIndex(0);
        d.comColour_Click();
        limit->setText(QStringLiteral("ten"));
        d.txtMaxValue_LostFocus();
        limit->setText(QStringLiteral("10"));
        d.txtMaxValue_LostFocus();
        band->setCurrentIndex(1);
        d.comColour_Click();
        limit->setText(QStringLiteral("20"));
        d.txtMaxValue_LostFocus();
        d.chooseColour = [](const QColor&) { return std::optional<QColor>(Qt::red); };
        d.cmdColour_Click();
        child<QComboBox>(d, "comItem")->setCurrentIndex(8);
        d.comItem_Click();
        captionFromItem = child<QLineEdit>(d, "txtCaption")->text();
        return confirm(d);
    };
    w.window->menus().mnuAddWatch->trigger();
    QCOMPARE(bandCount, 3);
    QCOMPARE(thirdBand, QStringLiteral(" 3"));
    QVERIFY(!topLimitEnabled);
    QVERIFY(topLimitText.isEmpty());
    QCOMPARE(captionFromItem, QStringLiteral("Boost"));
    QCOMPARE(w.prompts.texts(), std::vector<std::string>{"Please enter a numeric value"});
    const WatchSettings s = watches.watch(0).settings();
    QCOMPARE(s.Colours, 3);
    QCOMPARE(s.MaxValue[0], 10.0);
    QCOMPARE(s.MaxValue[1], 20.0);
    QCOMPARE(s.Colour[1], 0x0000FFu);
    QCOMPARE(s.ItemIndex, 8);
    QCOMPARE(s.Caption, std::string("Boost"));
    QCOMPARE(watches.watch(0).windowTitle(), QStringLiteral("Boost"));
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
    const std::vector<double> values{10.4, 10.5, 20, 20.1};
    for (int s = 0; s < 4; ++s)
        log.setLogData(0, s, values[static_cast<std::size_t>(s)]);
    log.LogLast = 3;
    QLabel* value = watches.watch(0).lblValue();
    const auto colour = [&] { return value->palette().color(QPalette::WindowText); };

    watches.sampleLogged(1, LiveSample{}, false);  // between refreshes nothing moves
    QCOMPARE(value->text(), QStringLiteral("0"));
    watches.sampleLogged(0, LiveSample{}, true);
    QCOMPARE(value->text(), QStringLiteral("10"));  // 10.4 shown as 10 stays in band 1
    QCOMPARE(colour(), QColor(Qt::green));

    // The chart's cursor steps through the log; the watch follows it.
    ChartWindow& chart = w.window->chart();
    chart.initTraces();
    for (int s = 1; s <= 3; ++s) {
        chart.Strip1_KeyDown(Qt::Key_Right, Qt::NoModifier);
        QCOMPARE(colour(), QColor(Qt::yellow));
    }
    QCOMPARE(value->text(), QStringLiteral("20"));  // 20.1 shown as 20 keeps band 2
}

void WatchWindowsTest::watchesSurviveARestartAndAWatchFile() {
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("w.dwf")).toStdString();
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
        QVERIFY(watches.WatchFileWrite(path));
        first.window->close();
    }
    QCOMPARE(store.text("Watch4Visible", ""), std::string("True"));
    test::GuiHarness second(&store);
    second.window->Form_Load();
    WatchWindows& watches = second.window->watches();
    QVERIFY(watches.watch(4).isVisible());
    QCOMPARE(watches.watch(4).windowTitle(), QStringLiteral("A/F"));
    QCOMPARE(watches.watch(4).lblValue()->text(), QStringLiteral("0.0"));
    // The design font is kept by name, installed or not.
    QCOMPARE(watches.watch(4).settings().FontName, std::string("Comic Sans MS"));

    watches.HideWatchs();
    second.session.VerName = "SR20DET1";  // another unit than the file was made for
    QCOMPARE(watches.WatchFileRead(path), KeyFileOutcome::Declined);
    QVERIFY(!watches.watch(4).isVisible());
    second.prompts.answerNext(MessageAnswer::Yes);
    QCOMPARE(watches.WatchFileRead(path), KeyFileOutcome::Loaded);
    QVERIFY(watches.watch(4).isVisible());
    QCOMPARE(watches.watch(4).settings().ItemIndex, 58);
}

int runWatchWindowsTests(int argc, char** argv) {
    WatchWindowsTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "watch_windows_test.moc"
