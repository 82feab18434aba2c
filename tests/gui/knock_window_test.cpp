#include <QDoubleSpinBox>
#include <QLabel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>

#include "autotune/qt_analysis_grid.h"
#include "autotune/target_afr.h"
#include "gui_harness.h"
#include "knock/knock_window.h"

using namespace tunalyx;

class KnockWindowTest : public QObject {
    Q_OBJECT
private slots:
    void cellsShowTheirEventsColoursAndWhy();
    void applyRetardsTheSelectionInOneStepAndAnalysedAgainNothingIsLeft();
    void countsAgainWhileARunIsLoggedAndNeverWrites();
};

namespace {

// Cells, 0-based, each at its exact breakpoints so that it takes every reading of its own.
struct Cell {
    int row;
    int col;
};
constexpr Cell kRetard3{6, 4};   // four events: the most per pass
constexpr Cell kLean{18, 8};     // three events, leaner than the boost target
constexpr Cell kWatched{8, 12};  // one event
constexpr Cell kQuiet{10, 14};   // noise only
constexpr Cell kEdge{12, 19};    // two events in the right-most column

// The log in memory, 100 readings a second: each burst is a second of the sensor's noise around
// 20 counts with three loud readings in it.
class BurstLog {
public:
    BurstLog(LogStore& log, const Session& s)
        : m_log(log), m_axes(LoadMapAxes(s.codec, s.maps.MapRefBlock)) {
        m_log.IncludeGroup[kGroupAdvanced] = m_log.IncludeGroup[kGroupAux] = true;
    }
    BurstLog& bursts(Cell at, int bursts, double afrShare = 1) {
        const double target = defaultTargetAfr(m_axes)[std::size_t(at.row)][std::size_t(at.col)];
        for (int b = 0; b < std::max(bursts, 1); ++b)
            for (int i = 0; i < 100; ++i) {
                const bool loud = bursts > 0 && i >= 50 && i < 53;
                add(at, loud ? 80 : 20 + (m_count % 5) - 2, target * afrShare);
            }
        return *this;
    }
    [[nodiscard]] int count() const { return m_count; }

private:
    void add(Cell at, double knock, double afr) {
        const int n = m_count++;
        m_log.setLogTime(n, n * 10);
        m_log.setLogData(kRpmItem, n, m_axes.column[std::size_t(at.col)]);
        m_log.setLogData(kLoadItem, n, m_axes.row[std::size_t(at.row)]);
        m_log.setLogData(kKnockItem, n, knock);
        m_log.setLogData(kAn1Item, n, afr);
        m_log.LogLast = n;
    }
    LogStore& m_log;
    MapAxes m_axes;
    int m_count = 0;
};

struct Knocking {
    test::SimWindow w{SimUnitKind::Det1_501};
    KnockWindow* window = nullptr;
    Knocking() {
        w.readAll();
        w.window->menus().mnuKnock->trigger();
        window = &w.window->knock();
    }
    void click(const char* name) const {
        QTest::mouseClick(window->findChild<QPushButton*>(QLatin1String(name)), Qt::LeftButton);
    }
    void select(Cell from, Cell to) const {
        window->grid()->clearSelection();
        window->grid()->setRangeSelected({from.row, from.col, to.row, to.col}, true);
    }
    [[nodiscard]] QTableWidgetItem* item(Cell at) const {
        return window->grid()->item(at.row, at.col);
    }
    [[nodiscard]] std::int32_t raw(Cell at) const {
        return w.session.maps.GridData(kIgnMap, at.row + 1, at.col + 1);
    }
    [[nodiscard]] double value(Cell at) const {
        const MapDescriptor& d = w.session.maps.descriptor(kIgnMap);
        return raw(at) * d.scale + d.offset;
    }
    // The raw value `degrees` below what the cell holds.
    [[nodiscard]] std::int32_t retarded(Cell at, double degrees) const {
        const MapDescriptor& d = w.session.maps.descriptor(kIgnMap);
        return static_cast<std::int32_t>(std::lround((value(at) - degrees - d.offset) / d.scale));
    }
    [[nodiscard]] QString text(std::int32_t raw) const {
        return QString::fromStdString(w.session.maps.fText(kIgnMap, raw));
    }
    [[nodiscard]] QString summary() const {
        return window->findChild<QLabel*>(QStringLiteral("lblSummary"))->text();
    }
    void logEveryCell() const {
        BurstLog(w.window->log(), w.session)
            .bursts(kRetard3, 4)
            .bursts(kLean, 3, 1.1)
            .bursts(kWatched, 1)
            .bursts(kQuiet, 0)
            .bursts(kEdge, 2);
    }
};

QString one(double v) {
    return QString::number(v, 'f', 1);
}

}  // namespace

