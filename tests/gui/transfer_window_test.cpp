#include <QAction>
#include <QCheckBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "app/settings_page_widget.h"
#include "gui_harness.h"
#include "history/tune_history.h"
#include "ui/progress_dialog.h"

using namespace tunalyx;

using test::SimWindow;

class TransferWindowTest : public QObject {
    Q_OBJECT
private slots:
    void readAllAndTheVersionMenuReconfigureTheWindow();
    void saveAsThenOpenRestoresTheTune();
    void refusedMapBlocksGoOutCellByCell();
    void whatTheUnitDidNotKeepIsMarkedOnItsPage();
    void aWriteShowsProgressRepaintsAndStopsOnCancel();
    void closingDuringAWriteAsksThenClosesAfterThePacket();
    void anAutoUpdateDueDuringATransferRunsAfterIt();
};

namespace {

// Runs `step` on the window's event loop from inside a transfer: each time the loop runs, with
// the transfer's progress dialog (or nothing while it is not up).
class DuringTransfer : public QObject {
public:
    DuringTransfer(MainWindow& window, std::function<void(int, ProgressDialog*)> step)
        : m_window(window), m_step(std::move(step)) {
        m_timer.setInterval(0);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            auto* dialog = m_window.findChild<ProgressDialog*>();
            m_step(++runs, dialog && dialog->isVisible() ? dialog : nullptr);
        });
        m_timer.start();
    }
    int runs = 0;

private:
    MainWindow& m_window;
    std::function<void(int, ProgressDialog*)> m_step;
    QTimer m_timer;
};

void editIdleSpeed(SimWindow& w) {
    w.window->tabs()->setCurrentIndex(MainWindow::kFirstSettingsTab);
    QLineEdit* idle = w.textBox(197);
    idle->setFocus();
    idle->setText(QStringLiteral("900"));
    QTest::keyClick(idle, Qt::Key_Return);
}

}  // namespace

// Read All brings the unit's layout to the tabs and the menus; the version menu takes it away.
void TransferWindowTest::readAllAndTheVersionMenuReconfigureTheWindow() {
    SimWindow w(SimUnitKind::T2D_511A);
    w.window->tabs()->setCurrentIndex(kBaseMap);
    w.readAll();
    QCOMPARE(w.prompts.texts(), std::vector<std::string>{});
    for (const ListedBlock& b : familyLayout(LayoutFamily::FamilyT2D).readAll)
        QCOMPARE(w.session.image[b.command], w.sim.ecu().blocks()[b.command]);
    QVERIFY(w.window->tabs()->isTabVisible(kBaseMap));
    QVERIFY(w.window->menus().mnuReCalcBase->isEnabled());
    QVERIFY(!w.window->updateButton()->isEnabled());
    QCOMPARE(w.window->grid(kBaseMap)->cells().cellText(1, 1),
             QString::fromStdString(w.session.maps.cellText(kBaseMap, 1, 1)));

    w.window->menus().versionItems[3][2]->trigger();  // SR20DET&5 > &3.12: family 3
    QCOMPARE(w.session.layout.family, std::optional<LayoutFamily>(LayoutFamily::Family3));
    QVERIFY(!w.window->tabs()->isTabVisible(kBaseMap));
    QCOMPARE(w.window->tabs()->currentIndex(), kIgnMap);
    QVERIFY(!w.window->menus().mnuReCalcBase->isEnabled());
    QVERIFY(!w.window->settingsPage(3)->frameBox(132)->isHidden());  // Air Flow 0x5A
}

void TransferWindowTest::saveAsThenOpenRestoresTheTune() {
    SimWindow w(SimUnitKind::Det1_501);
    w.readAll();
    QTemporaryDir dir;
    const std::string path = (dir.path() + QStringLiteral("/mine.dat")).toStdString();
    std::string proposed;
    w.window->files().chooseSavePath = [&](const std::string& name) {
        proposed = name;
        return path;
    };
    const PacketImage saved = w.session.image;
    w.window->menus().mnuSaveAs->trigger();
    QCOMPARE(proposed, std::string("Untitled.Dat"));  // the name from the caption
    QCOMPARE(w.window->windowTitle(), QStringLiteral("Tunalyx SR20DET - mine.dat"));
    QCOMPARE(w.store.value("MapPath").value_or(""), dir.path().toStdString() + "/");
    w.session.image[0x8C] = {1, 2};
    w.window->files().chooseOpenPath = [&] { return path; };
    w.window->menus().mnuOpen->trigger();
    QCOMPARE(w.session.image[0x8C], saved[0x8C]);
    QVERIFY(w.prompts.messages().empty());
}

