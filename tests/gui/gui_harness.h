#pragma once

#include <memory>

#include "app/main_window.h"
#include "ports/memory_settings_store.h"
#include "support/recording_prompts.h"
#include "support/scripted_serial_port.h"
#include "transfer/qt_file_writer.h"

namespace tunalyx::test {

// A main window on a scripted serial port, recording prompts and a throw-away settings store.
struct GuiHarness {
    explicit GuiHarness(MemorySettingsStore* sharedStore = nullptr)
        : store(sharedStore ? sharedStore : &ownStore) {
        serial.close();
        window = std::make_unique<MainWindow>(session, *store,
                                              MainWindowPorts{selector, serial, nullptr}, files);
    }

    MemorySettingsStore ownStore;
    MemorySettingsStore* store;
    ManualClock clock;
    ScriptedSerialPort serial{clock};
    RecordingPrompts prompts;
    SerialPortSelector selector{serial};
    QtFileWriter files;
    Session session{selector, clock, prompts};
    std::unique_ptr<MainWindow> window;
};

}  // namespace tunalyx::test
