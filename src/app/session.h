#pragma once

#include <optional>
#include <string>

#include "app/session_view.h"
#include "link/packet_link.h"
#include "maps/map_grids.h"
#include "model/packet_image.h"
#include "model/settings_codec.h"
#include "model/settings_table.h"
#include "monitor/trace_items.h"
#include "versions/layout_family.h"

namespace tunalyx {

// The live-data command bytes of the layout in force.
struct LiveCommands {
    std::uint8_t basic = 0xDA;
    std::uint8_t sensor = 0xDE;
    std::uint8_t map = 0xDB;
};

// What the main window and every other window share: the image of the engine computer with its
// changed flags, the maps, the settings table, the block lists, the identity and the link.
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
    SettingsTable settings = SettingsTable::standard();
    BlockList readAllList = startupReadAllList();
    BlockList writeAllList = startupWriteAllList();
    std::string notes;  // the notes kept with the data file, lines ended by CR LF

    // Identity of the data in the image; empty until the first identification.
    std::string VerName;
    std::string VerNumber;
    // The layout applied last (none before the first identification with a layout).
    std::optional<LayoutFamily> family;
    std::uint8_t airFlowBlock = 0xCE;
    std::uint8_t functionSelectBlock = 0xD6;
    LiveCommands live;
    bool baseMapTabVisible = true;
    int tabsPerRow = 9;
    bool reCalcBaseEnabled = false;  // only for the pressure-sensor layout

    TraceItems trace;
    MonitorCaptions monitorCaptions;

    bool PortBusy = false;
    bool compareMode = false;
    std::string captionFile = "Untitled.Dat";
    std::string programFolder = ".";  // where default.dat lives

    PacketLink link;
    UserPrompts& prompts;

    [[nodiscard]] SessionView& view() { return m_view ? *m_view : m_noView; }
    void setView(SessionView* v) { m_view = v; }

private:
    SessionView m_noView;
    SessionView* m_view = nullptr;
};

}  // namespace tunalyx
