#include <QAction>
#include <QComboBox>
#include <QTableWidget>
#include <QtTest>

#include "gui_harness.h"
#include "mapwatch/scatter_widget.h"
#include "mapwatch/scatter_window.h"

using namespace tunalyx;

class ScatterWindowTest : public QObject {
    Q_OBJECT
private slots:
    void theCellClickedShowsItsValuesOfTheItemChosen();
};

namespace {

// Rpm in thousands, as a math item.
class RpmThousands final : public DerivedItems {
public:
    [[nodiscard]] int count() const override { return 1; }
    [[nodiscard]] std::string name(int) const override { return "Krpm"; }
    [[nodiscard]] double value(const SampleSource& base, int, int s) const override {
        return base.value(kRpmItem, s) / 1000;
    }
    [[nodiscard]] bool available(const SampleSource& base, int) const override {
        return base.hasItem(kRpmItem);
    }
};

void choose(QComboBox* box, int item) {
    const int at = box->findData(item);
    QVERIFY(at >= 0);
    box->setCurrentIndex(at);
    emit box->activated(at);
}

}  // namespace

void ScatterWindowTest::theCellClickedShowsItsValuesOfTheItemChosen() {
    test::SimWindow w(SimUnitKind::Det1_501);
    w.readAll();
    w.session.mathItems = std::make_shared<RpmThousands>();
    const MapAxes axes = LoadMapAxes(w.session.codec, w.session.maps.MapRefBlock);
    QAction* item = w.window->menus().mnuScatter;
    item->trigger();
    auto* scatter = w.window->findChild<ScatterWindow*>();
    QVERIFY(scatter && scatter->isVisible() && item->isChecked());
    QCOMPARE(scatter->windowTitle(), QStringLiteral("Scatter"));
    QCOMPARE(scatter->points().size(), std::size_t{0});
    // Ten samples on the breakpoints of cell (row 7, column 5), five on those of (2, 12).
    LogStore& log = w.window->log();
    log.IncludeGroup[kGroupAdvanced] = true;
    for (int s = 0; s < 15; ++s) {
        const bool first = s < 10;
        log.setLogTime(s, 100 * s);
        log.setLogData(kRpmItem, s, axes.column[first ? 5 : 12] + s);
        log.setLogData(kLoadItem, s, axes.row[first ? 7 : 2]);
        log.LogLast = s;
    }
    w.live.logReplaced("drive.txt");  // as a log opened tells it

    QCOMPARE(scatter->points().size(), std::size_t{15});

    auto* colour = scatter->findChild<QComboBox*>(QStringLiteral("comColour"));
    auto* statItem = scatter->findChild<QComboBox*>(QStringLiteral("comItem"));
    QCOMPARE(statItem->count(), kTraceItemCount + 1);
    QCOMPARE(statItem->itemText(kFirstMathItem), QStringLiteral("Krpm"));
    choose(colour, kRpmItem);
    QCOMPARE(scatter->points().high, static_cast<float>(axes.column[12] + 14));
    choose(statItem, kFirstMathItem);
    auto* function = scatter->findChild<QComboBox*>(QStringLiteral("comFunction"));
    function->setCurrentIndex(MapWatchOptions::Num);
    emit function->activated(MapWatchOptions::Num);
    QCOMPARE(scatter->grid()->item(7, 5)->text(), QStringLiteral("10"));
    QCOMPARE(scatter->grid()->item(2, 12)->text(), QStringLiteral("5"));

    // A click on the scatter's cell shows that cell's values of the math item, and no other's.
    ScatterWidget* plot = scatter->scatter();
    QTest::mouseClick(plot, Qt::LeftButton, {}, plot->cellRect(2, 12).center());
    const Histogram& shown = scatter->histogram()->histogram();
    QCOMPARE(shown.total(), 5);
    QCOMPARE(shown.edges.front(), (axes.column[12] + 10) / 1000);
    QCOMPARE(shown.edges.back(), (axes.column[12] + 14) / 1000);
    QCOMPARE(scatter->grid()->currentRow(), 2);
    QCOMPARE(scatter->grid()->currentColumn(), 12);

    // The choices are kept on closing; the map watch's Window menu shows the same window again.
    scatter->close();
    QVERIFY(!item->isChecked());
    QCOMPARE(w.store.integer("ScatterItem", 0), kFirstMathItem);
    w.window->mapWatch().findChild<QAction*>(QStringLiteral("mnuScatter"))->trigger();
    QVERIFY(scatter->isVisible() && item->isChecked());
    QCOMPARE(w.window->findChildren<ScatterWindow*>().size(), 1);
}

int runScatterWindowTests(int argc, char** argv) {
    ScatterWindowTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "scatter_window_test.moc"
