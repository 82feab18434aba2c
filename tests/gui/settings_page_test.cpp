#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <map>

#include "airflow/air_flow_grid_widget.h"
#include "app/settings_page_widget.h"
#include "gui_harness.h"
#include "sim/default_blocks.h"
#include "support/plain_file_writer.h"
#include "transfer/data_file.h"
#include "versions/version_identification.h"

using namespace tunalyx;
using tunalyx::test::GuiHarness;

namespace {

// As opening a file of that unit does: its image, identified from itself.
void openUnitImage(GuiHarness& h, SimUnitKind kind) {
    h.session.image.assign(defaultBlocks(simUnit(kind)));
    h.session.VerNumber.clear();
    QVERIFY(SR20DET_Version(h.session, {.FromPFC = false, .CheckData = false}));
}

QPlainTextEdit* notesBox(MainWindow& w) {
    return qobject_cast<QPlainTextEdit*>(w.settingsPage(5)->notesEdit());
}

// The letter after a lone "&" of a caption, or 0.
QChar mnemonic(const QString& text) {
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text[i] != QLatin1Char('&')) continue;
        if (text[i + 1] != QLatin1Char('&')) return text[i + 1].toUpper();
        ++i;
    }
    return QChar();
}

}  // namespace

class SettingsPageTest : public QObject {
    Q_OBJECT
private slots:
    void notesBoxShowsWhatASaveWouldWrite();
    void framesFollowTheLayoutOfEachFamily();
    void everyCaptionFitsAtTheDefaultSizeAndTheAirFlowGridUsesMore();
    void noAccessKeyReachesTwoThings();
    void textBlockLabelCopiesOnDoubleClick();
};

void SettingsPageTest::notesBoxShowsWhatASaveWouldWrite() {
    GuiHarness h;
    h.window->Form_Load();
    QTemporaryDir dir;
    const auto file = [&](const char* name) { return (dir.path() + "/" + name).toStdString(); };
    // A tune with notes of its own, and a file that is not a tune at all.
    openUnitImage(h, SimUnitKind::Det1_501);
    test::PlainFileWriter writer;
    h.session.notes = "first tune\r\nline two";
    QVERIFY(saveDataFile(h.session, writer, file("a.dat")).empty());
    QVERIFY(writer.writeWhole(file("junk.dat"), "TTnot a tune\r\n").empty());

    notesBox(*h.window)->setPlainText(QStringLiteral("typed before"));
    QVERIFY(OpenDataFile(h.session.document(), h.session.workspace(), file("a.dat"), "a.dat"));
    QCOMPARE(notesBox(*h.window)->toPlainText(), QStringLiteral("first tune\nline two\n"));
    QVERIFY(
        !OpenDataFile(h.session.document(), h.session.workspace(), file("junk.dat"), "junk.dat"));
    // Opening shows the notes without touching them: a save writes them byte for byte.
    QCOMPARE(h.session.notes, std::string("first tune\r\nline two\r\n"));
    notesBox(*h.window)->appendPlainText(QStringLiteral("added"));
    QCOMPARE(h.session.notes, std::string("first tune\r\nline two\r\n\r\nadded"));
}

// The frames of the layout in force, and a page without any says so.
void SettingsPageTest::framesFollowTheLayoutOfEachFamily() {
    GuiHarness h;
    h.window->Form_Load();
    const auto noSettings = [&](int page) {
        return h.window->settingsPage(page)->findChild<QLabel*>(
            QStringLiteral("NoSettings%1").arg(page));
    };
    // Solenoid A1 lies in 0xD5, which family 5 is never written: it is shown, not edited.
    openUnitImage(h, SimUnitKind::Det1_501);
    const auto box = [&](int index) {
        return qobject_cast<QLineEdit*>(
            h.window->settingsPage(1)->widgetFor(ControlKind::Text, index));
    };
    QVERIFY(box(192)->isReadOnly() && !box(188)->isReadOnly());
    QCOMPARE(box(192)->toolTip(),
             QStringLiteral("Read only: block D5 is not written to this Power-FC version."));
    openUnitImage(h, SimUnitKind::Det1_170B);
    QVERIFY(!box(192)->isReadOnly());
    QVERIFY(!noSettings(4)->isHidden());
    QVERIFY(noSettings(1)->isHidden());
    QVERIFY(!h.window->settingsPage(1)->frameBox(35)->isHidden());  // Version, on 0x6B/0x6C
    QVERIFY(!h.window->settingsPage(2)->frameBox(111)->isHidden());
    openUnitImage(h, SimUnitKind::T2D_511A);
    QVERIFY(noSettings(4)->isHidden());
    QVERIFY(h.window->settingsPage(2)->frameBox(111)->isHidden());
    QVERIFY(!h.window->settingsPage(2)->frameBox(11)->isHidden());
}

