#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTimer>
#include <QtTest>

#include <deque>

#include "app/settings_page_widget.h"
#include "gui_harness.h"
#include "ui/qt_user_prompts.h"

using namespace tunalyx;
using tunalyx::test::GuiHarness;
using tunalyx::test::kRevLimitBox;

namespace {

void fillRevIdle(Session& s) {
    s.image[0x8B] = {0x4C, 0x1D, 0x52, 0x03, 0xB6, 0x03, 0x84, 0x03, 0xB0, 0x04, 0, 0};
}

QLineEdit* revLimit(MainWindow& w) {
    return qobject_cast<QLineEdit*>(w.settingsPage(1)->widgetFor(ControlKind::Text, kRevLimitBox));
}

// The tab control takes the focus through its tab bar.
bool focusOnTabs(MainWindow& w) {
    QWidget* f = QApplication::focusWidget();
    return f == w.tabs() || f == w.tabs()->focusProxy();
}

void showOnPage(MainWindow& w, int page) {
    w.show();
    w.tabs()->setCurrentIndex(MainWindow::kFirstSettingsTab + page - 1);
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
}

// A window showing Settings 1 with the Rev / Idle block loaded; its rev limit box.
QLineEdit* startOnRevLimit(GuiHarness& h) {
    fillRevIdle(h.session);
    h.window->Form_Load();
    showOnPage(*h.window, 1);
    return revLimit(*h.window);
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT
private slots:
    void firstStartUsesTheDefaults();
    void closingMaximisedKeepsTheNormalPlacement();
    void aBoxCommitsOnEnterOrFocusLossAndShowsTheStoredValue();
    void autoUpdateRunsOnceAfterTheLastEdit();
    void simulatorItemReplacesTheStoredPort();
    void portMenuListsThePresentDevices();
    void aMessageBelongsToTheWindowInUseAndShowsItsTitle();
    void atItsSmallestEveryValueAndHeadingOfTheMapsShowsWhole();
    void verifyWritesIsKeptForTheNextStart();
    void closingAsksAboutEditsNeitherSentNorSaved();
};

void MainWindowTest::firstStartUsesTheDefaults() {
    MemorySettingsStore store;
    {
        GuiHarness h(&store);
        h.window->Form_Load();
        QCOMPARE(h.window->windowTitle(), QStringLiteral("Tunalyx SR20DET - Untitled.Dat"));
        QCOMPARE(h.window->tabs()->currentIndex(), MainWindow::kTabCount - 1);
        QVERIFY(h.serial.isOpen());
        QCOMPARE(h.serial.portNumber(), 1);
        QVERIFY(h.window->menus().mnuCom[0]->isChecked());
        QCOMPARE(h.serial.writes().size(), std::size_t{1});  // the wake-up
        h.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
        h.window->close();
    }
    const std::pair<const char*, const char*> defaults[] = {
        {"MainLeft", "450"}, {"MainWidth", "11130"}, {"MainWindowState", "0"},
        {"MainTab", "8"},    {"ComPort", "1"},       {"MainMapTrace", "False"}};
    for (const auto& [key, value] : defaults)
        QCOMPARE(store.value(key).value_or(""), std::string(value));
    QVERIFY(!store.value("ComTimeOutTicks"));  // read, never written
}

// Setup > Verify Writes is on at a first start; switched off, the writes trust the unit's answer
// and it is still off at the next start.
void MainWindowTest::verifyWritesIsKeptForTheNextStart() {
    MemorySettingsStore store;
    {
        GuiHarness h(&store);
        h.window->Form_Load();
        QVERIFY(h.window->menus().mnuVerifyWrites->isChecked());
        QVERIFY(h.window->transfers().operations().verifyWrites());
        h.window->menus().mnuVerifyWrites->trigger();
        QVERIFY(!h.window->transfers().operations().verifyWrites());
        h.window->close();
    }
    QCOMPARE(store.value("VerifyWrites").value_or(""), std::string("False"));
    GuiHarness h(&store);
    h.window->Form_Load();
    QVERIFY(!h.window->menus().mnuVerifyWrites->isChecked());
    QVERIFY(!h.window->transfers().operations().verifyWrites());
}

void MainWindowTest::closingMaximisedKeepsTheNormalPlacement() {
    MemorySettingsStore store;
    store.setValue("MainLeft", "900");
    store.setValue("MainTab", "4");
    store.setValue("ComPort", "9");  // outside 1..8: no port is opened
    {
        GuiHarness h(&store);
        h.window->Form_Load();
        QCOMPARE(h.serial.opens(), 0);
        QCOMPARE(h.window->tabs()->currentIndex(), 4);
        h.window->showMaximized();
        QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
        h.window->tabs()->setCurrentIndex(6);
        h.window->close();
    }
    QCOMPARE(store.value("MainWindowState").value_or(""), std::string("2"));
    QCOMPARE(store.value("MainLeft").value_or(""), std::string("900"));
    QCOMPARE(store.value("MainTab").value_or(""), std::string("4"));
    QVERIFY(!store.value("MainWidth"));
    QCOMPARE(store.value("ComPort").value_or(""),
             std::string("9"));  // nothing checked: not written
}

// A box takes its value over on Enter or when it loses the focus (a click on a frame included),
// never while typing, and then shows what was stored.
void MainWindowTest::aBoxCommitsOnEnterOrFocusLossAndShowsTheStoredValue() {
    GuiHarness h;
    QLineEdit* box = startOnRevLimit(h);
    QVERIFY(box);
    QCOMPARE(box->text(), QStringLiteral("7500"));
    box->setFocus();
    box->setText(QStringLiteral("7500.2"));  // rounds to the stored raw value: no change
    QTest::keyClick(box, Qt::Key_Return);
    QVERIFY(!h.window->updateButton()->isEnabled());
    QVERIFY(!h.session.dirty.any());
    box->setFocus();
    box->selectAll();
    QTest::keyClicks(box, QStringLiteral("7200"));
    QVERIFY(!h.session.dirty.isSet(0x8B));
    QTest::keyClick(box, Qt::Key_Return);
    QCOMPARE(h.session.image[0x8B][0], 0x20);
    QCOMPARE(h.session.image[0x8B][1], 0x1C);
    QVERIFY(h.window->updateButton()->isEnabled());
    QVERIFY(focusOnTabs(*h.window));
    box->setFocus();
    box->setText(QStringLiteral("70000"));  // beyond a word: stored as 65535
    h.window->tabs()->setFocus();
    QCOMPARE(box->text(), QStringLiteral("65535"));
    box->setFocus();
    box->setText(QStringLiteral("fast"));  // not a number: the stored value comes back
    // A click on a frame takes the box's text over; a right click opens the frame's menu.
    QTest::mouseClick(h.window->settingsPage(1)->frameBox(28), Qt::RightButton, {}, {5, 5});
    QCOMPARE(box->text(), QStringLiteral("65535"));
    QCOMPARE(h.session.image[0x8B][0], 0xFF);
    QCOMPARE(h.window->rightClickedFrame(), 28);
    QVERIFY(h.window->menus().popup->isVisible());
    h.window->menus().popup->hide();
}

// The debounce itself is the core's; here: the box, an edit and the timer are wired to it.
void MainWindowTest::autoUpdateRunsOnceAfterTheLastEdit() {
    GuiHarness h;
    QLineEdit* box = startOnRevLimit(h);
    QSignalSpy updates(h.window.get(), &MainWindow::updateRequested);
    QTest::mouseClick(h.window->autoUpdateBox(), Qt::LeftButton);
    QVERIFY(!h.window->transfers().updateTimer().isActive());  // nothing to send yet
    box->setFocus();
    box->setText(QStringLiteral("7000"));
    QTest::keyClick(box, Qt::Key_Return);
    QVERIFY(h.window->transfers().updateTimer().isActive());
    QCOMPARE(updates.count(), 0);
    QTRY_COMPARE_WITH_TIMEOUT(updates.count(), 1, 1000);
    QVERIFY(!h.window->transfers().updateTimer().isActive());
}

void MainWindowTest::simulatorItemReplacesTheStoredPort() {
    MemorySettingsStore store;
    store.setValue("ComPort", "3");
    ManualClock clock;
    test::ScriptedSerialPort serial(clock), simulator(clock);
    serial.close();
    simulator.close();
    test::RecordingPrompts prompts;
    SerialPortSelector selector(serial);
    Session session(selector, clock, prompts);
    {
        QtFileWriter files;
        LiveRun live(session, session, clock, files, std::string());
        MainWindow w(session, live, store, {selector, serial, &simulator}, files);
        w.Form_Load();
        QVERIFY(w.menus().mnuSimulator->isChecked() && simulator.isOpen());
        QCOMPARE(serial.opens(), 0);
        QVERIFY(selector.isSelected(simulator));
        w.menus().mnuCom[1]->trigger();  // a real port takes over
        QVERIFY(!w.menus().mnuSimulator->isChecked() && !simulator.isOpen());
        QVERIFY(selector.isSelected(serial));
        QCOMPARE(serial.portNumber(), 2);
        w.menus().mnuSimulator->trigger();
        QVERIFY(w.menus().mnuSimulator->isChecked() && !serial.isOpen());
        w.close();
    }
    QCOMPARE(store.value("ComPort").value_or(""), std::string("3"));
}

namespace {
QList<QAction*> deviceItems(const MainWindow& w) {
    emit w.menus().port->aboutToShow();  // the list is made as the menu opens
    QList<QAction*> items;
    for (QAction* a : w.menus().port->actions())
        if (a->objectName() == QLatin1String("mnuDevice")) items.append(a);
    return items;
}
}  // namespace

void MainWindowTest::portMenuListsThePresentDevices() {
    MemorySettingsStore store;
    std::vector<PresentPort> present;
    // Com1 is a device of each system's own naming; the second is beyond Com8.
#ifdef Q_OS_WIN
    const std::string com1 = "COM1", other = "COM12";
#else
    const std::string com1 = "/dev/ttyUSB0", other = "/dev/ttyACM0";
#endif
    {
        GuiHarness h(&store);
        h.window->portMenu().presentPorts = [&present] { return present; };
        h.window->Form_Load();  // Com1 by default
        QVERIFY(deviceItems(*h.window).isEmpty());
        const QList<QAction*> all = h.window->menus().port->actions();
        QCOMPARE(all.last()->text(), QStringLiteral("No serial ports found"));
        QVERIFY(!all.last()->isEnabled());

        present = {{com1, "FT232R USB UART"}, {other, ""}};
        QList<QAction*> items = deviceItems(*h.window);
        QCOMPARE(items.size(), 2);
        QCOMPARE(items[0]->text(), QString::fromStdString(com1 + "  FT232R USB UART (Com1)"));
        QVERIFY(items[0]->isChecked());  // Com1 is that device
        QCOMPARE(items[1]->text(), QString::fromStdString(other));

        items[1]->trigger();
        QCOMPARE(h.serial.devicePath(), other);
        QVERIFY(h.serial.isOpen() && !h.window->menus().mnuCom[0]->isChecked());
        QVERIFY(items[1]->isChecked() && !items[0]->isChecked());

        items = deviceItems(*h.window);  // listed again: the check stays with the device
        QVERIFY(items[1]->isChecked());
        items[0]->trigger();  // the same as Com1
        QVERIFY(h.window->menus().mnuCom[0]->isChecked());
        QCOMPARE(h.serial.devicePath(), std::string());
        items[1]->trigger();
        h.window->close();
    }
    QCOMPARE(store.value("ComPortDevice").value_or(""), other);
    {
        GuiHarness h(&store);
        h.window->Form_Load();  // the device chosen last time, not Com1
        QCOMPARE(h.serial.devicePath(), other);
        QVERIFY(h.serial.isOpen() && !h.window->menus().mnuCom[0]->isChecked());
        h.window->menus().mnuCom[2]->trigger();
        h.window->close();
    }
    QCOMPARE(store.value("ComPortDevice").value_or("-"), std::string());
    QCOMPARE(store.value("ComPort").value_or(""), std::string("3"));
}

void MainWindowTest::aMessageBelongsToTheWindowInUseAndShowsItsTitle() {
    test::SimWindow w(SimUnitKind::Det1_501);
    QtUserPrompts prompts(w.window.get());
    ChartWindow& chart = w.window->chart();
    chart.show();
    chart.activateWindow();
    QTRY_COMPARE(QApplication::activeWindow(), &chart);
    {  // a file chosen first: the dialog goes before the message comes
        QFileDialog choose(&chart);
        choose.show();
        QTRY_COMPARE(QApplication::activeWindow(), &choose);
    }
    bool overTheChartAndWhole = false;
    QTimer::singleShot(0, [&] {
        QWidget* box = QApplication::activeModalWidget();
        overTheChartAndWhole = box->parentWidget() == &chart && box->width() >= titleBarWidth(*box);
        box->close();
    });
    prompts.showMessage("Bad.", MessageIcon::Critical, MessageButtons::Ok);
    QVERIFY(overTheChartAndWhole);
}

void MainWindowTest::atItsSmallestEveryValueAndHeadingOfTheMapsShowsWhole() {
    GuiHarness h;
    h.window->Form_Load();
    h.window->show();
    h.window->resize(1, 1);
    for (int g = 0; g < kMapGridCount; ++g) {
        h.session.maps.GridSetData(g, 1, 1, h.session.maps.descriptor(g).max);  // the widest
        h.window->tabs()->setCurrentIndex(g);
        MapGridWidget* grid = h.window->grid(g);
        QApplication::processEvents();
        const QHeaderView* top = grid->horizontalHeader();
        const QHeaderView* left = grid->verticalHeader();
        QCOMPARE(top->length(), grid->viewport()->width());  // all 20 columns and rows in view
        QVERIFY(left->length() <= grid->viewport()->height());
        QVERIFY(left->sizeHint().width() <= left->width());
        for (int i = 0; i < kMapCols; ++i) {
            QVERIFY(grid->fontMetrics().horizontalAdvance(grid->cells().cellText(1, 1)) + 3 <=
                    grid->columnWidth(i));
            QVERIFY(top->sectionSizeHint(i) <= top->sectionSize(i));
            QVERIFY(left->sectionSizeHint(i) <= left->sectionSize(i));
        }
    }
}

// Closing with edits neither sent nor saved asks, a value still being typed included; Cancel
// keeps the program, Save and Send go on asking until the edits are kept, Discard gives them up.
void MainWindowTest::closingAsksAboutEditsNeitherSentNorSaved() {
    using Answer = MainWindow::WaitingAnswer;
    struct Closing {
        explicit Closing(std::deque<Answer> script) : answers(std::move(script)) {
            w.readAll();
            w.window->askWaitingChanges = [this](const std::string& text) {
                asked.push_back(text);
                if (beforeAnswer) beforeAnswer(asked.size());
                const Answer a = answers.empty() ? Answer::Cancel : answers.front();
                if (!answers.empty()) answers.pop_front();
                return a;
            };
        }
        // Two Ign Map cells up by Ctrl and "+".
        void editCells() {
            w.window->tabs()->setCurrentIndex(kIgnMap);
            MapGridWidget* grid = w.window->grid(kIgnMap);
            grid->setSelectionRange({2, 3, 2, 4});
            grid->setFocus();
            QTest::keyClick(grid, Qt::Key_Plus, Qt::ControlModifier);
        }
        test::SimWindow w{SimUnitKind::Det1_501};
        std::deque<Answer> answers;
        std::vector<std::string> asked;
        std::function<void(std::size_t)> beforeAnswer;
    };

    {
        Closing c({Answer::Cancel, Answer::Save, Answer::Save});
        QVERIFY(!c.w.window->waitingChanges().any());
        c.editCells();
        c.w.window->tabs()->setCurrentIndex(MainWindow::kFirstSettingsTab);
        QLineEdit* box = c.w.textBox(kRevLimitBox);
        box->setFocus();
        box->setText(QStringLiteral("7100"));
        QVERIFY(!c.w.window->close());
        QCOMPARE(c.asked,
                 std::vector<std::string>{
                     "2 map cells and 1 setting have been neither sent to the unit nor saved."});
        const QString path = c.w.filesFolder.filePath(QStringLiteral("kept.dat"));
        int dialogs = 0;
        c.w.window->files().chooseSavePath = [&](const std::string&) {
            return ++dialogs == 1 ? std::string() : path.toStdString();
        };
        QVERIFY(c.w.window->close());
        QCOMPARE(dialogs, 2);  // the dialog cancelled, the question again, then saved
        QCOMPARE(c.asked.size(), std::size_t{3});
        QVERIFY(QFile::exists(path));
    }
    {
        // The cable is out when Send is first chosen; Update fails and the question comes back.
        Closing c({Answer::Send, Answer::Send});
        c.editCells();
        const PacketImage edited = c.w.session.image;
        c.w.sim.line().faults().cablePulledAfter = c.w.sim.line().requestCount();
        c.beforeAnswer = [&](std::size_t n) {
            if (n == 2) c.w.sim.line().faults().cablePulledAfter = 0;
        };
        QVERIFY(c.w.window->close());
        QCOMPARE(c.asked.size(), std::size_t{2});
        for (std::uint8_t b : c.w.session.mapLayout.mapBlocks(kIgnMap))
            QCOMPARE(c.w.sim.ecu().blocks()[b], edited[b]);
    }
    {
        Closing c({Answer::Discard});
        c.editCells();
        const auto unit = c.w.sim.ecu().blocks();
        QVERIFY(c.w.window->close());
        QCOMPARE(c.asked.size(), std::size_t{1});
        QVERIFY(c.w.sim.ecu().blocks() == unit);
    }
}

int runMainWindowTests(int argc, char** argv) {
    MainWindowTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "main_window_test.moc"