void TransferWindowTest::refusedMapBlocksGoOutCellByCell() {
    SimWindow w(SimUnitKind::Det1_501);
    for (std::uint8_t b = 0x81; b <= 0x89; ++b)
        w.sim.ecu().refuseWrites(b);
    w.readAll();
    const PacketImage before = w.session.image;
    w.window->tabs()->setCurrentIndex(kInjMap);
    MapGridWidget* inj = w.window->grid(kInjMap);
    inj->setFocus();
    inj->setSelectionRange({5, 7, 6, 7});
    QTest::keyClick(inj, Qt::Key_Plus, Qt::ControlModifier);
    w.window->tabs()->setCurrentIndex(MainWindow::kFirstSettingsTab);
    QLineEdit* idle = w.textBox(197);
    idle->setFocus();
    idle->setText(QStringLiteral("900"));
    QTest::keyClick(idle, Qt::Key_Return);
    w.sim.ecu().clearRequestLog();
    w.window->updateButton()->click();
    int cellPackets = 0;
    for (const Bytes& r : w.sim.ecu().requests())
        cellPackets += r[0] == 0x85 && r.size() == 4;
    QCOMPARE(cellPackets, 2);
    // With nothing left to send, Update is off.
    QVERIFY(!w.session.dirty.any() && !w.window->updateButton()->isEnabled());
    const PacketImage edited = w.session.image;
    w.readAll();
    QCOMPARE(w.session.image, edited);
    int changedBytes = 0;
    for (int b = 0; b < 256; ++b)
        for (std::size_t i = 0; i < before[static_cast<std::uint8_t>(b)].size(); ++i)
            changedBytes +=
                before[static_cast<std::uint8_t>(b)][i] != edited[static_cast<std::uint8_t>(b)][i];
    QCOMPARE(changedBytes, 3);  // two cells and the low byte of the idle speed
}

// The setting and the cell whose write did not verify are marked where they are shown, until a
// write of them verifies.
void TransferWindowTest::whatTheUnitDidNotKeepIsMarkedOnItsPage() {
    SimWindow w(SimUnitKind::Det1_501);
    w.readAll();
    w.sim.ecu().misstore(0x8B, 3);  // the idle speed's low byte
    w.sim.ecu().misstore(0x86, 5);  // Inj Map row 5, column 1
    MapGridWidget* inj = w.window->grid(kInjMap);
    w.window->tabs()->setCurrentIndex(kInjMap);
    inj->setFocus();
    inj->setSelectionRange({5, 1, 5, 1});
    QTest::keyClick(inj, Qt::Key_Plus, Qt::ControlModifier);
    const std::int32_t cell = w.session.maps.GridData(kInjMap, 5, 1);
    editIdleSpeed(w);
    QLineEdit* idle = w.textBox(197);
    const QColor base = idle->palette().color(QPalette::Base);
    w.window->updateButton()->click();
    QCOMPARE(w.prompts.texts().size(), std::size_t{1});
    QCOMPARE(idle->toolTip(), QStringLiteral("Not kept by the unit: sent 900, read back 901"));
    QVERIFY(idle->palette().color(QPalette::Base) != base);
    QVERIFY(w.textBox(196)->toolTip().isEmpty());  // the rev limit beside it was kept
    const auto tip = [&](int row, int col) {
        return inj->cells().data(inj->cells().index(row - 1, col - 1), Qt::ToolTipRole);
    };
    QCOMPARE(tip(5, 1).toString(),
             QStringLiteral("Not kept by the unit: sent %1, read back %2")
                 .arg(QString::fromStdString(w.session.maps.fText(kInjMap, cell)),
                      QString::fromStdString(w.session.maps.fText(kInjMap, cell + 1))));
    QVERIFY(!tip(4, 1).isValid() && !tip(5, 2).isValid());
    QVERIFY(w.window->updateButton()->isEnabled());

    // Kept the second time: the marks go.
    w.sim.ecu().misstore(0x8B, 0);
    w.sim.ecu().misstore(0x86, 0);
    w.window->updateButton()->click();
    QVERIFY(idle->toolTip().isEmpty());
    QCOMPARE(idle->palette().color(QPalette::Base), base);
    QVERIFY(!tip(5, 1).isValid());
}