void SettingsPageTest::everyCaptionFitsAtTheDefaultSizeAndTheAirFlowGridUsesMore() {
    for (SimUnitKind unit :
         {SimUnitKind::Det1_170B, SimUnitKind::Det1_501, SimUnitKind::T2D_511A}) {
        GuiHarness h;
        h.window->Form_Load();
        h.window->resize(742, 535);
        h.window->show();
        QVERIFY(QTest::qWaitForWindowExposed(h.window.get()));
        openUnitImage(h, unit);
        for (int page = 1; page <= 5; ++page) {
            SettingsPageWidget* p = h.window->settingsPage(page);
            h.window->tabs()->setCurrentWidget(p);
            QApplication::processEvents();
            const std::string where = simUnit(unit).programName + " page " + std::to_string(page);
            QVERIFY2(p->horizontalScrollBar()->maximum() == 0, where.c_str());
            for (QGroupBox* box : p->findChildren<QGroupBox*>()) {
                if (!box->isVisibleTo(p)) continue;
                QVERIFY2(box->width() >= box->fontMetrics().horizontalAdvance(box->title()),
                         (where + " " + box->title().toStdString()).c_str());
            }
            for (QLabel* label : p->findChildren<QLabel*>()) {
                if (!label->isVisibleTo(p) || label->text().isEmpty()) continue;
                for (const QString& line : label->text().split(QLatin1Char('\n')))
                    QVERIFY2(label->contentsRect().width() >=
                                 label->fontMetrics().horizontalAdvance(line),
                             (where + " " + line.toStdString()).c_str());
            }
        }
        // A wider window shows more of the air flow grid's 32 points, all of them at last.
        auto* airFlow = h.window->settingsPage(3)->findChild<AirFlowGridWidget*>();
        h.window->tabs()->setCurrentWidget(h.window->settingsPage(3));
        const int narrow = airFlow->width();
        h.window->resize(2000, 535);
        QTRY_VERIFY(airFlow->width() > narrow || !airFlow->isVisibleTo(h.window->settingsPage(3)));
        QVERIFY(airFlow->horizontalScrollBar()->maximum() == 0 || !airFlow->isVisible());
    }
}

void SettingsPageTest::noAccessKeyReachesTwoThings() {
    GuiHarness h;
    h.window->Form_Load();
    std::map<QChar, QString> taken;
    const auto claim = [&](const QString& text) {
        const QChar key = mnemonic(text);
        if (key.isNull()) return;
        QVERIFY2(!taken.count(key), qPrintable(text + " and " + taken[key]));
        taken[key] = text;
    };
    for (QAction* menu : h.window->menuBar()->actions())
        claim(menu->text());
    for (QAbstractButton* button : h.window->findChildren<QAbstractButton*>())
        claim(button->text());
    for (QGroupBox* box : h.window->findChildren<QGroupBox*>())
        claim(box->title());
    for (QLabel* label : h.window->findChildren<QLabel*>())
        if (label->buddy()) claim(label->text());
    QCOMPARE(taken[QLatin1Char('W')], QStringLiteral("&Window"));
}

void SettingsPageTest::textBlockLabelCopiesOnDoubleClick() {
    GuiHarness h;
    h.session.image[0xDD] = bytesFromText(std::string(80, 'x'));
    h.window->Form_Load();
    h.window->show();
    h.window->tabs()->setCurrentIndex(MainWindow::kFirstSettingsTab + 4);
    auto* label =
        qobject_cast<QLabel*>(h.window->settingsPage(5)->widgetFor(ControlKind::Label, 101));
    QVERIFY(label);
    QTest::mouseDClick(label, Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString(80, QLatin1Char('x')));
    // Other labels copy nothing.
    h.session.image[0xF5] = bytesFromText("5.01 ");
    h.window->DisplayAllData();
    QTest::mouseDClick(h.window->settingsPage(1)->widgetFor(ControlKind::Label, 6), Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), QString(80, QLatin1Char('x')));
}

int runSettingsPageTests(int argc, char** argv) {
    SettingsPageTest t;
    return QTest::qExec(&t, argc, argv);
}

#include "settings_page_test.moc"