void KnockWindowTest::cellsShowTheirEventsColoursAndWhy() {
    Knocking k;
    QVERIFY(k.window->isVisible() && k.w.window->menus().mnuKnock->isChecked());
    k.logEveryCell();
    k.click("cmdAnalyse");

    QCOMPARE(k.item(kRetard3)->text(),
             QStringLiteral("4.0\u2192") + k.text(k.retarded(kRetard3, 3)));
    QCOMPARE(k.item(kWatched)->text(), QStringLiteral("1.0"));
    QCOMPARE(k.item(kQuiet)->text(), QStringLiteral("0.0"));
    QVERIFY(k.item({0, 0})->text().isEmpty());
    // Quiet plain; a single event light amber; retard orange, redder for more.
    QCOMPARE(k.item(kQuiet)->background().style(), Qt::NoBrush);
    const QColor watched = k.item(kWatched)->background().color();
    QVERIFY(watched.red() > 240 && watched.green() > 200 && watched.blue() < 200);
    const QColor most = k.item(kRetard3)->background().color();
    const QColor less = k.item(kEdge)->background().color();
    QVERIFY(most.red() > most.green() + 100 && less.green() > most.green() + 60);
    QVERIFY(k.item(kLean)->data(kFrameRole).isValid() &&
            !k.item(kRetard3)->data(kFrameRole).isValid());

    const double lean = k.value(kLean);
    QCOMPARE(k.item(kLean)->toolTip(),
             QStringLiteral("P19 N09\nEvents 3.0 (lean knock 3.0), samples 300, peak 80, floor 20\n"
                            "retard 2 degrees: %1 -> %2\nlean knock: fix fuel first")
                 .arg(one(lean), one(lean - 2)));
    QVERIFY(k.item(kWatched)->toolTip().endsWith(
        QStringLiteral("\na single event: watched, not retarded")));
    QCOMPARE(k.summary(), QStringLiteral("10 events in 1 log; 3 cells to retard, 1 watched; "
                                         "1 with lean knock: fix fuel first"));

    // The largest retard is kept and asked of the next analysis; a locked cell is hatched.
    k.window->findChild<QDoubleSpinBox*>(QStringLiteral("txtMaxRetard"))->setValue(1);
    QCOMPARE(k.w.store.text("KnockMaxRetard", ""), std::string("1"));
    QCOMPARE(k.item(kRetard3)->text(),
             QStringLiteral("4.0\u2192") + k.text(k.retarded(kRetard3, 1)));
    k.select(kWatched, kWatched);
    k.click("cmdLock");
    QVERIFY(k.item(kWatched)->data(kHatchRole).toBool());
    QVERIFY(k.item(kWatched)->toolTip().endsWith(QStringLiteral("\nlocked")));

    // A log without the Advanced group says why in the summary.
    k.w.window->log().IncludeGroup[kGroupAdvanced] = false;
    k.click("cmdAnalyse");
    QVERIFY2(k.summary().startsWith(QStringLiteral("Knock analysis needs Advanced")),
             qPrintable(k.summary()));
    QVERIFY(k.item(kRetard3)->text().isEmpty());
}

