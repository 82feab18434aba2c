#pragma once

#include <string>

#include "link/packet_link.h"
#include "maps/map_grids.h"
#include "maps/map_tracer.h"
#include "model/packet_image.h"
#include "model/settings_codec.h"
#include "model/settings_table.h"
#include "monitor/trace_items.h"
#include "session/edit_history.h"
#include "session/port_busy.h"
#include "session/session_view.h"
#include "versions/layout_family.h"

namespace tunalyx {

// What the main window and every other window share: the image of the engine computer with its
// changed flags, the maps, the settings table, the layout in force, the identity and the link.
// Windows are views of it; a test can build two sessions side by side.
class Session {
public:
    Session(SerialPort& port, Clock& clock, UserPrompts& userPrompts,
            LinkSettings linkSettings = {})
        : link(port, clock, userPrompts, linkSettings), prompts(userPrompts) {}
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    PacketImage image;
    PacketDirty dirty;
    SettingsCodec codec{image, dirty};
    MapGrids maps{image, dirty};
    EditHistory history{image, dirty, maps};  // the user's edits, for undo and redo
    MapColours cellColours;  // the grids' cell backgrounds: ghost trail and compare colours
    MapTracer tracer{cellColours};
    SettingsTable settings = SettingsTable::standard();
    LayoutInForce layout;
    std::string notes;  // the notes kept with the data file, lines ended by CR LF

    // Identity of the data in the image; empty until the first identification.
    std::string VerName;
    std::string VerNumber;

    TraceItems trace;
    MonitorCaptions monitorCaptions;

    // The last layout switch could not convert the old data completely (and said so).
    bool conversionFailed = false;

    PortBusyFlag PortBusy;
    bool compareMode = false;
    std::string captionFile = "Untitled.Dat";
    std::string programFolder = ".";  // where default.dat lives
    // Base of the folders the file dialogs start in (Maps, Logs, Watchs, Charts) until the
    // user has chosen one.
    std::string filesFolder = ".";

    PacketLink link;
    UserPrompts& prompts;

    [[nodiscard]] SessionView& view() { return m_view ? *m_view : m_noView; }
    void setView(SessionView* v) { m_view = v; }

private:
    SessionView m_noView;
    SessionView* m_view = nullptr;
};

}  // namespace tunalyx