// Write All shows its progress dialog for the whole transfer, the window's event loop runs between
// packets, and Cancel stops it before the next packet: what was not sent stays marked, and
// Update, which would send it, is on.
void TransferWindowTest::aWriteShowsProgressRepaintsAndStopsOnCancel() {
    SimWindow w(SimUnitKind::Det1_501);
    w.readAll();
    editIdleSpeed(w);
    // The other windows that change the tune take no input while the write runs.
    w.window->useTuneHistory(w.session.filesFolder + "/History");
    QWidget& autoTune = w.window->autoTune();
    QWidget& history = w.window->historyWindow();
    autoTune.show();
    history.show();
    int shownAt = 0;
    QString status;
    DuringTransfer during(*w.window, [&](int run, ProgressDialog* dialog) {
        if (!dialog || shownAt) return;
        shownAt = run;
        status = dialog->status();
        QVERIFY(!w.window->updateButton()->isEnabled());  // no other input while it runs
        QVERIFY(!autoTune.isEnabled() && !history.isEnabled());
        QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("cmdCancel")),
                          Qt::LeftButton);
    });
    w.sim.ecu().clearRequestLog();
    QTest::mouseClick(w.button("cmdWriteAll"), Qt::LeftButton);
    QVERIFY(shownAt > 0);
    QCOMPARE(status, QStringLiteral("Writing all data"));
    QVERIFY(!w.window->findChild<ProgressDialog*>()->isVisible());
    QCOMPARE(w.prompts.texts().size(), std::size_t{1});
    QVERIFY2(w.prompts.texts()[0].starts_with("Stopped: 1 of "), w.prompts.texts()[0].c_str());
    QCOMPARE(w.sim.ecu().blocks()[0x86], w.session.image[0x86]);  // the packet that was in flight
    QVERIFY(w.session.dirty.isSet(0x8B));
    QVERIFY(w.window->updateButton()->isEnabled());
    QVERIFY(w.button("cmdWriteAll")->isEnabled());
    QVERIFY(autoTune.isEnabled() && history.isEnabled());
}

// The close box during a write asks; No lets the write finish and the window stay, Yes stops
// the write after the packet in flight, keeps the tune the unit then holds in the history and
// closes the window.
void TransferWindowTest::closingDuringAWriteAsksThenClosesAfterThePacket() {
    for (const MessageAnswer answer : {MessageAnswer::No, MessageAnswer::Yes}) {
        SimWindow w(SimUnitKind::Det1_501);
        const std::string historyFolder = w.session.filesFolder + "/History";
        w.window->useTuneHistory(historyFolder);
        w.readAll();
        editIdleSpeed(w);
        w.prompts.clear();
        w.prompts.answerNext(answer);
        // What the stopped write did not send is asked about before the window goes.
        std::vector<std::string> waitingAsked;
        w.window->askWaitingChanges = [&](const std::string& text) {
            waitingAsked.push_back(text);
            return MainWindow::WaitingAnswer::Discard;
        };
        bool closedAtOnce = true;
        DuringTransfer during(*w.window, [&](int run, ProgressDialog* dialog) {
            if (!dialog || run != 3) return;
            closedAtOnce = w.window->close();
        });
        QTest::mouseClick(w.button("cmdWriteAll"), Qt::LeftButton);
        QVERIFY(!closedAtOnce);
        QVERIFY(!w.prompts.texts().empty());
        QCOMPARE(w.prompts.texts()[0],
                 std::string("A write to the unit is in progress. Stop it after the packet being "
                             "sent and close? You will be asked about what was not sent."));
        QCoreApplication::processEvents();
        const HistoryIndex history = TuneHistory(historyFolder, w.files).load();
        QVERIFY(!history.snapshots.empty());
        if (answer == MessageAnswer::No) {
            QCOMPARE(w.prompts.texts().size(), std::size_t{1});
            QVERIFY(w.window->isVisible());
            QVERIFY(!w.session.dirty.any());
            QCOMPARE(history.snapshots.back().action, std::string("Write All"));
            continue;
        }
        QVERIFY(!w.window->isVisible());
        QCOMPARE(waitingAsked.size(), std::size_t{1});
        QCOMPARE(w.prompts.texts().size(), std::size_t{2});
        QVERIFY(w.prompts.texts()[1].starts_with("Stopped: "));
        QCOMPARE(history.snapshots.back().action, std::string("Write All (stopped)"));
        QVERIFY(w.session.dirty.isSet(0x8B));
    }
}

// The auto-update timer firing while another transfer runs does not lose the Update: it runs
// once the transfer is over.
void TransferWindowTest::anAutoUpdateDueDuringATransferRunsAfterIt() {
    SimWindow w(SimUnitKind::Det1_501);
    w.readAll();
    QTest::mouseClick(w.window->autoUpdateBox(), Qt::LeftButton);
    editIdleSpeed(w);
    QTimer& timer = w.window->transfers().updateTimer();
    QVERIFY(timer.isActive());
    timer.stop();
    bool fired = false;
    DuringTransfer during(*w.window, [&](int, ProgressDialog* dialog) {
        if (!dialog || fired) return;
        fired = true;
        timer.start(0);  // due now, in the middle of the write
    });
    QTest::mouseClick(w.button("cmdWriteAll"), Qt::LeftButton);
    QVERIFY(fired);
    w.sim.ecu().clearRequestLog();
    QTRY_VERIFY_WITH_TIMEOUT(!w.sim.ecu().requests().empty(), 3000);  // the Update identifies
}

int runTransferWindowTests(int argc, char** argv) {
    TransferWindowTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "transfer_window_test.moc"