void KnockWindowTest::applyRetardsTheSelectionInOneStepAndAnalysedAgainNothingIsLeft() {
    Knocking k;
    Session& s = k.w.session;
    k.logEveryCell();
    QTemporaryDir kept;
    k.w.window->useTuneHistory(kept.path().toStdString());
    const PacketImage before = s.image;
    const CellFlags flagsBefore = s.cellChanged;
    const std::int32_t most = k.retarded(kRetard3, 3);
    const std::int32_t lean = k.retarded(kLean, 2);
    const std::int32_t edge = k.retarded(kEdge, 1);
    const std::int32_t watched = k.raw(kWatched);
    k.click("cmdAnalyse");

    // One cell of the right-most column alone.
    k.select(kEdge, kEdge);
    k.click("cmdApply");
    QCOMPARE(k.raw(kEdge), edge);
    QCOMPARE(k.raw(kRetard3), k.window->analysis()->cells[kRetard3.row][kRetard3.col].oldRaw);
    QVERIFY(s.maps.CellChanged(kIgnMap, kEdge.row + 1, kEdge.col + 1));
    QVERIFY(k.w.window->updateButton()->isEnabled());
    QCOMPARE(s.history.undoText(), std::string("Undo Knock Ign Map P13 N20"));
    QVERIFY(s.history.undo());
    QCOMPARE(s.image, before);
    QVERIFY(s.cellChanged == flagsBefore);

    // Nothing selected: every cell to retard, as one step that one Undo takes back.
    k.window->grid()->clearSelection();
    k.click("cmdApply");
    QCOMPARE(k.raw(kRetard3), most);
    QCOMPARE(k.raw(kLean), lean);
    QCOMPARE(k.raw(kEdge), edge);
    QCOMPARE(k.raw(kWatched), watched);
    for (Cell c : {kRetard3, kLean, kEdge})
        QVERIFY(s.maps.CellChanged(kIgnMap, c.row + 1, c.col + 1));
    QCOMPARE(s.history.undoText(), std::string("Undo Knock Ign Map"));
    std::vector<std::string> actions;
    for (const TuneSnapshot& snapshot :
         TuneHistory(kept.path().toStdString(), k.w.files).load().snapshots)
        actions.push_back(snapshot.action);
    QCOMPARE(actions, (std::vector<std::string>{"Knock", "Knock"}));

    // The same log again: its knock happened on the values before, which hold the retard now.
    k.click("cmdAnalyse");
    QCOMPARE(k.window->analysis()->changedCells(), 0);
    QCOMPARE(k.window->analysis()->cells[kRetard3.row][kRetard3.col].verdict,
             KnockVerdict::AlreadyRetarded);
    // Not to be taken for a cell that is only watched.
    QVERIFY(k.item(kRetard3)->background().color() != k.item(kWatched)->background().color());
    QVERIFY(!k.window->findChild<QPushButton*>(QStringLiteral("cmdApply"))->isEnabled());

    QVERIFY(s.history.undo());
    QCOMPARE(s.image, before);
    QVERIFY(s.cellChanged == flagsBefore);
}

void KnockWindowTest::countsAgainWhileARunIsLoggedAndNeverWrites() {
    Knocking k;
    Session& s = k.w.session;
    const PacketImage before = s.image;
    // Auto Tune's target A/F file is damaged: the counting goes on, and says so once.
    const std::string damaged = k.w.filesFolder.filePath(QStringLiteral("t.afr")).toStdString();
    QCOMPARE(k.w.files.writeWhole(damaged, "not a table"), std::string());
    k.w.store.setValue("AutoTuneTargetFile", damaged);
    BurstLog log(k.w.window->log(), s);
    k.window->live().runStarted();
    log.bursts(kRetard3, 1);
    k.w.window->log().publish(log.count());
    k.window->liveTick();
    QCOMPARE(k.item(kRetard3)->text(), QStringLiteral("1.0"));

    log.bursts(kRetard3, 3);
    k.window->liveTick();  // nothing published since: nothing counted
    QCOMPARE(k.item(kRetard3)->text(), QStringLiteral("1.0"));
    k.w.window->log().publish(log.count());
    k.window->liveTick();
    QVERIFY(k.item(kRetard3)->text().startsWith(QStringLiteral("4.0\u2192")));
    QVERIFY(k.window->findChild<QLabel*>(QStringLiteral("lblLogs"))
                ->text()
                .startsWith(QStringLiteral("Logs: the run being logged (400 samples)")));
    QCOMPARE(s.image, before);
    QVERIFY(!s.dirty.any());
    QCOMPARE(k.w.prompts.messages().size(), std::size_t{1});
}

int runKnockWindowTests(int argc, char** argv) {
    KnockWindowTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "knock_window_test.moc"
