#pragma once

#include <memory>

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "app/main_window.h"
#include "app/settings_page_widget.h"
#include "monitor/live_run.h"
#include "ports/memory_settings_store.h"
#include "sim/in_process_simulator.h"
#include "support/recording_prompts.h"
#include "support/scripted_serial_port.h"
#include "transfer/qt_file_writer.h"

namespace tunalyx::test {

// Rev / Idle of the family 5 layout: five words, the first the rev limit.
inline constexpr int kRevLimitBox = 196;

// A main window on a scripted serial port, recording prompts and a throw-away settings store.
struct GuiHarness {
    explicit GuiHarness(MemorySettingsStore* sharedStore = nullptr)
        : store(sharedStore ? sharedStore : &ownStore) {
        serial.close();
        session.filesFolder = filesFolder.path().toStdString();
        window = std::make_unique<MainWindow>(session, live, *store,
                                              MainWindowPorts{selector, serial, nullptr}, files);
    }

    QTemporaryDir filesFolder;  // Maps, Logs and journals of the test's own
    MemorySettingsStore ownStore;
    MemorySettingsStore* store;
    ManualClock clock;
    ScriptedSerialPort serial{clock};
    RecordingPrompts prompts;
    SerialPortSelector selector{serial};
    QtFileWriter files;
    Session session{selector, clock, prompts};
    LiveRun live{session, session, clock, files, journalFolderOf(filesFolder.path().toStdString())};
    std::unique_ptr<MainWindow> window;
};

// The window on a simulated unit whose waits cost no time.
struct SimWindow {
    explicit SimWindow(SimUnitKind kind) : sim(kind, clock) {
        session.programFolder = "/nonexistent";
        session.filesFolder = filesFolder.path().toStdString();
        window = std::make_unique<MainWindow>(
            session, live, store, MainWindowPorts{selector, sim.port(), nullptr}, files);
        window->Form_Load();
        window->show();
        window->activateWindow();
        if (!QTest::qWaitForWindowActive(window.get())) qWarning("window not active");
        prompts.clear();
    }
    QPushButton* button(const char* name) {
        return window->findChild<QPushButton*>(QLatin1String(name));
    }
    void readAll() { QTest::mouseClick(button("cmdReadAll"), Qt::LeftButton); }
    QLineEdit* textBox(int index) {
        for (int p = 1; p <= 5; ++p)
            if (auto* w = qobject_cast<QLineEdit*>(
                    window->settingsPage(p)->widgetFor(ControlKind::Text, index)))
                return w;
        return nullptr;
    }

    QTemporaryDir filesFolder;  // Maps, Logs and journals of the test's own
    MemorySettingsStore store;
    ManualClock clock;
    InProcessSimulator sim;
    RecordingPrompts prompts;
    SerialPortSelector selector{sim.port()};
    QtFileWriter files;
    Session session{selector, clock, prompts};
    LiveRun live{session, session, clock, files, journalFolderOf(filesFolder.path().toStdString())};
    std::unique_ptr<MainWindow> window;
};

}  // namespace tunalyx::test
